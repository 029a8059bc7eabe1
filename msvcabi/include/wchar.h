// Wine 8's wchar.h lacks the UCRT's inline fwide, mbsinit and wide scanf forms,
// and wcstold, all of which Microsoft's <cwchar> names.
#pragma once

#include_next <wchar.h>
#include <vcruntime.h>

_CRT_BEGIN_C_HEADER
_ACRTIMP long double __cdecl wcstold(const wchar_t* text, wchar_t** end);
inline int __cdecl fwide(FILE*, int mode) { return mode; }
inline int __cdecl mbsinit(const mbstate_t* state) { return state == NULL || *state == 0; }
inline int __cdecl vfwscanf(FILE* file, const wchar_t* format, va_list args) {
    return __stdio_common_vfwscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, file, format, NULL, args);
}
inline int __cdecl vwscanf(const wchar_t* format, va_list args) { return vfwscanf(stdin, format, args); }
inline int __cdecl vswscanf(const wchar_t* buffer, const wchar_t* format, va_list args) {
    return __stdio_common_vswscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, buffer, (size_t)-1, format,
                                   NULL, args);
}
_CRT_END_C_HEADER
