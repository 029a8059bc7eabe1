// Prints what HalcyonSessionCtrl.dll tells about the sessions of this machine: the
// current session, the session list, and user, domain, state and client address of each.
#include <sessionctrl/SessionCtrl.h>

#include <cstdio>
#include <list>
#include <string>

#include "wine_check.h"

using sessionctrl::SessionCtrl;

namespace {

std::string Text(bool ok, const std::wstring& text) {
    return ok ? "\"" + winecheck::ToUtf8(text) + "\"" : "(not available)";
}

void ReportSession(unsigned long session) {
    std::wstring station;
    std::wstring user;
    std::wstring domain;
    std::wstring address;
    int state = 0;
    bool isLocal = false;
    const bool haveStation = SessionCtrl::GetWinStationName(session, station);
    const bool haveUser = SessionCtrl::GetSessionUserName(session, user);
    const bool haveDomain = SessionCtrl::GetLoggedOnWinDomain(session, domain);
    const bool haveState = SessionCtrl::GetStatus(session, state);
    const bool haveAddress = SessionCtrl::GetClientAddress(session, address, isLocal);

    std::printf("session %lu\n", session);
    std::printf("  station:        %s\n", Text(haveStation, station).c_str());
    std::printf("  user:           %s\n", Text(haveUser, user).c_str());
    std::printf("  domain:         %s\n", Text(haveDomain, domain).c_str());
    if (haveState) {
        std::printf("  state:          %d\n", state);
    } else {
        std::printf("  state:          (not available)\n");
    }
    std::printf("  connected:      %s\n", SessionCtrl::IsConnected(session) ? "yes" : "no");
    if (!haveAddress) {
        std::printf("  client address: (not available)\n");
    } else if (isLocal) {
        std::printf("  client address: local\n");
    } else {
        std::printf("  client address: %s\n", Text(true, address).c_str());
    }
}

}  // namespace

int main() {
    const unsigned long current = SessionCtrl::GetCurrentSessionID();
    std::printf("current session: %lu (%s)\n", current,
                SessionCtrl::IsLocalSession() ? "local" : "remote");

    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions;
    if (SessionCtrl::GetAllWinStationName(sessions)) {
        std::printf("sessions: %zu\n", sessions.size());
        for (const auto& info : sessions) {
            std::printf("  %lu %s state %lu\n", static_cast<unsigned long>(info.SessionId),
                        winecheck::ToUtf8(info.WinStationName).c_str(),
                        static_cast<unsigned long>(info.State));
        }
    } else {
        std::printf("sessions: (not available)\n");
    }

    ReportSession(current);
    for (const auto& info : sessions) {
        if (info.SessionId != current) {
            ReportSession(info.SessionId);
        }
    }
    return 0;
}
