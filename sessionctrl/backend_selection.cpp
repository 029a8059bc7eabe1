// The one process-wide backend: chosen from the installed product at first use,
// re-initialised after SessionCtrl::Release, deleted at unload.
#include "environment.h"
#include "ordered_statics.h"

#include "backend_arms.h"
#include "rdp_ctrl.h"

#include <platform/win32_raii.h>
#include <ssolog/trace.h>

namespace sessionctrl {

namespace {

bool InstallAndInitialize(ISessionCtrl* backend) {
    InstallBackend(backend);
    return backend->Initialize();
}

bool CreateBackend() {
    switch (DetectVdiProduct()) {
    case XenApp:
        ssolog::TraceResult(L"Initialize...", L"RDP(XenApp)");
        return InstallAndInitialize(new RDPCtrl);
    case VMwareHorizon:
        return InstallAndInitialize(CreateVMwareBackend());
    case XenDesktop:
    case XenDesktop7:
        // The Citrix arm installs and initialises itself, with its own fallback.
        return EnsureCitrixBackend();
    default:
        ssolog::TraceResult(L"Initialize...", L"RDP");
        return InstallAndInitialize(new RDPCtrl);
    }
}

}  // namespace

ISessionCtrl* CurrentBackend() { return BackendSlot().load(); }

void InstallBackend(ISessionCtrl* backend) {
    // The new object is in place before the old one is destroyed.
    delete BackendSlot().exchange(backend);
}

// Hosts call from any thread. Two first calls racing would both create a backend and
// the later install would delete the object the other thread is using, so creation
// (and re-initialisation after Release) is serialised with a lock of its own; an
// initialised backend is used without taking it.
bool EnsureBackend() {
    if (ISessionCtrl* backend = CurrentBackend(); backend != nullptr && backend->IsInitialized())
        return true;
    platform::CriticalSectionGuard creation(BackendCreationLock());
    if (ISessionCtrl* backend = CurrentBackend())
        return backend->IsInitialized() || backend->Initialize();
    try {
        return CreateBackend();
    } catch (...) {
        return false;
    }
}

}  // namespace sessionctrl
