// Wine 8's sal.h lacks a few of the source annotations Microsoft's STL writes; like the
// others they mean nothing to the compiler.
#pragma once

#include_next <sal.h>

#define _Analysis_assume_(expression)
#define _Check_return_opt_
#define _Field_z_
#define _Guarded_by_(lock)
#define _Pre_satisfies_(condition)
