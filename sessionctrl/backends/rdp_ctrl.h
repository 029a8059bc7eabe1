// The default backend: every answer comes from the Terminal Services API.
#pragma once

#include <sessionctrl/ISessionCtrl.h>

namespace sessionctrl {

class RDPCtrl : public ISessionCtrl {
public:
    RDPCtrl() = default;
    RDPCtrl(const RDPCtrl&) = delete;
    RDPCtrl& operator=(const RDPCtrl&) = delete;
    ~RDPCtrl() override;

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

private:
    bool initialized_ = false;
};

}  // namespace sessionctrl
