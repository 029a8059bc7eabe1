#include "vmview_ctrl.h"

#include "terminal_services.h"
#include "vmware_view.h"

#include <platform/win32_raii.h>

namespace sessionctrl {
namespace ts = terminal_services;

namespace {

// Before version 7 the address lives in the user's volatile environment, read as the
// user; a failed impersonation still reads, as the caller.
bool ReadUsersVolatileClientAddress(DWORD sessionId, std::wstring& address) {
    platform::UniqueHandle token;
    if (!WTSQueryUserToken(sessionId, token.Receive())) return false;
    platform::ImpersonationGuard asUser(token.Get());
    return vmware::ReadVolatileClientAddress(address);
}

}  // namespace

VMViewCtrl::~VMViewCtrl() = default;

bool VMViewCtrl::Initialize() {
    ts::InitializeWithProbe(L"Session control [VMware]");
    initialized_ = true;
    // Fixes the version for the process before anything asks for it.
    vmware::GetVdmMajorVersion();
    return true;
}

bool VMViewCtrl::IsInitialized() { return initialized_; }

void VMViewCtrl::Release() { initialized_ = false; }

// Below 7 a running PCoIP server means the console of a VMware desktop; from 7 on it
// means a VMware display-protocol session, which is not local.
bool VMViewCtrl::IsLocalSession() {
    if (vmware::WindowsReportsRemoteSession()) return false;
    if (vmware::GetVdmMajorVersion() < vmware::kSessionDataVersion) {
        return vmware::IsPCoIPServerInOwnSession();
    }
    DWORD ownSession = 0;
    if (!ts::CallerSessionId(ownSession)) return false;
    return !vmware::IsVdmSession(ownSession);
}

bool VMViewCtrl::GetClientAddress(DWORD sessionId, std::wstring& address, bool& isLocal) {
    if (vmware::GetVdmMajorVersion() >= vmware::kSessionDataVersion) {
        isLocal = !vmware::ReadSessionClientAddress(sessionId, &address);
        return true;
    }
    if (vmware::WindowsReportsRemoteSession()) {
        return ts::GetClientAddress(*this, sessionId, address, isLocal);
    }
    address.clear();
    isLocal = IsLocalSession();
    if (isLocal) return true;
    return ReadUsersVolatileClientAddress(sessionId, address);
}

bool VMViewCtrl::SessionLock() { return ts::SessionLock(); }

bool VMViewCtrl::Disconnect(DWORD sessionId, bool wait) { return ts::Disconnect(sessionId, wait); }

bool VMViewCtrl::DisconnectForce(DWORD sessionId, bool wait) {
    return ts::Disconnect(sessionId, wait);
}

bool VMViewCtrl::LogoffSession(DWORD sessionId, bool wait) {
    return ts::LogoffSession(sessionId, wait);
}

bool VMViewCtrl::IsConnected(DWORD sessionId) { return ts::IsConnected(sessionId); }

bool VMViewCtrl::GetStatus(DWORD sessionId, int& state) { return ts::GetStatus(sessionId, state); }

bool VMViewCtrl::GetLoggedOnWinDomain(DWORD sessionId, std::wstring& domain) {
    return ts::GetLoggedOnWinDomain(sessionId, domain);
}

bool VMViewCtrl::GetLoggedOnWinDomain(std::wstring& domain) {
    return ts::GetLoggedOnWinDomainOfCaller(*this, domain);
}

bool VMViewCtrl::GetWinStationName(DWORD sessionId, std::wstring& name) {
    return ts::GetWinStationName(sessionId, name);
}

bool VMViewCtrl::GetWinStationName(std::wstring& name) {
    return ts::GetWinStationNameOfCaller(*this, name);
}

bool VMViewCtrl::GetAllWinStationName(std::list<SESSION_INFO>& sessions) {
    return ts::GetAllWinStationName(sessions);
}

bool VMViewCtrl::GetUserToken(DWORD sessionId, IUserTokenHolder& holder) {
    return ts::GetUserToken(sessionId, holder);
}

bool VMViewCtrl::GetSessionUserName(DWORD sessionId, std::wstring& user) {
    return ts::GetSessionUserName(sessionId, user);
}

bool VMViewCtrl::FormatIPv4Address(const unsigned char* bytes, DWORD length,
                                   std::wstring& text) {
    return ts::FormatIPv4Address(bytes, length, text);
}

bool VMViewCtrl::FormatIPv6Address(const unsigned char* bytes, DWORD length,
                                   std::wstring& text) {
    return ts::FormatIPv6Address(bytes, length, text);
}

}  // namespace sessionctrl
