// The process running the library: last error, ids, users, WOW64, version, metrics.
#include "machine_state.h"

namespace {
// Per thread, as on Windows; not part of the machine, so Reset leaves it alone.
thread_local DWORD lastError = 0;
}  // namespace

using namespace winsim;
using namespace winsim::detail;

namespace winsim {

void AddUser(const std::wstring& name, const std::wstring& sid) {
    Guard guard = Lock();
    State().users[Upper(name)] = {name, sid};
}

void SetProcessUser(const std::wstring& name) {
    Guard guard = Lock();
    State().processUser = name;
}

void SetCurrentProcessId(DWORD pid) {
    Guard guard = Lock();
    State().pid = pid;
}

void SetCurrentSession(DWORD sessionId) {
    Guard guard = Lock();
    State().session = sessionId;
}

void SetCurrentProcessName(const std::wstring& imageName) {
    Guard guard = Lock();
    State().processName = imageName;
}

void SetWow64(bool wow64) {
    Guard guard = Lock();
    State().wow64 = wow64;
}

void SetIsWow64ProcessExported(bool exported) {
    Guard guard = Lock();
    State().isWow64ProcessExported = exported;
}

void SetRemoteSession(bool remote) {
    Guard guard = Lock();
    State().remote = remote;
}

void SetWindowsVersion(DWORD major, DWORD minor, WORD servicePackMajor) {
    Guard guard = Lock();
    State().major = major;
    State().minor = minor;
    State().servicePackMajor = servicePackMajor;
}

void SetSystemDirectory(const std::wstring& directory) {
    Guard guard = Lock();
    State().systemDirectory = directory;
}

void SetCurrentThreadId(DWORD tid) {
    Guard guard = Lock();
    State().threadIds[std::this_thread::get_id()] = tid;
}

void AddProcess(const ProcessSpec& process) {
    Guard guard = Lock();
    State().processes[process.pid] = process;
}

void RemoveProcess(DWORD pid) {
    Guard guard = Lock();
    State().processes.erase(pid);
}

}  // namespace winsim

// GetLastError and SetLastError are neither logged nor faultable: the machine itself
// sets the last error on every failure.
extern "C" DWORD GetLastError(void) { return lastError; }
extern "C" void SetLastError(DWORD error) { lastError = error; }

extern "C" DWORD GetCurrentProcessId(void) {
    Enter("GetCurrentProcessId");
    Guard guard = Lock();
    return State().pid;
}

extern "C" DWORD GetCurrentThreadId(void) {
    Enter("GetCurrentThreadId");
    Guard guard = Lock();
    return CurrentThreadIdLocked();
}

extern "C" HANDLE GetCurrentProcess(void) {
    Enter("GetCurrentProcess");
    return INVALID_HANDLE_VALUE;  // the pseudo handle (-1)
}

extern "C" BOOL ProcessIdToSessionId(DWORD processId, DWORD* sessionId) {
    if (auto fault = Enter("ProcessIdToSessionId")) return Fail(*fault, FALSE);
    if (sessionId == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    Guard guard = Lock();
    Machine& m = State();
    if (processId == m.pid) {
        *sessionId = m.session;
        return TRUE;
    }
    auto it = m.processes.find(processId);
    if (it == m.processes.end()) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *sessionId = it->second.sessionId;
    return TRUE;
}

extern "C" BOOL IsWow64Process(HANDLE process, PBOOL wow64) {
    if (auto fault = Enter("IsWow64Process")) return Fail(*fault, FALSE);
    if (wow64 == nullptr || process != INVALID_HANDLE_VALUE) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    Guard guard = Lock();
    *wow64 = State().wow64 ? TRUE : FALSE;
    return TRUE;
}

extern "C" int GetSystemMetrics(int index) {
    if (auto fault = Enter("GetSystemMetrics")) return Fail(*fault, 0);
    Guard guard = Lock();
    return index == SM_REMOTESESSION && State().remote ? 1 : 0;
}

extern "C" UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) {
    if (auto fault = Enter("GetSystemDirectoryW")) return Fail(*fault, 0u);
    Guard guard = Lock();
    const std::wstring& directory = State().systemDirectory;
    auto length = static_cast<UINT>(directory.size());
    if (buffer == nullptr || size < length + 1) return length + 1;
    directory.copy(buffer, length);
    buffer[length] = L'\0';
    return length;
}

extern "C" ULONGLONG VerSetConditionMask(ULONGLONG conditionMask, DWORD typeMask, BYTE condition) {
    // Three bits per field, in the order of the VER_* bits: minor at bit 0, major at 3, ...
    // Like Windows, only the most significant field named in typeMask is set.
    condition &= 0x07;
    if (typeMask == 0 || condition == 0) return conditionMask;
    for (int field = 7; field >= 0; --field) {
        if (typeMask & (1u << field)) {
            return conditionMask | (static_cast<ULONGLONG>(condition) << (field * 3));
        }
    }
    return conditionMask;
}

namespace {

bool Compare(ULONGLONG actual, ULONGLONG wanted, BYTE condition) {
    switch (condition) {
        case VER_EQUAL: return actual == wanted;
        case VER_GREATER: return actual > wanted;
        case VER_GREATER_EQUAL: return actual >= wanted;
        case VER_LESS: return actual < wanted;
        case VER_LESS_EQUAL: return actual <= wanted;
        default: return false;
    }
}

BYTE ConditionOf(DWORDLONG mask, DWORD typeBit) {
    unsigned field = 0;
    while ((1u << field) != typeBit) ++field;
    return static_cast<BYTE>((mask >> (field * 3)) & 0x07);
}

}  // namespace

extern "C" BOOL VerifyVersionInfoW(LPOSVERSIONINFOEXW info, DWORD typeMask, DWORDLONG conditionMask) {
    if (auto fault = Enter("VerifyVersionInfoW")) return Fail(*fault, FALSE);
    if (info == nullptr || typeMask == 0 || conditionMask == 0) {
        return Fail(ERROR_BAD_ARGUMENTS, FALSE);
    }
    Guard guard = Lock();
    const Machine& m = State();
    const DWORD versionBits = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR;
    bool ok = true;
    if (typeMask & versionBits) {
        // Major, minor and service pack compare as one number, most significant first,
        // under the condition of the most significant field asked for.
        ULONGLONG actual = 0, wanted = 0;
        DWORD leading = 0;
        const std::pair<DWORD, std::pair<ULONGLONG, ULONGLONG>> fields[] = {
            {VER_MAJORVERSION, {m.major, info->dwMajorVersion}},
            {VER_MINORVERSION, {m.minor, info->dwMinorVersion}},
            {VER_SERVICEPACKMAJOR, {m.servicePackMajor, info->wServicePackMajor}},
        };
        for (auto& [bit, values] : fields) {
            actual <<= 16;
            wanted <<= 16;
            if (typeMask & bit) {
                actual |= values.first;
                wanted |= values.second;
                if (leading == 0) leading = bit;
            }
        }
        ok = Compare(actual, wanted, ConditionOf(conditionMask, leading));
    }
    if (typeMask & ~versionBits) ok = false;  // other fields are not simulated
    return ok ? TRUE : Fail(ERROR_OLD_WIN_VERSION, FALSE);
}
