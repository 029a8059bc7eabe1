// The Terminal Services behaviour, written once and shared by RDPCtrl, VMViewCtrl and
// XenDesktopCtrl, which each forward to it (the class tree stays flat).
#pragma once

#include <platform/win32.h>
#include <sessionctrl/ISessionCtrl.h>

#include <list>
#include <string>

namespace sessionctrl::terminal_services {

// Traces `traceText`, probes the local server (tracing "WTSOpenServer error" when it
// cannot be opened). Never fails.
void InitializeWithProbe(const wchar_t* traceText);

// The session of the calling process.
bool CallerSessionId(DWORD& sessionId);

bool IsLocalSession();
bool SessionLock();
bool Disconnect(DWORD sessionId, bool wait);
bool LogoffSession(DWORD sessionId, bool wait);
bool IsConnected(DWORD sessionId);
bool GetStatus(DWORD sessionId, int& state);
bool GetLoggedOnWinDomain(DWORD sessionId, std::wstring& domain);
bool GetWinStationName(DWORD sessionId, std::wstring& name);
// The caller's-session overloads go through the virtual table of `self`.
bool GetLoggedOnWinDomainOfCaller(ISessionCtrl& self, std::wstring& domain);
bool GetWinStationNameOfCaller(ISessionCtrl& self, std::wstring& name);
bool GetAllWinStationName(std::list<ISessionCtrl::SESSION_INFO>& sessions);
bool GetUserToken(DWORD sessionId, IUserTokenHolder& holder);
bool GetSessionUserName(DWORD sessionId, std::wstring& user);
bool GetClientAddress(ISessionCtrl& self, DWORD sessionId, std::wstring& address,
                      bool& isLocal);
// Turns the answer of a client-address query (Terminal Services or Citrix) into the
// GetClientAddress result: the address is emptied whatever the answer; a failed query is
// false with isLocal untouched; no record means a local session; otherwise the record
// (32-bit family, then 20 address bytes) is rendered through self.FormatIPv4Address /
// FormatIPv6Address, and any other family, or an answer shorter than a record, is false.
bool ClientAddressFromAnswer(ISessionCtrl& self, bool queried, const void* record, DWORD bytes,
                             std::wstring& address, bool& isLocal);
bool FormatIPv4Address(const unsigned char* bytes, DWORD length, std::wstring& text);
bool FormatIPv6Address(const unsigned char* bytes, DWORD length, std::wstring& text);

}  // namespace sessionctrl::terminal_services
