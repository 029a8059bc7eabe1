// The module's static objects (module_statics.h): the .CRT section bounds the linker sorts the
// compiler's initialiser lists between, and the module-local at-exit table behind atexit.
#include "module_statics.h"

#include <corecrt_startup.h>

extern "C" {
_ACRTIMP void __cdecl _initterm(_PVFV* first, _PVFV* last);
_ACRTIMP int __cdecl _initterm_e(_PIFV* first, _PIFV* last);
}

// XI: C initialisers; XC: C++ initialisers (static constructors, in the order of
// their segments: XCL for init_seg(lib), XCU for the ordinary ones); XP, XT: terminators.
#pragma section(".CRT$XIA", long, read)
#pragma section(".CRT$XIZ", long, read)
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
#pragma section(".CRT$XPA", long, read)
#pragma section(".CRT$XPZ", long, read)
#pragma section(".CRT$XTA", long, read)
#pragma section(".CRT$XTZ", long, read)
extern "C" {
__declspec(allocate(".CRT$XIA")) _PIFV halcyon_xi_a[] = {nullptr};
__declspec(allocate(".CRT$XIZ")) _PIFV halcyon_xi_z[] = {nullptr};
__declspec(allocate(".CRT$XCA")) _PVFV halcyon_xc_a[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) _PVFV halcyon_xc_z[] = {nullptr};
__declspec(allocate(".CRT$XPA")) _PVFV halcyon_xp_a[] = {nullptr};
__declspec(allocate(".CRT$XPZ")) _PVFV halcyon_xp_z[] = {nullptr};
__declspec(allocate(".CRT$XTA")) _PVFV halcyon_xt_a[] = {nullptr};
__declspec(allocate(".CRT$XTZ")) _PVFV halcyon_xt_z[] = {nullptr};
}

namespace {
_onexit_table_t g_atExit;
}

extern "C" int __cdecl atexit(_PVFV function) {
    return _register_onexit_function(&g_atExit, reinterpret_cast<_onexit_t>(function)) == 0 ? 0 : -1;
}

extern "C" int __cdecl halcyon_construct_module_statics(void) {
    if (_initialize_onexit_table(&g_atExit) != 0) return 0;
    if (_initterm_e(halcyon_xi_a, halcyon_xi_z) != 0) return 0;
    _initterm(halcyon_xc_a, halcyon_xc_z);
    return 1;
}

extern "C" void __cdecl halcyon_destroy_module_statics(void) {
    _execute_onexit_table(&g_atExit);
    _initterm(halcyon_xp_a, halcyon_xp_z);
    _initterm(halcyon_xt_a, halcyon_xt_z);
}
