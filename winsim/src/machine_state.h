// The state of the one simulated machine, shared by the files that implement the
// Win32 surface. Everything here is guarded by Lock(); nothing blocks while holding it.
#pragma once

#include <winsim/machine.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace winsim::detail {

// ---- registry ------------------------------------------------------------------
struct RegNode {
    std::map<std::wstring, std::unique_ptr<RegNode>> subkeys;  // by upper-cased name
    std::map<std::wstring, RegValue> values;                    // by upper-cased name
};

// The four hives that own storage; HKEY_CURRENT_USER resolves into Users.
enum class Hive { MachineNative, MachineWow32, Users, ClassesRoot };

struct OpenKey {
    Hive hive = Hive::MachineNative;
    std::vector<std::wstring> path;  // upper-cased components below the hive
};

// ---- kernel objects ------------------------------------------------------------
enum class HandleKind { Token, Process, Thread, File, Server };

struct HandleEntry {
    HandleKind kind = HandleKind::Token;
    std::wstring user;     // Token, Process: whose
    DWORD sessionId = 0;   // Token, Process
    int fd = -1;           // File
    long openId = 0;       // File: its entry in Machine::opens
};

// A byte range locked through one open (LockFileEx).
struct FileLock {
    uint64_t offset = 0;
    uint64_t length = 0;
    bool exclusive = false;
};

// One open of a host file, for the sharing rules and the byte-range locks.
struct FileOpen {
    std::string hostPath;
    bool stream = false;  // a FILE* from _wfsopen
    bool read = false;
    bool write = false;
    DWORD share = 0;
    int fd = -1;
    FILE* file = nullptr;      // stream: what _fileno is asked about
    HANDLE osHandle = nullptr;  // stream: what _get_osfhandle answers
    bool inheritable = false;   // HANDLE_FLAG_INHERIT
    std::vector<FileLock> locks;
};

// ---- modules -------------------------------------------------------------------
struct Module {
    std::wstring windowsPath;  // simulated modules; empty for host objects
    Exports exports;
    void* dlHandle = nullptr;  // host objects loaded by LoadLibrary
    bool isMainProgram = false;
    bool builtin = false;      // kernel32: always loaded, never counted
    bool unloading = false;    // DLL_PROCESS_DETACH / dlclose in progress
    long references = 0;
    long referencesAtReset = 0;
    std::string hostPath;
};

struct UserInfo {
    std::wstring name;
    std::wstring sid;
};

// What InitializeCriticalSection hangs on CRITICAL_SECTION::Impl.
struct SectionImpl {
    std::recursive_mutex mutex;
    DWORD owner = 0;  // simulated thread id; 0 when free (guarded by Lock())
    long recursion = 0;
};

// A buffer of the Terminal Services API: how it must be given back, and its entry count.
struct WtsBlock {
    std::string freedBy;
    ULONG entries = 0;
};

struct Fault {
    DWORD error = 0;
    unsigned nth = 0;
    unsigned seen = 0;
};

struct Machine {
    // process
    DWORD pid = 4711;
    DWORD session = 1;
    std::wstring processUser = L"alice";
    std::wstring processName = L"host.exe";
    bool wow64 = false;
    bool isWow64ProcessExported = true;
    bool remote = false;
    DWORD major = 10, minor = 0;
    WORD servicePackMajor = 0;
    std::wstring systemDirectory = L"C:\\Windows\\system32";
    std::wstring moduleDirectory = L"C:\\Program Files\\Corvane Keywarden\\";

    std::map<std::wstring, UserInfo> users;  // by upper-cased name
    std::map<DWORD, SessionSpec> sessions;
    std::map<DWORD, ProcessSpec> processes;

    // threads: simulated ids, impersonation
    std::map<std::thread::id, DWORD> threadIds;
    DWORD nextThreadId = 5120;
    std::map<std::thread::id, std::wstring> impersonating;  // thread -> user name

    // clock: milliseconds since 1970-01-01 (local = UTC), and timeGetTime's value
    int64_t clockMs = 0;
    DWORD tick = 0;
    std::vector<DWORD> sleeps;

    // registry
    RegNode hives[4];
    std::map<HKEY, OpenKey> keys;
    std::optional<OpenKey> currentUserHive;  // HKEY_CURRENT_USER, once first used

    // objects
    std::map<HANDLE, HandleEntry> handles;
    std::map<long, FileOpen> opens;
    long nextOpenId = 1;
    // Locks taken and not unlocked; a close frees the range for others but, as Windows
    // does that late, still counts them.
    long fileLocks = 0;
    unsigned long inheritableWrites = 0;
    std::map<void*, WtsBlock> wtsBuffers;
    std::set<void*> localBlocks;
    // Sections live across Reset (the library's own are made at load); only those
    // initialised since Reset count as outstanding.
    std::set<SectionImpl*> liveSections;
    std::set<SectionImpl*> sectionsSinceReset;
    // Host modules survive Reset; references count from the value they had then.
    std::map<HMODULE, Module> modules;
    std::string fileRoot;
    std::string canonicalRootOf, canonicalRoot;  // the root as the host resolves it, "/" ended
    uintptr_t nextHandle = 0x1000;

    // records
    std::vector<Action> actions;
    std::vector<Launch> launches;
    std::vector<Wait> waits;
    std::vector<KeyOpen> keyOpens;
    std::vector<LibraryLoad> libraryLoads;
    std::vector<std::string> misuses;
    // Names are the string literals Enter is called with: no copy per call. The log keeps
    // the first kCallLogLimit calls since Reset so a long run cannot grow it without end;
    // the counts go on.
    std::vector<const char*> callLog;
    std::map<std::string, unsigned, std::less<>> callCounts;
    std::map<std::string, Fault, std::less<>> faults;
};

// The machine lock is re-entrant so helpers can call each other freely.
using Guard = std::unique_lock<std::recursive_mutex>;
Guard Lock();
Machine& State();  // caller holds Lock()

// Logs the call, counts it and consults the faults; the error to fail with, if any.
// `function` must be a string literal (the log keeps the pointer). Takes the machine lock.
std::optional<DWORD> Enter(const char* function);

// Helpers for the usual shapes of failure: set the last error and return `result`.
template <class T>
T Fail(DWORD error, T result) {
    ::SetLastError(error);
    return result;
}

void RecordMisuse(const std::string& what);  // caller holds Lock()
// The host folder of the drives ("<root>/C/..."), made on first use.
std::string FileRootLocked();
// The open behind a CreateFileW handle or a stream's handle; null when there is none.
FileOpen* OpenOfLocked(HANDLE file);
void* NewHandleValue();                      // caller holds Lock()
DWORD CurrentThreadIdLocked();               // caller holds Lock()
std::wstring EffectiveUserLocked();          // impersonated or process user
std::wstring SidOfLocked(const std::wstring& user);  // "" when unknown
std::wstring Upper(const std::wstring& text);
std::string Narrow(const std::wstring& text);  // UTF-8
std::wstring Widen(const std::string& text);   // UTF-8

// Resets parts owned by the individual files (called by Reset under the lock).
void ResetClock(Machine& machine);
void ResetModules(Machine& machine);

}  // namespace winsim::detail
