// XenDesktopCtrl: locking a session from the services session by starting the
// product's service in it, as the session's user.
#include "xendesktop_ctrl.h"

#include "environment.h"

#include <platform/win32_raii.h>
#include <tessark/tessark.h>

#include <string>

namespace sessionctrl {

void XenDesktopCtrl::LaunchSessionLock(DWORD sessionId) {
    std::wstring application;
    // The directory ends in a backslash; an unknown one leaves the bare file name.
    tessark::ModuleInfoCtrl::GetDirectory(ModuleInstance(), application);
    application += L"CorvaneKwardenService.exe";

    platform::UniqueHandle token;
    if (!WTSQueryUserToken(sessionId, token.Receive())) return;

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    // CreateProcessAsUserW may write into the command line.
    wchar_t commandLine[] = L"-lock";

    platform::ImpersonationGuard impersonation(token.Get());
    if (CreateProcessAsUserW(token.Get(), application.c_str(), commandLine, nullptr, nullptr,
                             FALSE, CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr,
                             &startup, &process)) {
        const platform::UniqueHandle processHandle(process.hProcess);
        const platform::UniqueHandle threadHandle(process.hThread);
        WaitForSingleObject(process.hProcess, 1000);
    }
}

}  // namespace sessionctrl
