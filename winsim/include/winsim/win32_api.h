// The Win32 subset of the simulated Windows: real names, types and constants,
// implemented over the scriptable machine of winsim/machine.h.
// wchar_t is 4 bytes here and 2 on Windows; buffers are counted in characters
// times sizeof(WCHAR), so both builds hold the same number of characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#define WINSIM_API __attribute__((visibility("default")))

#define WINAPI
#define CALLBACK
#define APIENTRY
#define __stdcall
#define __cdecl

// ---- basic types -------------------------------------------------------------
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef int INT;
typedef unsigned int UINT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uint64_t DWORDLONG;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef intptr_t LONG_PTR;
typedef size_t SIZE_T;
typedef char CHAR;
typedef wchar_t WCHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef WCHAR* LPWSTR;
typedef WCHAR* PWSTR;
typedef const WCHAR* LPCWSTR;
typedef const WCHAR* PCWSTR;
typedef void* LPVOID;
typedef void* PVOID;
typedef const void* LPCVOID;
typedef BYTE* LPBYTE;
typedef BYTE* PBYTE;
typedef DWORD* LPDWORD;
typedef DWORD* PDWORD;
typedef BOOL* PBOOL;
typedef LONG LSTATUS;
typedef DWORD ACCESS_MASK;
typedef ACCESS_MASK REGSAM;
typedef int64_t __time64_t;

typedef void* HANDLE;
typedef HANDLE* PHANDLE;
struct HKEY__ { int unused; };
typedef HKEY__* HKEY;
typedef HKEY* PHKEY;
struct HINSTANCE__ { int unused; };
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HWND__ { int unused; };
typedef HWND__* HWND;
typedef HANDLE HLOCAL;
typedef PVOID PSID;
typedef long (*FARPROC)();

#define TRUE 1
#define FALSE 0
#define MAX_PATH 260
#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

typedef union _LARGE_INTEGER {
    struct { DWORD LowPart; LONG HighPart; } u;
    LONGLONG QuadPart;
} LARGE_INTEGER, *PLARGE_INTEGER;

typedef struct _SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
} SYSTEMTIME, *LPSYSTEMTIME;

typedef struct _SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
} SECURITY_ATTRIBUTES, *LPSECURITY_ATTRIBUTES;

// A re-entrant lock; the simulated machine keeps the real mutex behind Impl.
typedef struct _RTL_CRITICAL_SECTION {
    void* Impl;
    LONG LockCount;
    LONG RecursionCount;
    HANDLE OwningThread;
} CRITICAL_SECTION, *LPCRITICAL_SECTION;

// ---- error codes -----------------------------------------------------------
#define ERROR_SUCCESS 0L
#define NO_ERROR 0L
#define ERROR_INVALID_FUNCTION 1L
#define ERROR_FILE_NOT_FOUND 2L
#define ERROR_PATH_NOT_FOUND 3L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_HANDLE 6L
#define ERROR_NOT_ENOUGH_MEMORY 8L
#define ERROR_BAD_FORMAT 11L
#define ERROR_OUTOFMEMORY 14L
#define ERROR_SHARING_VIOLATION 32L
#define ERROR_LOCK_VIOLATION 33L
#define ERROR_NOT_SUPPORTED 50L
#define ERROR_FILE_EXISTS 80L
#define ERROR_INVALID_PARAMETER 87L
#define ERROR_INSUFFICIENT_BUFFER 122L
#define ERROR_MOD_NOT_FOUND 126L
#define ERROR_PROC_NOT_FOUND 127L
#define ERROR_BAD_ARGUMENTS 160L
#define ERROR_NOT_LOCKED 158L
#define ERROR_BAD_PATHNAME 161L
#define ERROR_ALREADY_EXISTS 183L
#define ERROR_BAD_EXE_FORMAT 193L
#define ERROR_MORE_DATA 234L
#define ERROR_NO_MORE_ITEMS 259L
#define ERROR_KEY_DELETED 1018L
#define ERROR_NO_TOKEN 1008L
#define ERROR_BADKEY 1010L
#define ERROR_CANTOPEN 1011L
#define ERROR_PRIVILEGE_NOT_HELD 1314L
#define ERROR_OLD_WIN_VERSION 1150L
#define ERROR_INVALID_SID 1337L
#define ERROR_NO_UNICODE_TRANSLATION 1113L
#define ERROR_DLL_INIT_FAILED 1114L
#define RPC_S_SERVER_UNAVAILABLE 1722L
#define ERROR_CTX_WINSTATION_NOT_FOUND 7022L
#define ERROR_CTX_WINSTATION_ACCESS_DENIED 7045L
#define WAIT_OBJECT_0 0x00000000L
#define WAIT_TIMEOUT 0x00000102L
#define WAIT_FAILED 0xFFFFFFFFul
#define INFINITE 0xFFFFFFFFul

