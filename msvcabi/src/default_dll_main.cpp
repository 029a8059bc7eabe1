// The DllMain of a DLL that has none (tessark.dll), as Visual C++'s run-time library supplies:
// the linker takes it from this library only when the DLL defines no DllMain of its own.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
