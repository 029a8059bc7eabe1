// Wine 8's stdio.h lacks the UCRT's inline scanf forms that Microsoft's <cstdio> names.
#pragma once

#include_next <stdio.h>
#include <vcruntime.h>

_CRT_BEGIN_C_HEADER
inline int __cdecl vfscanf(FILE* file, const char* format, va_list args) {
    return __stdio_common_vfscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, file, format, NULL, args);
}
inline int __cdecl vscanf(const char* format, va_list args) { return vfscanf(stdin, format, args); }
inline int __cdecl vsscanf(const char* buffer, const char* format, va_list args) {
    return __stdio_common_vsscanf(_CRT_INTERNAL_LOCAL_SCANF_OPTIONS, buffer, (size_t)-1, format,
                                  NULL, args);
}
_CRT_END_C_HEADER