// ---- kernel32: errors, ids, modules, locks, time ------------------------------
#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// file access
#define GENERIC_READ 0x80000000ul
#define GENERIC_WRITE 0x40000000ul
#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004
#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_REPARSE_POINT 0x00000400
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define FILE_NAME_NORMALIZED 0x0
#define VOLUME_NAME_DOS 0x0
#define HANDLE_FLAG_INHERIT 0x00000001
#define CSTR_EQUAL 2
#define MOVEFILE_REPLACE_EXISTING 0x00000001
#define MOVEFILE_COPY_ALLOWED 0x00000002
#define MOVEFILE_WRITE_THROUGH 0x00000008
#define _SH_DENYRW 0x10
#define _SH_DENYWR 0x20
#define _SH_DENYRD 0x30
#define _SH_DENYNO 0x40
#define LOCKFILE_FAIL_IMMEDIATELY 0x00000001
#define LOCKFILE_EXCLUSIVE_LOCK 0x00000002

typedef enum _FILE_INFO_BY_HANDLE_CLASS { FileBasicInfo = 0, FileStandardInfo = 1 } FILE_INFO_BY_HANDLE_CLASS;

typedef struct _FILE_BASIC_INFO {
    LARGE_INTEGER CreationTime;
    LARGE_INTEGER LastAccessTime;
    LARGE_INTEGER LastWriteTime;
    LARGE_INTEGER ChangeTime;
    DWORD FileAttributes;
} FILE_BASIC_INFO;

typedef struct _FILE_STANDARD_INFO {
    LARGE_INTEGER AllocationSize;
    LARGE_INTEGER EndOfFile;
    DWORD NumberOfLinks;
    BYTE DeletePending;
    BYTE Directory;
} FILE_STANDARD_INFO;

// Only the file position is read (by LockFileEx and UnlockFileEx): I/O is synchronous.
typedef struct _OVERLAPPED {
    ULONG_PTR Internal;
    ULONG_PTR InternalHigh;
    union {
        struct {
            DWORD Offset;
            DWORD OffsetHigh;
        };
        PVOID Pointer;
    };
    HANDLE hEvent;
} OVERLAPPED, *LPOVERLAPPED;

// code pages
#define CP_ACP 0
#define CP_UTF8 65001
#define MB_ERR_INVALID_CHARS 0x00000008

// processes
#define CREATE_NEW_CONSOLE 0x00000010
#define NORMAL_PRIORITY_CLASS 0x00000020

typedef struct _STARTUPINFOW {
    DWORD cb;
    LPWSTR lpReserved;
    LPWSTR lpDesktop;
    LPWSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    HANDLE hStdInput, hStdOutput, hStdError;
} STARTUPINFOW, *LPSTARTUPINFOW;

typedef struct _PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
} PROCESS_INFORMATION, *LPPROCESS_INFORMATION;

