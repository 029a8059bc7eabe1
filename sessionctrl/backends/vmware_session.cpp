// Whether VMware View serves a session, and how Windows sees the caller's session.
#include "terminal_services.h"
#include "vmware_registry.h"
#include "vmware_view.h"

#include <ssolog/trace.h>

namespace sessionctrl::vmware {
namespace {

constexpr int kSessionKeyAttempts = 3;
// VMware View writes the per-session key shortly after the logon; give it time.
constexpr DWORD kSessionKeyRetryMs = 200;

bool SessionKeyAppears(DWORD sessionId) noexcept {
    try {
        if (!RegistryKeyExists(HKEY_LOCAL_MACHINE, kSessionDataKey)) return false;
        const std::wstring sessionKey = SessionKeyPath(sessionId);
        for (int attempt = 0; attempt < kSessionKeyAttempts; ++attempt) {
            if (attempt > 0) {
                ssolog::TraceNumber(L"[VM]Registry not found.(SessionData) retry:", attempt);
            }
            if (RegistryKeyExists(HKEY_LOCAL_MACHINE, sessionKey.c_str())) return true;
            Sleep(kSessionKeyRetryMs);
        }
        return false;
    } catch (...) {
        return false;
    }
}

bool DisplayServerRunsInOwnSession() noexcept {
    const std::wstring pcoip = GetPCoIPServerProcessName();
    const std::wstring blast = GetBlastServerProcessName();
    const wchar_t* const names[] = {pcoip.empty() ? kDefaultPCoIPServerName : pcoip.c_str(),
                                    blast.empty() ? kDefaultBlastServerName : blast.c_str()};
    const int found = FindProcessInOwnSession(names, 2);
    if (found < 0) {
        ssolog::TraceMessage(L"[VM]VDM Process not found.");
        return false;
    }
    ssolog::TraceResult(L"[VM]VDM Process found.", names[found]);
    return true;
}

}  // namespace

bool IsVdmSession(DWORD sessionId) noexcept {
    return SessionKeyAppears(sessionId) || DisplayServerRunsInOwnSession();
}

bool WindowsReportsRemoteSession() noexcept { return !terminal_services::IsLocalSession(); }

}  // namespace sessionctrl::vmware

