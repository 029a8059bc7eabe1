// Wine 8's windef.h defines the keyword inline as __inline for Microsoft's compilers, which
// Microsoft's STL refuses in C++ (xkeycheck.h); C++ has the keyword.
#pragma once

#include_next <windef.h>

#ifdef __cplusplus
#undef inline
#endif
