// A stand-in for Citrix's wfapi.dll on the simulated Windows. Every call is written down
// as a line: "Open" ("Open named" with a server name), "Close 1" (the server), "Query 5 8"
// (session, class), "Disconnect 5 1" and "Logoff 5 1" (session, wait), "Free",
// "Enumerate 0 1" (reserved, version); " server" is added when a server other than the
// current (null) one is named, " unlocked" when the call is made outside every critical
// section (so outside the loader's lock). A call answers as scripted for its line, else
// with success and no block; every block handed out is expected back.
// Register it with winsim::RegisterModule(path, Exports()).
#pragma once

#include <winsim/machine.h>

#include <map>
#include <string>
#include <vector>

namespace fake_wfapi {

struct Answer {
    BOOL result = TRUE;       // "Open": FALSE gives the null server
    std::vector<BYTE> block;  // a non-empty one is handed out, zero-filled up to `bytes`
    DWORD bytes = 0;          // the byte count (the entry count of an enumeration)
    DWORD error = 0;          // the last error when result is FALSE
    bool throwAfterBlock = false;
};
Answer Text(const std::wstring& text);  // with its NUL

// By call line; change it while no call runs.
std::map<std::string, Answer>& Answers();
// No answers, no calls, no blocks; servers open as 1, 2, ... again.
void Reset();
std::vector<std::string> Calls(bool forget = false);
// Empty, or blocks not given back, or given back twice or without being handed out.
std::string Leftovers();

winsim::Exports Exports(const std::string& missing = "");

}  // namespace fake_wfapi
