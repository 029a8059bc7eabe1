#include "rdp_ctrl.h"

#include "terminal_services.h"

namespace sessionctrl {

namespace ts = terminal_services;

RDPCtrl::~RDPCtrl() = default;

bool RDPCtrl::Initialize() {
    ts::InitializeWithProbe(L"Session control [Default]");
    initialized_ = true;
    return true;
}

bool RDPCtrl::IsInitialized() { return initialized_; }

void RDPCtrl::Release() { initialized_ = false; }

bool RDPCtrl::IsLocalSession() { return ts::IsLocalSession(); }

bool RDPCtrl::SessionLock() { return ts::SessionLock(); }

bool RDPCtrl::Disconnect(DWORD sessionId, bool wait) { return ts::Disconnect(sessionId, wait); }

bool RDPCtrl::DisconnectForce(DWORD sessionId, bool wait) {
    return ts::Disconnect(sessionId, wait);
}

bool RDPCtrl::LogoffSession(DWORD sessionId, bool wait) {
    return ts::LogoffSession(sessionId, wait);
}

bool RDPCtrl::IsConnected(DWORD sessionId) { return ts::IsConnected(sessionId); }

bool RDPCtrl::GetStatus(DWORD sessionId, int& state) { return ts::GetStatus(sessionId, state); }

bool RDPCtrl::GetLoggedOnWinDomain(DWORD sessionId, std::wstring& domain) {
    return ts::GetLoggedOnWinDomain(sessionId, domain);
}

bool RDPCtrl::GetLoggedOnWinDomain(std::wstring& domain) {
    return ts::GetLoggedOnWinDomainOfCaller(*this, domain);
}

bool RDPCtrl::GetWinStationName(DWORD sessionId, std::wstring& name) {
    return ts::GetWinStationName(sessionId, name);
}

bool RDPCtrl::GetWinStationName(std::wstring& name) {
    return ts::GetWinStationNameOfCaller(*this, name);
}

bool RDPCtrl::GetAllWinStationName(std::list<SESSION_INFO>& sessions) {
    return ts::GetAllWinStationName(sessions);
}

bool RDPCtrl::GetUserToken(DWORD sessionId, IUserTokenHolder& holder) {
    return ts::GetUserToken(sessionId, holder);
}

bool RDPCtrl::GetSessionUserName(DWORD sessionId, std::wstring& user) {
    return ts::GetSessionUserName(sessionId, user);
}

bool RDPCtrl::GetClientAddress(DWORD sessionId, std::wstring& address, bool& isLocal) {
    return ts::GetClientAddress(*this, sessionId, address, isLocal);
}

bool RDPCtrl::FormatIPv4Address(const unsigned char* bytes, DWORD length, std::wstring& text) {
    return ts::FormatIPv4Address(bytes, length, text);
}

bool RDPCtrl::FormatIPv6Address(const unsigned char* bytes, DWORD length, std::wstring& text) {
    return ts::FormatIPv6Address(bytes, length, text);
}

}  // namespace sessionctrl
