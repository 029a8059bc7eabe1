// The module's static objects, as Visual C++'s start-up code runs them: the initialisers the
// compiler lists in the .CRT sections, and the module's own table of at-exit functions
// (static destructors, atexit), run in reverse when the module ends.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

// Constructs the module's statics; false when a C initialiser failed.
int __cdecl halcyon_construct_module_statics(void);
// Runs the at-exit table and the terminators: the statics' destruction.
void __cdecl halcyon_destroy_module_statics(void);

#ifdef __cplusplus
}
#endif
