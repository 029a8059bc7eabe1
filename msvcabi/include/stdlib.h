// Wine 8's stdlib.h lacks the UCRT's quick_exit pair, which Microsoft's <cstdlib> names, and
// does not bring errno.h's codes with it as the UCRT's does. On x86 it hides div and ldiv
// behind wrappers for GCC's way of returning small structs; Microsoft's compilers return them
// in EDX:EAX, as ucrtbase does, so they are declared plainly.
#pragma once

#if defined(_M_IX86)
#define div __wine_div
#define ldiv __wine_ldiv
#endif
#include_next <stdlib.h>
#if defined(_M_IX86)
#undef div
#undef ldiv
#endif
#include <vcruntime.h>
#include <errno.h>

_CRT_BEGIN_C_HEADER
#if defined(_M_IX86)
_ACRTIMP div_t __cdecl div(int numerator, int denominator);
_ACRTIMP ldiv_t __cdecl ldiv(long numerator, long denominator);
#endif
_ACRTIMP __declspec(noreturn) void __cdecl quick_exit(int status);
_ACRTIMP int __cdecl _crt_at_quick_exit(void(__cdecl* function)(void));
inline int __cdecl at_quick_exit(void(__cdecl* function)(void)) { return _crt_at_quick_exit(function); }
_CRT_END_C_HEADER
