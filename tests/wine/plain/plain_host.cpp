// Calls the exports of HalcyonSessionCtrl.dll on plain Windows (no virtual-desktop product)
// and compares them with what Windows itself answers. Under Wine, several Terminal Services
// queries fail; those checks pin Wine's answers (see ../README.md).
#include <sessionctrl/SessionCtrl.h>

#include <list>
#include <string>
#include <utility>

#include <windows.h>
#include <sddl.h>

#include "wine_check.h"

using sessionctrl::SessionCtrl;

namespace {

std::wstring OwnExeName() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path);
    return full.substr(full.find_last_of(L"\\/") + 1);
}

std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) {
        c = static_cast<wchar_t>(towupper(c));
    }
    return text;
}

std::wstring WindowsUserName() {
    wchar_t name[256] = {};
    DWORD length = 256;
    return GetUserNameW(name, &length) ? std::wstring(name) : std::wstring();
}

// The SID of this process's own token, as Windows renders it.
std::wstring OwnSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        return std::wstring();
    }
    std::wstring result;
    unsigned char buffer[512] = {};
    DWORD length = 0;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof(buffer), &length)) {
        wchar_t* text = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
            result = text;
            LocalFree(text);
        }
    }
    CloseHandle(token);
    return result;
}

void CheckSessionAndProcesses(unsigned long session) {
    DWORD windowsSession = 0xFFFFFFFF;
    WINE_CHECK(ProcessIdToSessionId(GetCurrentProcessId(), &windowsSession));
    WINE_CHECK(session == windowsSession);

    const std::wstring exe = OwnExeName();
    winecheck::Value("exe", exe);
    WINE_CHECK(SessionCtrl::FindProcess(0, exe.c_str()));
    WINE_CHECK(SessionCtrl::FindProcess(0, Upper(exe).c_str()));
    WINE_CHECK(SessionCtrl::FindProcess(session, exe.c_str()));
    WINE_CHECK(!SessionCtrl::FindProcess(0, L"halcyon-no-such-process.exe"));
    WINE_CHECK(!SessionCtrl::FindProcess(0, nullptr));
}

void CheckUserAndToken(unsigned long session) {
    std::wstring user = L"previous";
    WINE_CHECK(SessionCtrl::GetSessionUserName(session, user));
    winecheck::Value("user", user);
    WINE_CHECK(user == WindowsUserName());

    std::wstring domain;
    WINE_CHECK(SessionCtrl::GetLoggedOnWinDomain(domain));
    WINE_CHECK(!domain.empty());
    winecheck::Value("domain", domain);

    sessionctrl::UserTokenHolder holder;
    WINE_CHECK(SessionCtrl::GetUserToken(session, holder));
    WINE_CHECK(holder.GetToken() != nullptr);
    std::wstring sid;
    WINE_CHECK(holder.GetTokenSID(sid));
    winecheck::Value("sid", sid);
    WINE_CHECK(sid.compare(0, 4, L"S-1-") == 0);
    WINE_CHECK(sid == OwnSid());
}

// Wine 8 implements neither WTSWinStationName, WTSConnectState nor WTSClientAddress,
// and its WTSEnumerateSessionsW lists no session: the library answers false.
void CheckWhatWineLacks(unsigned long session) {
    std::wstring name = L"previous";
    WINE_CHECK(!SessionCtrl::GetWinStationName(name));
    WINE_CHECK(!SessionCtrl::IsConnected(session));
    int state = -7;
    WINE_CHECK(!SessionCtrl::GetStatus(session, state));
    WINE_CHECK(state == -7);

    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions;
    WINE_CHECK(!SessionCtrl::GetAllWinStationName(sessions));
    WINE_CHECK(sessions.empty());

    std::wstring address = L"previous";
    bool isLocal = false;
    WINE_CHECK(!SessionCtrl::GetClientAddress(session, address, isLocal));
    WINE_CHECK(address.empty());
}

void CheckLifecycle() {
    WINE_CHECK(SessionCtrl::IsLocalSession());
    // After Release the same backend is initialised again on the next call.
    SessionCtrl::Release();
    WINE_CHECK(SessionCtrl::IsLocalSession());

    SessionCtrl first;
    SessionCtrl second;
    WINE_CHECK(&(first = second) == &first);
    WINE_CHECK(&(first = std::move(second)) == &first);
}

}  // namespace

int main() {
    const unsigned long session = SessionCtrl::GetCurrentSessionID();
    winecheck::Value("session", session);
    winecheck::Value("pid", GetCurrentProcessId());

    CheckSessionAndProcesses(session);
    CheckUserAndToken(session);
    CheckWhatWineLacks(session);
    CheckLifecycle();
    return winecheck::ExitCode();
}
