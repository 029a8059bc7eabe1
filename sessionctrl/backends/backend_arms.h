// The product-specific arms of backend selection, kept with their backends.
#pragma once

#include <sessionctrl/ISessionCtrl.h>

namespace sessionctrl {

// VMware Horizon: traces "Initialize..." / "VMware View" and returns a new,
// uninitialised VMViewCtrl for EnsureBackend to install and initialise.
ISessionCtrl* CreateVMwareBackend();

// XenDesktop and XenDesktop 7: installs and initialises a XenDesktopCtrl, falling back
// to an RDPCtrl when the Citrix library cannot be loaded. Returns EnsureBackend's answer.
bool EnsureCitrixBackend();

}  // namespace sessionctrl
