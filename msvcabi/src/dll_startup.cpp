// A DLL's entry point, as Visual C++'s start-up code is: the stack cookie, then the statics,
// then DllMain on attach; DllMain, then the statics' destruction on detach.
#include "module_statics.h"

#include <vcruntime.h>
#include <windows.h>

extern "C" {
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

BOOL WINAPI _DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        __security_init_cookie();
        if (halcyon_construct_module_statics() && DllMain(instance, reason, reserved)) return TRUE;
        halcyon_destroy_module_statics();
        return FALSE;
    }
    const BOOL result = DllMain(instance, reason, reserved);
    if (reason == DLL_PROCESS_DETACH) halcyon_destroy_module_statics();
    return result;
}
}
