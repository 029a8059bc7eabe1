// Wine 8's math.h has no long double functions; Microsoft's <cstdlib> needs fabsl, which the
// UCRT defines inline over fabs (long double is double with Microsoft's compilers).
#pragma once

#include_next <math.h>
#include <vcruntime.h>

_CRT_BEGIN_C_HEADER
inline long double __cdecl fabsl(long double x) { return fabs((double)x); }
_CRT_END_C_HEADER
