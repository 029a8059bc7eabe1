// Wine 8's wtsapi32.h lacks declarations the Windows SDK has and wtsapi32.dll exports: the
// extended process enumeration, WTSLogoffSession and the client address record.
#pragma once

#include_next <wtsapi32.h>

#ifdef __cplusplus
extern "C" {
#endif
typedef struct _WTS_CLIENT_ADDRESS {
    DWORD AddressFamily;
    BYTE Address[20];
} WTS_CLIENT_ADDRESS, *PWTS_CLIENT_ADDRESS;

BOOL WINAPI WTSEnumerateProcessesExW(HANDLE server, DWORD* level, DWORD sessionId, LPWSTR* info,
                                     DWORD* count);
BOOL WINAPI WTSFreeMemoryExW(WTS_TYPE_CLASS type, PVOID memory, ULONG count);
BOOL WINAPI WTSLogoffSession(HANDLE server, DWORD sessionId, BOOL wait);
#ifdef __cplusplus
}
#endif
