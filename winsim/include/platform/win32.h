// The one header through which the library, its tools and its tests reach Win32.
// On Windows it is the real SDK (the Windows SDK, or MinGW-w64 plus the few declarations
// it lacks); on Linux it is the simulated Windows of winsim, which offers the same names.
#pragma once

#ifdef _WIN32

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <wtsapi32.h>
#include <sddl.h>
#include <shlwapi.h>
#include <shlobj.h>
#include <mmsystem.h>
#include <io.h>
#include <share.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <wchar.h>

// MinGW-w64's wtsapi32.h (i686 and x86_64 alike) stops short of the extended process
// enumeration, which the Windows SDK declares.
#if defined(__MINGW32__)
#ifndef WTS_ANY_SESSION
#define WTS_ANY_SESSION ((DWORD)-2)
#endif

typedef enum _HALCYON_WTS_TYPE_CLASS {
    WTSTypeProcessInfoLevel0,
    WTSTypeProcessInfoLevel1,
    WTSTypeSessionInfoLevel1
} WTS_TYPE_CLASS;

extern "C" {
BOOL WINAPI WTSEnumerateProcessesExW(HANDLE hServer, DWORD* pLevel, DWORD SessionId,
                                     LPWSTR* ppProcessInfo, DWORD* pCount);
BOOL WINAPI WTSFreeMemoryExW(WTS_TYPE_CLASS WTSTypeClass, PVOID pMemory, ULONG NumberOfEntries);
}
#endif

#else

#include <winsim/win32_api.h>

#endif
