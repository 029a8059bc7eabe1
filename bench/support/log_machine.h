// The machine the log benchmarks run on: logging switched on or off through the
// registry key the library reads, a log directory of our own, and a fresh logger so
// that the next trace reads the new configuration at once.
#pragma once

#include <string>

namespace bench {

// Prepares the machine (on Linux a fresh simulated machine) with logging on or off
// and returns the full Windows path of the library's "session.log", which is removed.
std::wstring PrepareLogMachine(bool loggingOn);

// The whole content of a file, or empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);

// The last complete line of `path` with its line end as the program writes it ("\n";
// text mode turns it into CR LF on Windows).
std::string LastLine(const std::wstring& path);

// ---- per platform (log_machine_winsim.cpp, log_machine_win32.cpp) ----
// Resets what the platform can reset between runs.
void ResetMachine();
// The base directory written to "OutputLogDir".
std::wstring LogBaseDirectory();
// Writes "OutputLog" and "OutputLogDir" to the library's configuration key.
void WriteLogConfiguration(bool loggingOn, const std::wstring& baseDirectory);

}  // namespace bench
