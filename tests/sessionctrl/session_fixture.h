// A fresh simulated machine with logging on, the library attached as a module, and a
// check that the test gave back every resource it made the library take.
#pragma once

#include "dll_main.h"
#include "environment.h"

#include <gtest/gtest.h>
#include <tessark/tessark.h>
#include <winsim/machine.h>

#include <string>
#include <vector>

namespace sessionctrl_test {

inline constexpr const wchar_t* kLogKey =
    L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";
inline constexpr const wchar_t* kSessionLog = L"C:\\Logs\\DebugSSO\\session.log";

// Marks a product installed the way tessark reads it.
void InstallProduct(const wchar_t* product);

// The text part of every line of "session.log" (header cut off, line end removed).
std::vector<std::string> TraceEntries();
bool HasTrace(const std::string& entry);
long CountTrace(const std::string& entry);

// Every counter of the accounting, for comparisons that name what differs.
std::string Describe(const winsim::Outstanding& counts);

// Bytes of a client-address record: family, then the 20 address bytes.
std::vector<BYTE> AddressRecord(DWORD family, const std::vector<BYTE>& address);

class SessionFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    winsim::Outstanding baseline_;
};

}  // namespace sessionctrl_test
