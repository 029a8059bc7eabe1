/* A console program's entry point, as Visual C++'s start-up code is: the stack cookie, the
   arguments and environment from ucrtbase.dll, the statics, then exit(main(...)), which also
   destroys the statics. Written in C, where main may be called. */
#include "module_statics.h"

#include <corecrt_startup.h>
#include <stdlib.h>
#include <vcruntime.h>

_ACRTIMP int* __cdecl __p___argc(void);
_ACRTIMP char*** __cdecl __p___argv(void);
int main(int argc, char** argv, char** envp);

int mainCRTStartup(void) {
    __security_init_cookie();
    _set_app_type(_crt_console_app);
    if (_configure_narrow_argv(_crt_argv_unexpanded_arguments) != 0 ||
        _initialize_narrow_environment() != 0 || _crt_atexit(halcyon_destroy_module_statics) != 0 ||
        !halcyon_construct_module_statics()) {
        exit(255);
    }
    exit(main(*__p___argc(), *__p___argv(), _get_initial_narrow_environment()));
}
