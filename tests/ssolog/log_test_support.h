// A fresh simulated machine per test with its own file root, and helpers to set the
// log configuration and read what reached the disk.
#pragma once

#include <winsim/machine.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ssolog_test {

constexpr const wchar_t* kLogKey = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";
// Where the files land with SwitchOn() and no other directory given.
constexpr const wchar_t* kLogDir = L"D:\\Logs\\DebugSSO";
// The header of a line written by the pinned test thread at the machine's reset time.
constexpr const char* kResetHeader =
    "2026/12/04T09:05:03.042, SID:000001, PID:004711, TID:005120, ";

// The library keeps process-wide state (the logger registry, the default logger, the
// WOW64 answer); tests that depend on it run first in their process (ctest runs each
// test in its own).
void AssertFirstUseInProcess();

// The bytes of a Windows file; empty when it does not exist.
std::string ReadBytes(const std::wstring& windowsPath);
bool Exists(const std::wstring& windowsPath);
void WriteBytes(const std::wstring& windowsPath, const std::string& bytes);
// The lines of a file without their CR LF, each with its header checked and cut
// off; a line whose header is malformed comes back as "BAD HEADER: <line>".
std::vector<std::string> TextParts(const std::wstring& windowsPath);
std::wstring InLogDir(const std::wstring& fileName);

class LogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // "OutputLog" = 1 and "OutputLogDir" = base ("D:\Logs" unless given).
    static void SwitchOn(const std::wstring& base = L"D:\\Logs");
    static void SetOutputLog(DWORD value);
    static void SetSizeLimit(DWORD bytes);
    static void AdvanceSeconds(unsigned seconds);

    // The host directory behind this test's drives.
    const std::string& Root() const { return root_; }

private:
    std::string root_;
};

}  // namespace ssolog_test
