// The VMware Horizon arm of backend selection.
#include "backend_arms.h"
#include "vmview_ctrl.h"

#include <ssolog/trace.h>

namespace sessionctrl {

ISessionCtrl* CreateVMwareBackend() {
    ssolog::TraceResult(L"Initialize...", L"VMware View");
    return new VMViewCtrl;
}

}  // namespace sessionctrl
