// The one process-wide backend: chosen from the installed product at first use,
// re-initialised after SessionCtrl::Release, deleted at unload.
#include "environment.h"

#include "backend_arms.h"
#include "rdp_ctrl.h"

#include <platform/win32_raii.h>
#include <ssolog/trace.h>

#include <atomic>

namespace sessionctrl {

namespace {

// Owns the backend until the module unloads. Constructed ahead of every unprioritised
// static (the logger registry among them), so destroyed after them: the module's load
// and unload order. init_priority keeps that order whatever the link order, which ELF
// and PE toolchains run in opposite directions. What a backend's destructor traces then
// (the Citrix one releases its library under a trace scope) is dropped by the log.
class BackendSlot {
public:
    BackendSlot() = default;
    BackendSlot(const BackendSlot&) = delete;
    BackendSlot& operator=(const BackendSlot&) = delete;
    ~BackendSlot() { delete backend.load(); }

    std::atomic<ISessionCtrl*> backend{nullptr};
};

__attribute__((init_priority(200))) BackendSlot g_slot;

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

ISessionCtrl* CurrentBackend() { return g_slot.backend.load(); }

void InstallBackend(ISessionCtrl* backend) {
    // The new object is in place before the old one is destroyed.
    delete g_slot.backend.exchange(backend);
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
