// Wine 8's eh.h lacks the getters of the terminate and unexpected handlers that
// Microsoft's <exception> calls.
#pragma once

#include_next <eh.h>

extern "C" {
_ACRTIMP terminate_handler __cdecl _get_terminate(void);
_ACRTIMP unexpected_handler __cdecl _get_unexpected(void);
}
