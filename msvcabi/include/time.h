// Wine 8's time.h lacks the UCRT's struct timespec and timespec_get, which Microsoft's
// <ctime> names.
#pragma once

#include_next <time.h>
#include <vcruntime.h>

#ifndef TIME_UTC
#define TIME_UTC 1
#endif

_CRT_BEGIN_C_HEADER
struct _timespec32 {
    __time32_t tv_sec;
    long tv_nsec;
};
struct _timespec64 {
    __time64_t tv_sec;
    long tv_nsec;
};
struct timespec {
    time_t tv_sec;
    long tv_nsec;
};
_ACRTIMP int __cdecl _timespec32_get(struct _timespec32* time, int base);
_ACRTIMP int __cdecl _timespec64_get(struct _timespec64* time, int base);
#ifdef _USE_32BIT_TIME_T
inline int __cdecl timespec_get(struct timespec* time, int base) {
    return _timespec32_get((struct _timespec32*)time, base);
}
#else
inline int __cdecl timespec_get(struct timespec* time, int base) {
    return _timespec64_get((struct _timespec64*)time, base);
}
#endif
_CRT_END_C_HEADER
