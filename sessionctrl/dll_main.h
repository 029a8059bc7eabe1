// The module's entry point. Exported with default visibility off Windows so that the
// simulated loader finds it in a shared object, as Windows finds a DLL's entry point.
#pragma once

#include <platform/win32.h>

#if defined(_WIN32)
#define SESSIONCTRL_ENTRY_POINT
#else
#define SESSIONCTRL_ENTRY_POINT __attribute__((visibility("default")))
#endif

extern "C" SESSIONCTRL_ENTRY_POINT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason,
                                                       LPVOID reserved);
