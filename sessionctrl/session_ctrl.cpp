// The exported facade: each call makes sure the backend is ready, forwards, and traces
// the outcome. The exports have no exception handler of their own; the backends and
// EnsureBackend turn failures into false.
#include <sessionctrl/SessionCtrl.h>

#include "environment.h"

#include <ssolog/trace.h>

namespace sessionctrl {

namespace {

const wchar_t* const kNotReady = L"error";

const wchar_t* BoolText(bool value) { return value ? L"true" : L"false"; }

int TraceValue(unsigned long value) { return static_cast<int>(value); }

// A text getter traces what the caller's string holds now, or nothing of it on
// failure: the string may still carry what the caller put there before.
bool TraceText(const wchar_t* traceText, bool result, const std::wstring& text) {
    ssolog::TraceResult(traceText, result ? text.c_str() : L"");
    return result;
}

bool TraceNotReady(const wchar_t* traceText) {
    ssolog::TraceResult(traceText, kNotReady);
    return false;
}

ISessionCtrl& Backend() { return *CurrentBackend(); }

// The records of WTSEnumerateProcessesExW, given back with WTSFreeMemoryExW.
class ProcessRecords {
public:
    ProcessRecords() = default;
    ProcessRecords(const ProcessRecords&) = delete;
    ProcessRecords& operator=(const ProcessRecords&) = delete;
    ~ProcessRecords() {
        if (records_ != nullptr) WTSFreeMemoryExW(WTSTypeProcessInfoLevel0, records_, count_);
    }
    LPWSTR* Receive() { return &records_; }
    DWORD* Count() { return &count_; }
    const WTS_PROCESS_INFOW* begin() const { return reinterpret_cast<WTS_PROCESS_INFOW*>(records_); }
    const WTS_PROCESS_INFOW* end() const { return begin() + (records_ != nullptr ? count_ : 0); }

private:
    LPWSTR records_ = nullptr;
    DWORD count_ = 0;
};

}  // namespace

void SessionCtrl::Release() {
    if (ISessionCtrl* backend = CurrentBackend()) backend->Release();
}

bool SessionCtrl::IsLocalSession() {
    // Not ready traces "error", as the getters do; the answer is false either way.
    if (!EnsureBackend()) return TraceNotReady(L"IsLocalSession >");
    const bool local = Backend().IsLocalSession();
    ssolog::TraceResult(L"IsLocalSession >", local ? L"local" : L"remote");
    return local;
}

bool SessionCtrl::SessionLock() {
    ssolog::TraceMessage(L"SessionLock");
    return EnsureBackend() && Backend().SessionLock();
}

bool SessionCtrl::Disconnect(unsigned long sessionId, bool wait) {
    ssolog::TraceNumber(L"Disconnect", TraceValue(sessionId));
    return EnsureBackend() && Backend().Disconnect(static_cast<DWORD>(sessionId), wait);
}

bool SessionCtrl::DisconnectForce(unsigned long sessionId, bool wait) {
    ssolog::TraceNumber(L"DisconnectForce", TraceValue(sessionId));
    return EnsureBackend() && Backend().DisconnectForce(static_cast<DWORD>(sessionId), wait);
}

bool SessionCtrl::LogoffSession(unsigned long sessionId, bool wait) {
    ssolog::TraceNumber(L"LogoffSession", TraceValue(sessionId));
    return EnsureBackend() && Backend().LogoffSession(static_cast<DWORD>(sessionId), wait);
}

bool SessionCtrl::IsConnected(unsigned long sessionId) {
    if (!EnsureBackend()) return false;
    const bool connected = Backend().IsConnected(static_cast<DWORD>(sessionId));
    ssolog::TraceResult(L"IsConnected >", BoolText(connected));
    return connected;
}

bool SessionCtrl::GetStatus(unsigned long sessionId, int& state) {
    if (!EnsureBackend()) return false;
    const bool known = Backend().GetStatus(static_cast<DWORD>(sessionId), state);
    ssolog::TraceResult(L"GetStatus >", BoolText(known));
    return known;
}

bool SessionCtrl::GetLoggedOnWinDomain(unsigned long sessionId, std::wstring& domain) {
    if (!EnsureBackend()) return TraceNotReady(L"GetLoggedOnWinDomain >");
    return TraceText(L"GetLoggedOnWinDomain >",
                     Backend().GetLoggedOnWinDomain(static_cast<DWORD>(sessionId), domain),
                     domain);
}

bool SessionCtrl::GetLoggedOnWinDomain(std::wstring& domain) {
    if (!EnsureBackend()) return TraceNotReady(L"GetLoggedOnWinDomain >");
    return TraceText(L"GetLoggedOnWinDomain >", Backend().GetLoggedOnWinDomain(domain), domain);
}

bool SessionCtrl::GetWinStationName(unsigned long sessionId, std::wstring& name) {
    if (!EnsureBackend()) return TraceNotReady(L"GetWinStationName2 >");
    return TraceText(L"GetWinStationName2 >",
                     Backend().GetWinStationName(static_cast<DWORD>(sessionId), name), name);
}

bool SessionCtrl::GetWinStationName(std::wstring& name) {
    if (!EnsureBackend()) return TraceNotReady(L"GetWinStationName >");
    return TraceText(L"GetWinStationName >", Backend().GetWinStationName(name), name);
}

bool SessionCtrl::GetAllWinStationName(std::list<ISessionCtrl::SESSION_INFO>& sessions) {
    if (!EnsureBackend()) return TraceNotReady(L"GetAllWinStationName >");
    const bool listed = Backend().GetAllWinStationName(sessions);
    // The whole list, entries the caller put there before included.
    ssolog::TraceNumber(L"GetAllWinStationName count >",
                        listed ? static_cast<int>(sessions.size()) : 0);
    return listed;
}

bool SessionCtrl::GetUserToken(unsigned long sessionId, IUserTokenHolder& holder) {
    if (!EnsureBackend()) return TraceNotReady(L"GetUserToken >");
    const bool received = Backend().GetUserToken(static_cast<DWORD>(sessionId), holder);
    if (received)
        ssolog::TraceNumber(L"GetUserToken >", TraceValue(sessionId));
    else
        ssolog::TraceResult(L"GetUserToken >", L"");
    return received;
}

bool SessionCtrl::GetSessionUserName(unsigned long sessionId, std::wstring& user) {
    if (!EnsureBackend()) return TraceNotReady(L"GetSessionUserName >");
    return TraceText(L"GetSessionUserName >",
                     Backend().GetSessionUserName(static_cast<DWORD>(sessionId), user), user);
}

bool SessionCtrl::GetClientAddress(unsigned long sessionId, std::wstring& address,
                                   bool& isLocal) {
    if (!EnsureBackend()) return TraceNotReady(L"GetClientAddress >");
    const bool known =
        Backend().GetClientAddress(static_cast<DWORD>(sessionId), address, isLocal);
    const wchar_t* detail = L"";
    if (known) detail = isLocal ? L"local" : address.c_str();
    ssolog::TraceResult(L"GetClientAddress >", detail);
    return known;
}

unsigned long SessionCtrl::GetCurrentSessionID() {
    DWORD sessionId = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &sessionId)) return 0;
    return sessionId;
}

bool SessionCtrl::FindProcess(unsigned long sessionId, const wchar_t* processName) {
    if (processName == nullptr) return false;
    // Session 0 stands for every session.
    const DWORD scope = sessionId == 0 ? WTS_ANY_SESSION : static_cast<DWORD>(sessionId);
    DWORD level = 0;
    ProcessRecords records;
    if (!WTSEnumerateProcessesExW(WTS_CURRENT_SERVER_HANDLE, &level, scope, records.Receive(),
                                  records.Count()))
        return false;
    for (const WTS_PROCESS_INFOW& record : records) {
        if (record.pProcessName != nullptr && _wcsicmp(record.pProcessName, processName) == 0)
            return true;
    }
    return false;
}

SessionCtrl& SessionCtrl::operator=(const SessionCtrl&) { return *this; }

SessionCtrl& SessionCtrl::operator=(SessionCtrl&&) { return *this; }

}  // namespace sessionctrl
