// Wine 8's winnt.h defines InterlockedCompareExchange128 for clang under the name of
// clang's own builtin, _InterlockedCompareExchange128; its definition is renamed aside.
#pragma once

#define _InterlockedCompareExchange128 __wine_InterlockedCompareExchange128
#include_next <winnt.h>
#undef _InterlockedCompareExchange128
