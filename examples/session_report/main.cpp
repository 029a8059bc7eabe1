// Asks HalcyonSessionCtrl.dll about the session this program runs in.
#include <sessionctrl/SessionCtrl.h>

#include <cstdio>
#include <string>

int main() {
    using sessionctrl::SessionCtrl;
    const unsigned long session = SessionCtrl::GetCurrentSessionID();
    std::printf("session=%lu local=%d\n", session, SessionCtrl::IsLocalSession() ? 1 : 0);

    std::wstring user;
    std::wstring domain;
    if (SessionCtrl::GetSessionUserName(session, user) &&
        SessionCtrl::GetLoggedOnWinDomain(session, domain)) {
        std::printf("user=%ls\\%ls\n", domain.c_str(), user.c_str());
    }

    sessionctrl::UserTokenHolder token;  // closes the token when it goes
    std::wstring sid;
    if (SessionCtrl::GetUserToken(session, token) && token.GetTokenSID(sid)) {
        std::printf("sid=%ls\n", sid.c_str());
    }
    SessionCtrl::Release();
    return 0;
}
