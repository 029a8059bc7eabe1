// XenDesktopCtrl: lifecycle, the commands, and the operations it shares with RDPCtrl.
#include "xendesktop_ctrl.h"

#include "environment.h"
#include "terminal_services.h"

#include <ssolog/trace.h>

namespace sessionctrl {

namespace ts = terminal_services;

XenDesktopCtrl::~XenDesktopCtrl() { XenDesktopCtrl::Release(); }

bool XenDesktopCtrl::Initialize() {
    ssolog::TraceMessage(L"Session control [WFAPI]");
    if (!loader_.Load()) return false;
    if (server_ != nullptr) {
        loader_.IWFCloseServer(server_);
        server_ = nullptr;
    }
    // A null server handle still lets the backend serve: every query names no server.
    server_ = loader_.IWFOpenServerW(nullptr);
    return true;
}

bool XenDesktopCtrl::IsInitialized() { return loader_.IsLoaded(); }

void XenDesktopCtrl::Release() {
    if (server_ != nullptr) loader_.IWFCloseServer(server_);
    server_ = nullptr;
    loader_.Release();
}

bool XenDesktopCtrl::Disconnect(DWORD sessionId, bool wait) {
    if (DetectVdiProduct() == XenDesktop7) {
        DWORD ownSession = 0;
        if (!ProcessIdToSessionId(GetCurrentProcessId(), &ownSession)) ownSession = 0;
        // From the services session XenDesktop 7 cannot disconnect; the service locks
        // the target session instead.
        if (ownSession == 0) {
            LaunchSessionLock(sessionId);
            return true;
        }
    }
    return loader_.IWFDisconnectSession(sessionId, wait) != FALSE;
}

bool XenDesktopCtrl::LogoffSession(DWORD sessionId, bool wait) {
    return loader_.IWFLogoffSession(sessionId, wait) != FALSE;
}

bool XenDesktopCtrl::SessionLock() { return ts::SessionLock(); }

bool XenDesktopCtrl::DisconnectForce(DWORD sessionId, bool wait) {
    return ts::Disconnect(sessionId, wait);
}

bool XenDesktopCtrl::IsConnected(DWORD sessionId) { return ts::IsConnected(sessionId); }

bool XenDesktopCtrl::GetLoggedOnWinDomain(std::wstring& domain) {
    return ts::GetLoggedOnWinDomainOfCaller(*this, domain);
}

bool XenDesktopCtrl::GetWinStationName(std::wstring& name) {
    return ts::GetWinStationNameOfCaller(*this, name);
}

bool XenDesktopCtrl::GetAllWinStationName(std::list<SESSION_INFO>& sessions) {
    return ts::GetAllWinStationName(sessions);
}

bool XenDesktopCtrl::GetUserToken(DWORD sessionId, IUserTokenHolder& holder) {
    return ts::GetUserToken(sessionId, holder);
}

bool XenDesktopCtrl::FormatIPv4Address(const unsigned char* bytes, DWORD length,
                                       std::wstring& text) {
    return ts::FormatIPv4Address(bytes, length, text);
}

bool XenDesktopCtrl::FormatIPv6Address(const unsigned char* bytes, DWORD length,
                                       std::wstring& text) {
    return ts::FormatIPv6Address(bytes, length, text);
}

}  // namespace sessionctrl