// version test
#define VER_MINORVERSION 0x0000001
#define VER_MAJORVERSION 0x0000002
#define VER_BUILDNUMBER 0x0000004
#define VER_PLATFORMID 0x0000008
#define VER_SERVICEPACKMINOR 0x0000010
#define VER_SERVICEPACKMAJOR 0x0000020
#define VER_SUITENAME 0x0000040
#define VER_PRODUCT_TYPE 0x0000080
#define VER_EQUAL 1
#define VER_GREATER 2
#define VER_GREATER_EQUAL 3
#define VER_LESS 4
#define VER_LESS_EQUAL 5

typedef struct _OSVERSIONINFOEXW {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    WCHAR szCSDVersion[128];
    WORD wServicePackMajor;
    WORD wServicePackMinor;
    WORD wSuiteMask;
    BYTE wProductType;
    BYTE wReserved;
} OSVERSIONINFOEXW, *LPOSVERSIONINFOEXW, *POSVERSIONINFOEXW;

// ---- advapi32: registry and tokens ---------------------------------------------
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11
#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

#define TOKEN_QUERY 0x0008
#define TOKEN_DUPLICATE 0x0002
#define TOKEN_IMPERSONATE 0x0004

typedef enum _TOKEN_INFORMATION_CLASS {
    TokenUser = 1,
    TokenGroups,
    TokenPrivileges,
    TokenOwner,
    TokenPrimaryGroup,
    TokenDefaultDacl,
    TokenSource,
    TokenType,
    TokenImpersonationLevel,
    TokenStatistics,
    TokenRestrictedSids,
    TokenSessionId
} TOKEN_INFORMATION_CLASS;

typedef struct _SID_AND_ATTRIBUTES {
    PSID Sid;
    DWORD Attributes;
} SID_AND_ATTRIBUTES;

typedef struct _TOKEN_USER {
    SID_AND_ATTRIBUTES User;
} TOKEN_USER, *PTOKEN_USER;

// ---- user32 --------------------------------------------------------------------
#define SM_REMOTESESSION 0x1000

// ---- wtsapi32 ------------------------------------------------------------------
#define WTS_CURRENT_SERVER ((HANDLE)nullptr)
#define WTS_CURRENT_SERVER_HANDLE ((HANDLE)nullptr)
#define WTS_CURRENT_SESSION ((DWORD)-1)
#define WTS_ANY_SESSION ((DWORD)-2)

typedef enum _WTS_INFO_CLASS {
    WTSInitialProgram,
    WTSApplicationName,
    WTSWorkingDirectory,
    WTSOEMId,
    WTSSessionId,
    WTSUserName,
    WTSWinStationName,
    WTSDomainName,
    WTSConnectState,
    WTSClientBuildNumber,
    WTSClientName,
    WTSClientDirectory,
    WTSClientProductId,
    WTSClientHardwareId,
    WTSClientAddress,
    WTSClientDisplay,
    WTSClientProtocolType
} WTS_INFO_CLASS;

typedef enum _WTS_CONNECTSTATE_CLASS {
    WTSActive,
    WTSConnected,
    WTSConnectQuery,
    WTSShadow,
    WTSDisconnected,
    WTSIdle,
    WTSListen,
    WTSReset,
    WTSDown,
    WTSInit
} WTS_CONNECTSTATE_CLASS;

typedef enum _WTS_TYPE_CLASS {
    WTSTypeProcessInfoLevel0,
    WTSTypeProcessInfoLevel1,
    WTSTypeSessionInfoLevel1
} WTS_TYPE_CLASS;

typedef struct _WTS_SESSION_INFOW {
    DWORD SessionId;
    LPWSTR pWinStationName;
    WTS_CONNECTSTATE_CLASS State;
} WTS_SESSION_INFOW, *PWTS_SESSION_INFOW;

typedef struct _WTS_PROCESS_INFOW {
    DWORD SessionId;
    DWORD ProcessId;
    LPWSTR pProcessName;
    PSID pUserSid;
} WTS_PROCESS_INFOW, *PWTS_PROCESS_INFOW;

