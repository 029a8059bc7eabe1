// Scripting and inspection of the simulated Windows machine (Linux builds only).
// Tests and tools describe a machine here; the library sees it through the Win32
// names of win32_api.h. All functions are thread-safe.
#pragma once

#include <winsim/win32_api.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace winsim {

// ---- whole machine -------------------------------------------------------------
// A fresh machine: empty registry, no sessions, no processes besides the current
// one (pid 4711, session 1, user "alice" / S-1-5-21-1000-2000-3000-1001), 64-bit
// Windows 10.0 SP0, not WOW64, IsWow64Process exported, not a remote session,
// clock at 2026-12-04 09:05:03.042 (local = UTC), system directory
// C:\Windows\system32, no faults, all accounting at zero, call log empty.
// The file root is kept.
WINSIM_API void Reset();

// Windows paths "X:\a\b" map to "<root>/X/a/b" on the host. LockFileEx ranges are also
// host locks of the file, so processes sharing a root exclude each other.
WINSIM_API void SetFileRoot(const std::string& hostDirectory);
WINSIM_API std::string HostPath(const std::wstring& windowsPath);
// Host symbolic links are reparse points (GetFileAttributesW reads the link itself),
// host hard links count in NumberOfLinks, and a handle's final path is where the
// host resolves its file ("\\?\UNC\host\..." when that is outside the drives).
// Writes made through a handle that a child started with inheritance would receive: a
// _wfsopen stream without "N", until SetHandleInformation clears HANDLE_FLAG_INHERIT.
WINSIM_API unsigned long InheritableWrites();

// ---- registry -----------------------------------------------------------------------
// HKEY_LOCAL_MACHINE has two views. A WOW64 process opens Wow32 by default and
// Native with KEY_WOW64_64KEY; any other process always sees Native.
// A user's hive is HKEY_USERS\<SID of the user>. The predefined HKEY_CURRENT_USER of the
// library's calls is bound, at its first use in the process, to the hive of the thread's
// user of that moment (the impersonated user while the thread impersonates, else the
// process's user) and stays so until Reset, as Windows caches it per process;
// RegOpenCurrentUser opens the thread's user's hive at each call, as a key to close.
// HKEY_CURRENT_USER given to the functions here means the calling thread's user.
enum class RegView { Native, Wow32 };

struct RegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

WINSIM_API void SetValue(HKEY root, const std::wstring& key, const std::wstring& name,
                         const RegValue& value, RegView view = RegView::Native);
// Stored as REG_SZ (or the given type) with its terminating NUL.
WINSIM_API void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
                          const std::wstring& text, DWORD type = REG_SZ,
                          RegView view = RegView::Native);
WINSIM_API void SetDword(HKEY root, const std::wstring& key, const std::wstring& name,
                         DWORD value, RegView view = RegView::Native);
WINSIM_API void CreateKey(HKEY root, const std::wstring& key, RegView view = RegView::Native);
// Removes the key with its subkeys and values; a missing key is no error.
WINSIM_API void DeleteKey(HKEY root, const std::wstring& key, RegView view = RegView::Native);
WINSIM_API void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name,
                            RegView view = RegView::Native);
WINSIM_API std::optional<RegValue> GetValue(HKEY root, const std::wstring& key,
                                            const std::wstring& name,
                                            RegView view = RegView::Native);
// Registry keys compare without regard to letter case, as on Windows.

// ---- users, processes, sessions ----------------------------------------------------
WINSIM_API void AddUser(const std::wstring& name, const std::wstring& sid);
WINSIM_API void SetProcessUser(const std::wstring& name);

struct ClientAddress {
    DWORD family = AF_INET;
    std::array<BYTE, 20> bytes{};
};
WINSIM_API ClientAddress IPv4(BYTE a, BYTE b, BYTE c, BYTE d);
WINSIM_API ClientAddress IPv6(const std::array<uint16_t, 8>& groups);

