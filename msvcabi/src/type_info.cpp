// The virtual table of type_info, which every type descriptor the compiler emits points to
// and which Visual C++'s run-time library defines. Descriptors are constant and never
// destroyed, so its one slot, the deleting destructor, is never called: it ends the process.
// It is defined under its decorated name so that a reference to it takes it from the library.
#include <stdlib.h>

extern "C" const void* const halcyon_type_info_vftable[] __asm__("??_7type_info@@6B@") = {
    reinterpret_cast<const void*>(&abort)};
