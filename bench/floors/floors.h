// The floors of the session and process operations: the same Win32 work our operations must do, done bare, without the
// library around it (no backend, no trace, no lock of ours). Each answers as ours
// does on the benchmark machines, which the tests check.
#pragma once

#include <platform/win32.h>
#include <sessionctrl/ISessionCtrl.h>

#include <list>
#include <string>

namespace bench {

// ---- sessions ----
bool BareWinStationName(DWORD sessionId, std::wstring& name);
bool BareIsConnected(DWORD sessionId);
// IPv4 clients only, the benchmark machines' case.
bool BareClientAddress(DWORD sessionId, std::wstring& address, bool& isLocal);
bool BareAllSessions(std::list<sessionctrl::ISessionCtrl::SESSION_INFO>& sessions);

// ---- processes ----
// Extended enumeration of one session (0: any) and a case-insensitive compare.
bool BareFindProcess(DWORD sessionId, const wchar_t* name);
// Enumeration of the machine and a compare of the caller's session's processes with
// `names`; the index found, -1 when none.
int BareFindInOwnSession(const wchar_t* const* names, int count);
// The VMware per-session key test at its worst (three opens, 200 ms of sleep after
// each miss) followed by the process search; whether VMware View serves the session.
bool BareVdmSession(DWORD sessionId, const wchar_t* const* names, int count);

}  // namespace bench
