// Asks the real DLL about the host's own session on a Citrix XenDesktop machine and prints
// what it answered, for citrix.sh to compare with the fake wfapi.dll's answers.
// With the argument "commands" it also disconnects and logs off its session, which only
// the fake library receives.
#include "wine_check.h"

#include <sessionctrl/SessionCtrl.h>

#include <cstring>
#include <string>

using sessionctrl::SessionCtrl;

int main(int argc, char** argv) {
    const unsigned long own = SessionCtrl::GetCurrentSessionID();
    winecheck::Value("session", own);
    winecheck::Value("local", SessionCtrl::IsLocalSession() ? 1ul : 0ul);

    std::wstring station;
    winecheck::Value("station_ok", SessionCtrl::GetWinStationName(own, station) ? 1ul : 0ul);
    winecheck::Value("station", station);

    int state = -1;
    winecheck::Value("status_ok", SessionCtrl::GetStatus(own, state) ? 1ul : 0ul);
    winecheck::Value("status", static_cast<unsigned long>(state));

    std::wstring address;
    bool isLocal = false;
    winecheck::Value("address_ok",
                     SessionCtrl::GetClientAddress(own, address, isLocal) ? 1ul : 0ul);
    winecheck::Value("address", address);

    std::wstring user;
    WINE_CHECK(SessionCtrl::GetSessionUserName(own, user));

    if (argc > 1 && std::strcmp(argv[1], "commands") == 0) {
        WINE_CHECK(SessionCtrl::Disconnect(own, false));
        WINE_CHECK(SessionCtrl::LogoffSession(own, true));
    }
    SessionCtrl::Release();
    return winecheck::ExitCode();
}
