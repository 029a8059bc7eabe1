// Wine 8's math.h has no long double functions; the UCRT defines them inline over the
// double ones (long double is double here), and Microsoft's STL names them.
#pragma once

#include_next <math.h>
#include <vcruntime.h>

_CRT_BEGIN_C_HEADER
inline long double __cdecl fabsl(long double x) { return fabs((double)x); }
_CRT_END_C_HEADER
