// XenDesktopCtrl: the backend for Citrix XenDesktop. The local/remote test,
// disconnect, log off, connection state, station name and client address come from
// the Citrix session API; domain and user from Terminal Services; everything else is
// the shared Terminal Services behaviour.
#pragma once

#include "wfapi_dll.h"

#include <platform/win32.h>
#include <sessionctrl/ISessionCtrl.h>

namespace sessionctrl {

class XenDesktopCtrl : public ISessionCtrl {
public:
    XenDesktopCtrl() = default;
    ~XenDesktopCtrl() override;
    XenDesktopCtrl(const XenDesktopCtrl&) = delete;
    XenDesktopCtrl& operator=(const XenDesktopCtrl&) = delete;

    bool Initialize() override;
    bool IsInitialized() override;
    void Release() override;
    bool IsLocalSession() override;
    bool SessionLock() override;
    bool Disconnect(DWORD sessionId, bool wait) override;
    bool DisconnectForce(DWORD sessionId, bool wait) override;
    bool LogoffSession(DWORD sessionId, bool wait) override;
    bool IsConnected(DWORD sessionId) override;
    bool GetStatus(DWORD sessionId, int& state) override;
    bool GetLoggedOnWinDomain(DWORD sessionId, std::wstring& domain) override;
    bool GetLoggedOnWinDomain(std::wstring& domain) override;
    bool GetWinStationName(DWORD sessionId, std::wstring& name) override;
    bool GetWinStationName(std::wstring& name) override;
    bool GetAllWinStationName(std::list<SESSION_INFO>& sessions) override;
    bool GetUserToken(DWORD sessionId, IUserTokenHolder& holder) override;
    bool GetSessionUserName(DWORD sessionId, std::wstring& user) override;
    bool GetClientAddress(DWORD sessionId, std::wstring& address, bool& isLocal) override;
    bool FormatIPv4Address(const unsigned char* bytes, DWORD length,
                           std::wstring& text) override;
    bool FormatIPv6Address(const unsigned char* bytes, DWORD length,
                           std::wstring& text) override;

    // The version test of IsLocalSession.
    bool IsWindows10OrGreater();
    // Starts "CorvaneKwardenService.exe -lock" in `sessionId` as that session's user;
    // failures are silent.
    void LaunchSessionLock(DWORD sessionId);

private:
    WFAPIDll loader_;
    HANDLE server_ = nullptr;
};

}  // namespace sessionctrl
