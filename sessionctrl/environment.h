// Which virtual-desktop product is installed, whether we run under WOW64, and the
// one process-wide backend chosen from that.
#pragma once

#include <platform/win32.h>
#include <sessionctrl/ISessionCtrl.h>

namespace sessionctrl {

enum VdiProduct : DWORD {
    None = 0,
    XenApp = 1,
    VMwareHorizon = 2,
    XenDesktop = 3,
    XenDesktop7 = 4,
    NotDetected = 255,
};

// The environment lock: product cache, WOW64 answer and the VMware name caches.
// Initialised and deleted by the module entry point, together with the creation lock.
void InitializeEnvironmentLock();
void DeleteEnvironmentLock();
CRITICAL_SECTION& EnvironmentLock();
// Serialises creating (and re-initialising) the backend, which hosts may first ask for
// on several threads at once; lives as long as the environment lock.
CRITICAL_SECTION& BackendCreationLock();

VdiProduct DetectVdiProduct();
bool IsRunningUnderWow64();
// KEY_READ, plus KEY_WOW64_64KEY under WOW64, for every key the backends open.
REGSAM BackendRegistryAccess();

bool EnsureBackend();
// The installed backend, or null before the first EnsureBackend.
ISessionCtrl* CurrentBackend();
// Puts `backend` in place first, then deletes the previous one.
void InstallBackend(ISessionCtrl* backend);

// The module's own instance handle, stored by the entry point at process attach.
HINSTANCE ModuleInstance();
void SetModuleInstance(HINSTANCE instance);

}  // namespace sessionctrl
