// The VC run-time's base header, which Microsoft's STL includes first and which is not
// open source: the macros and types the STL expects of it, over Wine's C run-time headers.
#pragma once

#include <corecrt.h>

#define _CRT_PACKING 8
#define _HAS_EXCEPTIONS 1
#define _VCRTIMP __declspec(dllimport)
#define _CRTIMP2
#define _CRT_SATELLITE_1 __declspec(dllimport)
#define _CRT_SATELLITE_2 __declspec(dllimport)
#define _CRTIMP2_IMPORT __declspec(dllimport)
#define _CRT_GUARDOVERFLOW
#define _CRT_INSECURE_DEPRECATE(replacement)
#define __CLRCALL_PURE_OR_CDECL __cdecl
#define __CLRCALL_OR_CDECL __cdecl
#define __CRTDECL __cdecl
#define __CLR_OR_THIS_CALL
#define _HAS_NODISCARD 1
#define _NODISCARD [[nodiscard]]
#ifdef __cplusplus
#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING)) extern "C" {
#define _CRT_END_C_HEADER } __pragma(pack(pop))
#else
#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING))
#define _CRT_END_C_HEADER __pragma(pack(pop))
#endif
#define _HAS_CXX17 (_MSVC_LANG > 201402L)
#define _HAS_CXX20 (_MSVC_LANG > 201703L)
#define _HAS_CXX23 (_MSVC_LANG > 202002L)

// Wine's mbstate_t is an int (wchar.h), which is what its run-time reads and writes.
typedef int _Mbstatet;

_CRT_BEGIN_C_HEADER
_ACRTIMP __declspec(noreturn) void __cdecl _invoke_watson(const wchar_t*, const wchar_t*,
                                                           const wchar_t*, unsigned int, uintptr_t);
extern uintptr_t __security_cookie;
void __cdecl __security_init_cookie(void);
#if defined(_M_IX86)
void __fastcall __security_check_cookie(uintptr_t cookie);
#else
void __cdecl __security_check_cookie(uintptr_t cookie);
#endif
__declspec(noreturn) void __cdecl __report_gsfailure(uintptr_t cookie);
_CRT_END_C_HEADER
