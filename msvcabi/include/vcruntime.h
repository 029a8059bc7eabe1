// The VC run-time's base header, which Microsoft's STL includes first and which is not
// open source: the macros and types the STL expects of it, over Wine's C run-time headers.
#pragma once

#include <corecrt.h>

#define _VCRUNTIME_H
#define _CRT_PACKING 8
#define _HAS_EXCEPTIONS 1
#define _CRT_STRINGIZE_(x) #x
#define _CRT_STRINGIZE(x) _CRT_STRINGIZE_(x)
#define _CRT_WIDE_(s) L##s
#define _CRT_WIDE(s) _CRT_WIDE_(s)
#define _CRT_CONCATENATE_(a, b) a##b
#define _CRT_CONCATENATE(a, b) _CRT_CONCATENATE_(a, b)
#define _CRT_UNPARENTHESIZE_(...) __VA_ARGS__
#define _CRT_UNPARENTHESIZE(...) _CRT_UNPARENTHESIZE_ __VA_ARGS__
#define _VCRTIMP __declspec(dllimport)
#define _CRTIMP2
#define _CRT_SATELLITE_1 __declspec(dllimport)
#define _CRT_SATELLITE_2 __declspec(dllimport)
#define _CRTIMP2_IMPORT __declspec(dllimport)
#define _VCRT_NOALIAS __declspec(noalias)
#define _VCRT_RESTRICT __declspec(restrict)
#define _VCRT_ALLOCATOR __declspec(allocator)
#define _VCRT_ALIGN(x) __declspec(align(x))
#define _CRTRESTRICT __declspec(restrict)
#define _CRTALLOCATOR __declspec(allocator)
#define _CRT_GUARDOVERFLOW
#define _CRT_HYBRIDPATCHABLE
#define _CRT_INSECURE_DEPRECATE(replacement)
#define _CRT_INSECURE_DEPRECATE_MEMORY(replacement)
#define _CRT_DEPRECATE_TEXT(text) __declspec(deprecated(text))
#define _CRT_NONSTDC_DEPRECATE(replacement)
#define _CRT_OBSOLETE(replacement)
#define _CRT_JIT_INTRINSIC
#define _CRT_SECURE_CPP_NOTHROW throw()
#define __CLRCALL_PURE_OR_CDECL __cdecl
#define __CLRCALL_OR_CDECL __cdecl
#define __CRTDECL __cdecl
#define __CLR_OR_THIS_CALL
#define _HAS_NODISCARD 1
#define _NODISCARD [[nodiscard]]
#define _VCRT_DECLARE_ALTERNATE_NAME(a, b)
#ifdef __cplusplus
#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING)) extern "C" {
#define _CRT_END_C_HEADER } __pragma(pack(pop))
#else
#define _CRT_BEGIN_C_HEADER __pragma(pack(push, _CRT_PACKING))
#define _CRT_END_C_HEADER __pragma(pack(pop))
#endif
#define _CRT_HAS_CXX17 1
#define _HAS_CXX17 (_MSVC_LANG > 201402L)
#define _HAS_CXX20 (_MSVC_LANG > 201703L)
#define _HAS_CXX23 (_MSVC_LANG > 202002L)
#define _CRT_FUNCTIONS_REQUIRED 1
#define _CRT_UNUSED(x) (void)x
#define _VCRUNTIME_DISABLED_WARNINGS 4514 4820
#ifndef __STDC_WANT_SECURE_LIB__
#define __STDC_WANT_SECURE_LIB__ 1
#endif

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