struct SessionSpec {
    DWORD id = 0;
    std::wstring station;
    std::wstring user;    // empty: nobody logged on (WTSQueryUserToken fails)
    std::wstring domain;
    WTS_CONNECTSTATE_CLASS state = WTSActive;
    // nullopt: the WTSClientAddress query succeeds and returns no buffer.
    std::optional<ClientAddress> clientAddress;
    bool nullStationInList = false;  // WTSEnumerateSessionsW gives a null pStationName
    // Answers that override the rendering above: the query returns these bytes.
    std::map<int, std::vector<BYTE>> rawInfo;
    // Queries of these classes fail with the given error.
    std::map<int, DWORD> failingInfo;
    // Queries of these classes report this byte count, whatever they hand out (a count
    // that stops short of the NUL, or inside a character).
    std::map<int, DWORD> reportedBytes;
};
// WTSDisconnectSession / WTSLogoffSession of a session not added here fail with
// ERROR_CTX_WINSTATION_NOT_FOUND; WTSQueryUserToken of one fails with ERROR_FILE_NOT_FOUND.
WINSIM_API void AddSession(const SessionSpec& session);  // replaces a session of the same id
WINSIM_API void RemoveSession(DWORD id);
WINSIM_API std::vector<SessionSpec> Sessions();

struct ProcessSpec {
    DWORD pid = 0;
    DWORD sessionId = 0;
    std::wstring name;  // image name as the enumeration reports it
};
WINSIM_API void AddProcess(const ProcessSpec& process);
WINSIM_API void RemoveProcess(DWORD pid);

// The process that runs the library.
WINSIM_API void SetCurrentProcessId(DWORD pid);
// Its image name in the process enumerations ("host.exe" after Reset).
WINSIM_API void SetCurrentProcessName(const std::wstring& imageName);
WINSIM_API void SetCurrentSession(DWORD sessionId);  // ProcessIdToSessionId(own pid)
WINSIM_API void SetWow64(bool wow64);
WINSIM_API void SetIsWow64ProcessExported(bool exported);
WINSIM_API void SetRemoteSession(bool remote);  // GetSystemMetrics(SM_REMOTESESSION)
WINSIM_API void SetWindowsVersion(DWORD major, DWORD minor, WORD servicePackMajor);
WINSIM_API void SetSystemDirectory(const std::wstring& directory);
// Thread ids are small numbers (5120, 5124, ...) given in order of first use;
// a thread may pin its own.
WINSIM_API void SetCurrentThreadId(DWORD tid);

// ---- clock ---------------------------------------------------------------------------
// One simulated clock drives _time64, GetLocalTime and timeGetTime; Sleep advances it
// and never blocks; SwitchToThread takes no time (no other thread is ever ready).
WINSIM_API void SetLocalTime(WORD year, WORD month, WORD day, WORD hour, WORD minute,
                             WORD second, WORD milliseconds);
WINSIM_API void SetTime64(__time64_t seconds);  // also moves local time; may go back
WINSIM_API void AdvanceMs(uint64_t milliseconds);
WINSIM_API void SetTickCount(DWORD milliseconds);  // timeGetTime's value now
WINSIM_API std::vector<DWORD> Sleeps();           // every Sleep since Reset, in order

// ---- modules ------------------------------------------------------------------------
// A simulated module: LoadLibraryExW / GetModuleHandleW find it by its full path or
// file name (case-insensitive), GetProcAddress by export name.
using Exports = std::map<std::string, void*>;
// GetModuleHandleW finds it only while loaded (a reference is held).
WINSIM_API HMODULE RegisterModule(const std::wstring& windowsPath, const Exports& exports);
WINSIM_API void UnregisterModule(const std::wstring& windowsPath);
// A path that names no simulated module is taken as a host shared object: it is
// dlopen'ed and its DllMain (if exported) gets DLL_PROCESS_ATTACH; the last
// FreeLibrary sends DLL_PROCESS_DETACH and dlclose's it. Its Windows file name is
// <module directory><file name with .dll>.
WINSIM_API void SetModuleDirectory(const std::wstring& directoryWithBackslash);
WINSIM_API long ModuleReferences(HMODULE module);

