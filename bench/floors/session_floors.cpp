#include "floors.h"

#include <platform/win32_raii.h>

#include <cwchar>

namespace bench {
namespace {

// One WTSQuerySessionInformationW, its buffer given back on return.
class SessionInfo {
public:
    SessionInfo(DWORD sessionId, WTS_INFO_CLASS infoClass)
        : ok_(WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, sessionId, infoClass,
                                          buffer_.Receive(), &bytes_) != FALSE) {}
    bool Ok() const { return ok_ && buffer_.Get() != nullptr; }
    bool Succeeded() const { return ok_; }
    DWORD Bytes() const { return bytes_; }
    const WCHAR* Data() const { return buffer_.Get(); }

private:
    platform::WtsBuffer<WCHAR> buffer_;
    DWORD bytes_ = 0;
    bool ok_;
};

}  // namespace

bool BareWinStationName(DWORD sessionId, std::wstring& name) {
    SessionInfo info(sessionId, WTSWinStationName);
    if (!info.Ok() || info.Bytes() == 0) return false;
    name = info.Data();
    return true;
}

bool BareIsConnected(DWORD sessionId) {
    SessionInfo info(sessionId, WTSConnectState);
    if (!info.Ok() || info.Bytes() != sizeof(DWORD)) return false;
    DWORD state = 0;
    std::memcpy(&state, info.Data(), sizeof state);
    return state <= WTSConnectQuery;
}

bool BareClientAddress(DWORD sessionId, std::wstring& address, bool& isLocal) {
    SessionInfo info(sessionId, WTSClientAddress);
    address.clear();
    if (!info.Succeeded()) return false;
    if (info.Data() == nullptr) {
        isLocal = true;
        return true;
    }
    isLocal = false;
    WTS_CLIENT_ADDRESS record;
    std::memcpy(&record, info.Data(), sizeof record);
    if (record.AddressFamily != AF_INET) return false;
    WCHAR text[16] = {};
    std::swprintf(text, 16, L"%d.%d.%d.%d", record.Address[2], record.Address[3],
                  record.Address[4], record.Address[5]);
    address = text;
    return true;
}

bool BareAllSessions(std::list<sessionctrl::ISessionCtrl::SESSION_INFO>& sessions) {
    platform::WtsBuffer<WTS_SESSION_INFOW> records;
    DWORD count = 0;
    if (!WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, records.Receive(), &count) ||
        records.Get() == nullptr || count == 0) {
        return false;
    }
    for (DWORD i = 0; i < count; ++i) {
        const WTS_SESSION_INFOW& record = records.Get()[i];
        sessions.push_back({record.SessionId,
                            record.pWinStationName != nullptr ? record.pWinStationName : L"",
                            static_cast<DWORD>(record.State)});
    }
    return true;
}

}  // namespace bench
