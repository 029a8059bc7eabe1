// Wine 8's stdlib.h lacks the UCRT's quick_exit pair, which Microsoft's <cstdlib> names, and
// does not bring errno.h's codes with it as the UCRT's does.
#pragma once

#include_next <stdlib.h>
#include <vcruntime.h>
#include <errno.h>

_CRT_BEGIN_C_HEADER
_ACRTIMP __declspec(noreturn) void __cdecl quick_exit(int status);
_ACRTIMP int __cdecl _crt_at_quick_exit(void(__cdecl* function)(void));
inline int __cdecl at_quick_exit(void(__cdecl* function)(void)) { return _crt_at_quick_exit(function); }
_CRT_END_C_HEADER