// ---- what the library did ----------------------------------------------------------
struct Action {
    std::string function;  // "LockWorkStation", "WTSDisconnectSession", "WTSLogoffSession"
    DWORD sessionId = 0;
    BOOL wait = FALSE;
};
WINSIM_API std::vector<Action> Actions();

struct Launch {
    std::wstring applicationName;
    std::wstring commandLine;
    std::wstring user;          // the token's user
    DWORD sessionId = 0;        // the token's session
    DWORD creationFlags = 0;
    bool callerImpersonating = false;
    std::wstring desktop;       // STARTUPINFOW.lpDesktop, empty when null
};
WINSIM_API std::vector<Launch> Launches();

// Every RegOpenKeyExW and LoadLibraryExW since Reset, with the arguments the library
// chooses: the access it asks for a key, the search flags of a load.
struct KeyOpen {
    std::wstring subKey;
    REGSAM access = 0;
};
WINSIM_API std::vector<KeyOpen> KeyOpens();

struct LibraryLoad {
    std::wstring fileName;
    DWORD flags = 0;
};
WINSIM_API std::vector<LibraryLoad> LibraryLoads();

struct Wait {
    HANDLE handle = nullptr;
    DWORD milliseconds = 0;
};
WINSIM_API std::vector<Wait> Waits();

// ---- fault injection and call log -----------------------------------------------------
// The named Win32 function fails with `error` (its documented failure result, last
// error set): on every call when nth is 0, else only on the nth call from now (1-based).
// Functions that cannot fail on Windows (GetLocalTime, timeGetTime, Sleep, SwitchToThread,
// the critical section calls, WTSFreeMemory, WTSCloseServer, GetCurrentProcessId/ThreadId,
// _wcsicmp, _wtoi, UnlockFileEx) are logged but ignore faults; GetLastError, SetLastError and
// _fileno are not logged. A stream's writes are logged (and fail) as "WriteFile".
WINSIM_API void FailCall(const std::string& function, DWORD error, unsigned nth = 0);
WINSIM_API void ClearFaults();
WINSIM_API unsigned CallCount(const std::string& function);
// Names of simulated calls since Reset, the first kCallLogLimit of them (CallCount goes on).
inline constexpr std::size_t kCallLogLimit = std::size_t{1} << 20;
WINSIM_API std::vector<std::string> CallLog();

// ---- accounting -----------------------------------------------------------------------
struct WINSIM_API Outstanding {
    long buffers = 0;           // WTS buffers not yet freed
    long handles = 0;           // tokens, processes, threads, files, servers
    long keys = 0;              // open registry keys
    long moduleReferences = 0;  // references taken and not given back
    long criticalSections = 0;  // initialised and not deleted
    long localAllocations = 0;  // LocalFree'able blocks (string SIDs)
    long impersonations = 0;    // threads still impersonating
    long lockedSections = 0;    // critical sections entered and not left
    long openFiles = 0;         // FILE* from _wfsopen not closed
    long fileLocks = 0;         // LockFileEx ranges not unlocked (a close frees them late)
    bool operator==(const Outstanding& other) const;
    bool operator!=(const Outstanding& other) const { return !(*this == other); }
    std::string Describe() const;
};
WINSIM_API Outstanding CountOutstanding();
// Misuse seen by the machine: a buffer freed twice or never handed out (or freed the
// wrong way: the WTSEnumerateProcessesExW list needs WTSFreeMemoryExW with its count),
// an unknown handle or key closed, a LocalFree twice, a FreeLibrary without a reference,
// a lock left by a thread that does not own it, sprintf_s output that does not fit.
WINSIM_API std::vector<std::string> Misuses();

}  // namespace winsim