typedef struct _WTS_CLIENT_ADDRESS {
    DWORD AddressFamily;
    BYTE Address[20];
} WTS_CLIENT_ADDRESS, *PWTS_CLIENT_ADDRESS;

#define AF_UNSPEC 0
#define AF_INET 2
#define AF_INET6 23

// ---- functions -------------------------------------------------------------------
extern "C" {

// kernel32
WINSIM_API DWORD GetLastError(void);
WINSIM_API void SetLastError(DWORD error);
WINSIM_API DWORD GetCurrentProcessId(void);
WINSIM_API DWORD GetCurrentThreadId(void);
WINSIM_API HANDLE GetCurrentProcess(void);
WINSIM_API BOOL ProcessIdToSessionId(DWORD processId, DWORD* sessionId);
WINSIM_API BOOL IsWow64Process(HANDLE process, PBOOL wow64);

WINSIM_API HMODULE GetModuleHandleW(LPCWSTR moduleName);
WINSIM_API BOOL GetModuleHandleExW(DWORD flags, LPCWSTR moduleNameOrAddress, HMODULE* module);
WINSIM_API DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);
WINSIM_API FARPROC GetProcAddress(HMODULE module, LPCSTR procName);
WINSIM_API HMODULE LoadLibraryW(LPCWSTR fileName);
WINSIM_API HMODULE LoadLibraryExW(LPCWSTR fileName, HANDLE file, DWORD flags);
WINSIM_API BOOL FreeLibrary(HMODULE module);

WINSIM_API void InitializeCriticalSection(LPCRITICAL_SECTION section);
WINSIM_API void EnterCriticalSection(LPCRITICAL_SECTION section);
WINSIM_API void LeaveCriticalSection(LPCRITICAL_SECTION section);
WINSIM_API void DeleteCriticalSection(LPCRITICAL_SECTION section);

WINSIM_API BOOL CloseHandle(HANDLE handle);
WINSIM_API DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);
WINSIM_API HLOCAL LocalFree(HLOCAL memory);
WINSIM_API void Sleep(DWORD milliseconds);
WINSIM_API BOOL SwitchToThread(void);
WINSIM_API void GetLocalTime(LPSYSTEMTIME time);

WINSIM_API HANDLE CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode,
                              LPSECURITY_ATTRIBUTES security, DWORD creation, DWORD flags,
                              HANDLE templateFile);
WINSIM_API BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER size);
WINSIM_API DWORD GetFileAttributesW(LPCWSTR fileName);
WINSIM_API BOOL GetFileInformationByHandleEx(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info,
                                             DWORD size);
WINSIM_API DWORD GetFinalPathNameByHandleW(HANDLE file, LPWSTR path, DWORD size, DWORD flags);
WINSIM_API DWORD GetFullPathNameW(LPCWSTR fileName, DWORD size, LPWSTR buffer, LPWSTR* filePart);
WINSIM_API BOOL SetHandleInformation(HANDLE object, DWORD mask, DWORD flags);
WINSIM_API int CompareStringOrdinal(LPCWSTR a, int aCount, LPCWSTR b, int bCount, BOOL ignoreCase);
WINSIM_API BOOL LockFileEx(HANDLE file, DWORD flags, DWORD reserved, DWORD bytesLow,
                           DWORD bytesHigh, LPOVERLAPPED overlapped);
WINSIM_API BOOL UnlockFileEx(HANDLE file, DWORD reserved, DWORD bytesLow, DWORD bytesHigh,
                             LPOVERLAPPED overlapped);
WINSIM_API BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags);
WINSIM_API BOOL DeleteFileW(LPCWSTR fileName);
WINSIM_API UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);

WINSIM_API int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteCount,
                                   LPWSTR wide, int wideCount);
WINSIM_API int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount,
                                   LPSTR multiByte, int multiByteCount, LPCSTR defaultChar,
                                   PBOOL usedDefaultChar);

WINSIM_API BOOL VerifyVersionInfoW(LPOSVERSIONINFOEXW versionInfo, DWORD typeMask,
                                   DWORDLONG conditionMask);
