// The Citrix arm of backend selection: XenDesktopCtrl, or RDPCtrl when the Citrix
// library cannot be loaded.
#include "backend_arms.h"

#include "environment.h"
#include "rdp_ctrl.h"
#include "xendesktop_ctrl.h"

#include <ssolog/trace.h>

#include <string>

namespace sessionctrl {

bool EnsureCitrixBackend() {
    ssolog::TraceResult(L"Initialize...", L"XenDesktop");
    ISessionCtrl* const citrix = new XenDesktopCtrl();
    InstallBackend(citrix);
    if (citrix->Initialize()) return true;

    if (ssolog::IsTraceEnabled()) {
        std::wstring fallback;
        ssolog::Utf8ToWide(" Initialization of XenDesktop's wfapi library failed, "
                           "so it will be initialized for RDP.",
                           fallback);
        ssolog::TraceMessage(fallback.c_str());
    }
    // Installing the RDPCtrl deletes the XenDesktopCtrl.
    ISessionCtrl* const rdp = new RDPCtrl();
    InstallBackend(rdp);
    return rdp->Initialize();
}

}  // namespace sessionctrl
