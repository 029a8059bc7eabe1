// Whether the caller's own session is reached through a VMware display protocol,
// and the export that reports it.
#include "environment.h"
#include "terminal_services.h"
#include "vmware_registry.h"
#include "vmware_view.h"

#include <sessionctrl/SessionCtrl.h>
#include <ssolog/trace.h>

namespace sessionctrl {
namespace vmware {

bool IsPCoIPSession() noexcept {
    if (WindowsReportsRemoteSession()) return false;
    if (GetVdmMajorVersion() < kSessionDataVersion) return IsPCoIPServerInOwnSession();
    DWORD ownSession = 0;
    if (!terminal_services::CallerSessionId(ownSession)) return false;
    return ReadSessionClientAddress(ownSession, nullptr);
}

bool IsBlastSession() noexcept {
    if (WindowsReportsRemoteSession()) return false;
    if (GetVdmMajorVersion() < kSessionDataVersion) return false;
    DWORD ownSession = 0;
    if (!terminal_services::CallerSessionId(ownSession)) return false;
    try {
        const auto protocol = ReadRegistryString(HKEY_LOCAL_MACHINE,
                                                 SessionKeyPath(ownSession).c_str(),
                                                 L"ViewClient_Protocol", kValueChars);
        return protocol && !protocol->empty() && _wcsicmp(protocol->c_str(), L"BLAST") == 0;
    } catch (...) {
        return false;
    }
}

}  // namespace vmware

bool SessionCtrl::IsPCoIPConnect() {
    if (!EnsureBackend()) return false;
    if (DetectVdiProduct() != VMwareHorizon) return false;
    if (!vmware::IsPCoIPSession()) {
        ssolog::TraceResult(L"PCoIP Connect >", L"false");
        return false;
    }
    ssolog::TraceResult(vmware::IsBlastSession() ? L"Blast Connect >" : L"PCoIP Connect >",
                        L"true");
    return true;
}

}  // namespace sessionctrl