WINSIM_API ULONGLONG VerSetConditionMask(ULONGLONG conditionMask, DWORD typeMask, BYTE condition);

// advapi32
WINSIM_API LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access,
                                 PHKEY result);
WINSIM_API LSTATUS RegOpenCurrentUser(REGSAM access, PHKEY result);
WINSIM_API LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR className,
                                   DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                   PHKEY result, LPDWORD disposition);
WINSIM_API LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                    LPBYTE data, LPDWORD dataSize);
WINSIM_API LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type,
                                  const BYTE* data, DWORD dataSize);
WINSIM_API LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName);
WINSIM_API LSTATUS RegCloseKey(HKEY key);

WINSIM_API BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info,
                                    DWORD infoLength, PDWORD returnLength);
WINSIM_API BOOL ConvertSidToStringSidW(PSID sid, LPWSTR* stringSid);
WINSIM_API BOOL ImpersonateLoggedOnUser(HANDLE token);
WINSIM_API BOOL RevertToSelf(void);
WINSIM_API BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                                     LPSECURITY_ATTRIBUTES processAttributes,
                                     LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                                     DWORD creationFlags, LPVOID environment,
                                     LPCWSTR currentDirectory, LPSTARTUPINFOW startupInfo,
                                     LPPROCESS_INFORMATION processInformation);

// user32
WINSIM_API int GetSystemMetrics(int index);
WINSIM_API BOOL LockWorkStation(void);
WINSIM_API int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);

// winmm
WINSIM_API DWORD timeGetTime(void);

// shlwapi, shell32
WINSIM_API BOOL PathIsDirectoryW(LPCWSTR path);
WINSIM_API int SHCreateDirectoryExW(HWND window, LPCWSTR path, const SECURITY_ATTRIBUTES* security);

// wtsapi32
WINSIM_API HANDLE WTSOpenServerW(LPWSTR serverName);
WINSIM_API void WTSCloseServer(HANDLE server);
WINSIM_API BOOL WTSQuerySessionInformationW(HANDLE server, DWORD sessionId, WTS_INFO_CLASS infoClass,
                                            LPWSTR* buffer, DWORD* bytesReturned);
WINSIM_API void WTSFreeMemory(PVOID memory);
WINSIM_API BOOL WTSFreeMemoryExW(WTS_TYPE_CLASS typeClass, PVOID memory, ULONG numberOfEntries);
WINSIM_API BOOL WTSEnumerateSessionsW(HANDLE server, DWORD reserved, DWORD version,
                                      PWTS_SESSION_INFOW* sessionInfo, DWORD* count);
WINSIM_API BOOL WTSEnumerateProcessesW(HANDLE server, DWORD reserved, DWORD version,
                                       PWTS_PROCESS_INFOW* processInfo, DWORD* count);
WINSIM_API BOOL WTSEnumerateProcessesExW(HANDLE server, DWORD* level, DWORD sessionId,
                                         LPWSTR* processInfo, DWORD* count);
WINSIM_API BOOL WTSDisconnectSession(HANDLE server, DWORD sessionId, BOOL wait);
WINSIM_API BOOL WTSLogoffSession(HANDLE server, DWORD sessionId, BOOL wait);
WINSIM_API BOOL WTSQueryUserToken(ULONG sessionId, PHANDLE token);

// C runtime of Windows
WINSIM_API __time64_t _time64(__time64_t* timer);
WINSIM_API FILE* _wfsopen(const wchar_t* fileName, const wchar_t* mode, int shareFlag);
WINSIM_API int _fileno(FILE* stream);
WINSIM_API intptr_t _get_osfhandle(int fd);
WINSIM_API int _wcsicmp(const wchar_t* a, const wchar_t* b);
WINSIM_API int _wtoi(const wchar_t* text);
WINSIM_API int sprintf_s(char* buffer, size_t size, const char* format, ...);

}  // extern "C"
