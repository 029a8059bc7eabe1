// Machine set-up and read-back shared by the white-box tests and the module tests:
// logging switched on, products installed, "session.log" read line by line.
#pragma once

#include <winsim/machine.h>

#include <string>
#include <vector>

namespace sessionctrl_test {

inline constexpr const wchar_t* kSessionLog = L"C:\\Logs\\DebugSSO\\session.log";
inline constexpr const wchar_t* kDefaultLog = L"C:\\Logs\\DebugSSO\\kwarden.log";

// Logging on, into C:\Logs\DebugSSO.
void EnableLogging();

// Marks a product installed the way tessark reads it.
void InstallProduct(const wchar_t* product);

// The text part of every line of a log file (header cut off, line end removed).
std::vector<std::string> TraceEntries(const wchar_t* logFile = kSessionLog);
bool HasTrace(const std::string& entry);
long CountTrace(const std::string& entry);
bool LogExists(const wchar_t* logFile);

// Every counter of the accounting, for comparisons that name what differs.
std::string Describe(const winsim::Outstanding& counts);
std::string JoinMisuses();

}  // namespace sessionctrl_test
