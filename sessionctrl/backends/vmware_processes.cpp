// Searching the caller's own session for the display-protocol server processes.
#include "terminal_services.h"
#include "vmware_view.h"

#include <platform/win32_raii.h>
#include <ssolog/trace.h>

namespace sessionctrl::vmware {

int FindProcessInOwnSession(const wchar_t* const* names, WORD count) noexcept {
    platform::WtsBuffer<WTS_PROCESS_INFOW> processes;
    DWORD processCount = 0;
    if (!WTSEnumerateProcessesW(WTS_CURRENT_SERVER_HANDLE, 0, 1, processes.Receive(),
                                &processCount) ||
        processes.Get() == nullptr) {
        ssolog::TraceNumber(L"[VM]WTSEnumerateProcesses Error >",
                            static_cast<int>(GetLastError()));
        return -1;
    }
    DWORD ownSession = 0;
    if (!terminal_services::CallerSessionId(ownSession)) return -1;

    for (DWORD p = 0; p < processCount; ++p) {
        const WTS_PROCESS_INFOW& process = processes.Get()[p];
        if (process.SessionId != ownSession || process.pProcessName == nullptr) continue;
        for (WORD n = 0; n < count && names[n] != nullptr; ++n) {
            if (_wcsicmp(process.pProcessName, names[n]) == 0) return n;
        }
    }
    return -1;
}

bool IsPCoIPServerInOwnSession() noexcept {
    const std::wstring configured = GetPCoIPServerProcessName();
    const wchar_t* const names[] = {configured.empty() ? kDefaultPCoIPServerName
                                                       : configured.c_str()};
    return FindProcessInOwnSession(names, 1) == 0;
}

}  // namespace sessionctrl::vmware
