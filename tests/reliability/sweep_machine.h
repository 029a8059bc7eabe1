// The simulated machines the reliability tests run the library on, one per backend, and
// the means to run one scenario in a child process of its own, so that every run starts
// with the library's process-wide caches (product, backend, VMware version and names)
// empty.
#pragma once

#include <platform/win32.h>
#include <winsim/machine.h>

#include <array>
#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace reliability {

enum class Product { Plain, XenApp, HorizonBelow7, Horizon7, XenDesktop, XenDesktop7 };

struct BackendCase {
    const char* name;
    Product product;
};
extern const std::array<BackendCase, 6> kBackends;

inline constexpr DWORD kOwnSession = 1;
inline constexpr DWORD kOtherSession = 5;  // bob's, with a client address and a process
inline constexpr const wchar_t* kLogDirectory = L"C:\\rel";
inline constexpr const wchar_t* kSessionLog = L"C:\\rel\\DebugSSO\\session.log";
inline constexpr const wchar_t* kLogKey =
    L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";

// Resets winsim and the fake wfapi.dll and describes `product`'s machine: the log on,
// sessions 1 (alice, IPv4 client) and 5 (bob, IPv6 client), explorer.exe in session 5,
// and what the product's backend reads (VMware View keys, the Citrix install with the
// fault-injecting wfapi.dll).
void PrepareMachine(Product product, const std::string& fileRoot);

// The library attached as module "HalcyonSessionCtrl.dll"; on destruction the backend
// is deleted and the module detached, so everything it took must be back.
class AttachedLibrary {
public:
    AttachedLibrary();
    ~AttachedLibrary();
    AttachedLibrary(const AttachedLibrary&) = delete;
    AttachedLibrary& operator=(const AttachedLibrary&) = delete;

private:
    HMODULE module_;
};

// What is still outstanding against `baseline`, and every misuse seen by winsim and by
// the fake wfapi.dll; empty when all was given back properly.
std::string Leftovers(const winsim::Outstanding& baseline);

// Runs `body` in a forked child and returns the text it produced, or a line starting
// with "CRASH" when the child did not finish normally.
std::string RunInChild(const std::function<std::string()>& body);

// The product cache and the backend live for the process, so a test that depends on
// them runs first in its process (ctest runs each test alone).
void AssertFirstUseInProcess();

// A fresh directory under /tmp, removed with its content on destruction.
class TempDirectory {
public:
    TempDirectory();
    ~TempDirectory();
    TempDirectory(const TempDirectory&) = delete;
    TempDirectory& operator=(const TempDirectory&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

}  // namespace reliability
