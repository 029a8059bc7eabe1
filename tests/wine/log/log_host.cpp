// Calls a few exports from the main thread and from a second thread, and prints the ids
// the log lines must carry in their header columns.
#include <sessionctrl/SessionCtrl.h>

#include <string>

#include <windows.h>

#include "wine_check.h"

using sessionctrl::SessionCtrl;

namespace {

DWORD WINAPI Worker(void*) {
    winecheck::Value("worker_tid", GetCurrentThreadId());
    std::wstring user;
    SessionCtrl::GetSessionUserName(SessionCtrl::GetCurrentSessionID(), user);
    return 0;
}

}  // namespace

int main() {
    const unsigned long session = SessionCtrl::GetCurrentSessionID();
    winecheck::Value("session", session);
    winecheck::Value("pid", GetCurrentProcessId());
    winecheck::Value("main_tid", GetCurrentThreadId());

    WINE_CHECK(SessionCtrl::IsLocalSession());
    WINE_CHECK(!SessionCtrl::IsConnected(session));  // Wine has no WTSConnectState

    HANDLE thread = CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr);
    if (WINE_CHECK(thread != nullptr)) {
        WINE_CHECK(WaitForSingleObject(thread, 30000) == WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    return winecheck::ExitCode();
}
