// Session questions and actions answered by the Terminal Services API of the local
// server. Every buffer the API hands out lives in a WtsBuffer, so it is given back
// on every way out, exceptions included.
#include "terminal_services.h"

#include "answer_text.h"

#include <platform/win32_raii.h>
#include <ssolog/trace.h>

#include <cstring>
#include <memory>

namespace sessionctrl::terminal_services {

namespace {

// Queries one information class of a session on the local server.
bool QuerySessionInfo(DWORD sessionId, WTS_INFO_CLASS infoClass,
                      platform::WtsBuffer<WCHAR>& buffer, DWORD& bytes) {
    bytes = 0;
    return WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, sessionId, infoClass,
                                       buffer.Receive(), &bytes) != FALSE;
}

// The session's connect state; false unless the answer is exactly one 32-bit value.
bool QueryConnectState(DWORD sessionId, DWORD& state) {
    platform::WtsBuffer<WCHAR> buffer;
    DWORD bytes = 0;
    if (!QuerySessionInfo(sessionId, WTSConnectState, buffer, bytes)) return false;
    if (buffer.Get() == nullptr || bytes != sizeof(DWORD)) return false;
    std::memcpy(&state, buffer.Get(), sizeof(DWORD));
    return true;
}

// A text-valued class; false when the query fails or answers with nothing at all.
bool QueryNonEmptyAnswer(DWORD sessionId, WTS_INFO_CLASS infoClass, std::wstring& text) {
    platform::WtsBuffer<WCHAR> buffer;
    DWORD bytes = 0;
    if (!QuerySessionInfo(sessionId, infoClass, buffer, bytes)) return false;
    if (buffer.Get() == nullptr || bytes == 0) return false;
    text = TextWithinBytes(buffer.Get(), bytes);
    return true;
}

}  // namespace

void InitializeWithProbe(const wchar_t* traceText) {
    ssolog::TraceMessage(traceText);
    // Only a probe: a server that cannot be opened is reported, never fatal.
    std::unique_ptr<void, decltype(&WTSCloseServer)> server(WTSOpenServerW(nullptr),
                                                             &WTSCloseServer);
    if (!server) ssolog::TraceNumber(L"WTSOpenServer error", static_cast<int>(GetLastError()));
}

bool CallerSessionId(DWORD& sessionId) {
    return ProcessIdToSessionId(GetCurrentProcessId(), &sessionId) != FALSE;
}

bool IsLocalSession() { return GetSystemMetrics(SM_REMOTESESSION) == 0; }

bool SessionLock() { return LockWorkStation() != FALSE; }

bool Disconnect(DWORD sessionId, bool wait) {
    return WTSDisconnectSession(WTS_CURRENT_SERVER_HANDLE, sessionId, wait ? TRUE : FALSE) !=
           FALSE;
}

bool LogoffSession(DWORD sessionId, bool wait) {
    return WTSLogoffSession(WTS_CURRENT_SERVER_HANDLE, sessionId, wait ? TRUE : FALSE) != FALSE;
}

bool IsConnected(DWORD sessionId) {
    DWORD state = 0;
    if (!QueryConnectState(sessionId, state)) return false;
    return state == WTSActive || state == WTSConnected || state == WTSConnectQuery;
}

bool GetStatus(DWORD sessionId, int& state) {
    DWORD answer = 0;
    if (!QueryConnectState(sessionId, answer)) return false;
    state = static_cast<int>(answer);
    return true;
}

bool GetLoggedOnWinDomain(DWORD sessionId, std::wstring& domain) {
    try {
        if (!QueryNonEmptyAnswer(sessionId, WTSDomainName, domain)) return false;
        return !domain.empty();
    } catch (...) {
        return false;
    }
}

bool GetWinStationName(DWORD sessionId, std::wstring& name) {
    try {
        std::wstring station;
        if (!QueryNonEmptyAnswer(sessionId, WTSWinStationName, station)) return false;
        // The physical console reports no station name.
        name = station.empty() ? L"Console" : station;
        return true;
    } catch (...) {
        return false;
    }
}

bool GetLoggedOnWinDomainOfCaller(ISessionCtrl& self, std::wstring& domain) {
    DWORD sessionId = 0;
    if (!CallerSessionId(sessionId)) return false;
    return self.GetLoggedOnWinDomain(sessionId, domain);
}

bool GetWinStationNameOfCaller(ISessionCtrl& self, std::wstring& name) {
    DWORD sessionId = 0;
    if (!CallerSessionId(sessionId)) return false;
    return self.GetWinStationName(sessionId, name);
}

bool GetAllWinStationName(std::list<ISessionCtrl::SESSION_INFO>& sessions) {
    try {
        platform::WtsBuffer<WTS_SESSION_INFOW> records;
        DWORD count = 0;
        if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, records.Receive(), &count))
            return false;
        if (records.Get() == nullptr || count == 0) return false;
        for (DWORD i = 0; i < count; ++i) {
            const WTS_SESSION_INFOW& record = records.Get()[i];
            const wchar_t* station = record.pWinStationName ? record.pWinStationName : L"";
            sessions.push_back({record.SessionId, station, static_cast<DWORD>(record.State)});
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool GetUserToken(DWORD sessionId, IUserTokenHolder& holder) {
    platform::UniqueHandle token;
    if (!WTSQueryUserToken(sessionId, token.Receive())) return false;
    holder.SetToken(token.Release());  // the holder owns it from here on
    return true;
}

bool GetSessionUserName(DWORD sessionId, std::wstring& user) {
    try {
        platform::WtsBuffer<WCHAR> buffer;
        DWORD bytes = 0;
        if (!QuerySessionInfo(sessionId, WTSUserName, buffer, bytes)) return false;
        if (buffer.Get() != nullptr) user = TextWithinBytes(buffer.Get(), bytes);
        // Nobody logged on shows as an empty name.
        return !user.empty();
    } catch (...) {
        return false;
    }
}

}  // namespace sessionctrl::terminal_services
