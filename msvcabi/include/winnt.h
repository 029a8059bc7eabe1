// Wine 8's winnt.h defines its own versions of some interlocked functions (all 64-bit ones on
// x86, the 128-bit exchange on x64) under the names of clang's builtins, which clang refuses;
// they are renamed aside, and the names stay clang's builtins.
#pragma once

#define _InterlockedCompareExchange128 __wine_InterlockedCompareExchange128
#define _InterlockedAnd64 __wine_InterlockedAnd64
#define _InterlockedCompareExchangePointer __wine_InterlockedCompareExchangePointer
#define _InterlockedExchangeAdd64 __wine_InterlockedExchangeAdd64
#define _InterlockedExchangePointer __wine_InterlockedExchangePointer
#define _InterlockedIncrement64 __wine_InterlockedIncrement64
#define _InterlockedDecrement64 __wine_InterlockedDecrement64
#define _InterlockedOr64 __wine_InterlockedOr64
#define _InterlockedXor64 __wine_InterlockedXor64
#include_next <winnt.h>
#undef _InterlockedCompareExchange128
#undef _InterlockedAnd64
#undef _InterlockedCompareExchangePointer
#undef _InterlockedExchangeAdd64
#undef _InterlockedExchangePointer
#undef _InterlockedIncrement64
#undef _InterlockedDecrement64
#undef _InterlockedOr64
#undef _InterlockedXor64
