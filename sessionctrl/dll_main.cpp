// Process attach sets up what the statics could not (locks, instance, the module's
// logger); detach takes it down in reverse before the statics are destroyed.
#include "dll_main.h"

#include "environment.h"

#include <ssolog/trace.h>

extern "C" SESSIONCTRL_ENTRY_POINT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                                                       LPVOID /*reserved*/) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        sessionctrl::InitializeEnvironmentLock();
        sessionctrl::SetModuleInstance(instance);
        ssolog::RegisterModuleLogger();
        break;
    case DLL_PROCESS_DETACH:
        ssolog::UnregisterModuleLogger();
        sessionctrl::DeleteEnvironmentLock();
        break;
    default:
        break;
    }
    return TRUE;
}
