// User tokens, SIDs, impersonation, process creation and the generic handle calls.
#include "machine_state.h"

#include <unistd.h>

using namespace winsim;
using namespace winsim::detail;

namespace {

const HandleEntry* FindHandle(HANDLE handle, HandleKind kind) {
    auto it = State().handles.find(handle);
    return it != State().handles.end() && it->second.kind == kind ? &it->second : nullptr;
}

HANDLE NewHandle(HandleKind kind, const std::wstring& user, DWORD sessionId) {
    HANDLE handle = NewHandleValue();
    HandleEntry entry;
    entry.kind = kind;
    entry.user = user;
    entry.sessionId = sessionId;
    State().handles[handle] = entry;
    return handle;
}

// "S-1-5-21-1000-2000-3000-1001" -> the binary SID; empty when the text is no SID.
std::vector<BYTE> BinarySid(const std::wstring& text) {
    std::vector<unsigned long long> numbers;
    if (text.rfind(L"S-", 0) != 0) return {};
    size_t pos = 2;
    while (pos <= text.size()) {
        const size_t end = std::min(text.find(L'-', pos), text.size());
        if (end == pos) return {};
        unsigned long long number = 0;
        for (size_t i = pos; i < end; ++i) {
            if (text[i] < L'0' || text[i] > L'9') return {};
            number = number * 10 + static_cast<unsigned>(text[i] - L'0');
        }
        numbers.push_back(number);
        pos = end + 1;
    }
    if (numbers.size() < 2 || numbers.size() > 17 || numbers[0] != 1) return {};
    std::vector<BYTE> sid{1, static_cast<BYTE>(numbers.size() - 2)};
    for (int shift = 40; shift >= 0; shift -= 8) sid.push_back(static_cast<BYTE>(numbers[1] >> shift));
    for (size_t i = 2; i < numbers.size(); ++i) {
        const auto sub = static_cast<DWORD>(numbers[i]);
        for (int shift = 0; shift < 32; shift += 8) sid.push_back(static_cast<BYTE>(sub >> shift));
    }
    return sid;
}

}  // namespace

namespace winsim {

std::vector<Launch> Launches() {
    Guard guard = Lock();
    return State().launches;
}

std::vector<Wait> Waits() {
    Guard guard = Lock();
    return State().waits;
}

std::vector<KeyOpen> KeyOpens() {
    Guard guard = Lock();
    return State().keyOpens;
}

std::vector<LibraryLoad> LibraryLoads() {
    Guard guard = Lock();
    return State().libraryLoads;
}

}  // namespace winsim

extern "C" BOOL WTSQueryUserToken(ULONG sessionId, PHANDLE token) {
    if (auto fault = Enter("WTSQueryUserToken")) return Fail(*fault, FALSE);
    if (token == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    Guard guard = Lock();
    auto it = State().sessions.find(sessionId);
    if (it == State().sessions.end()) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (it->second.user.empty()) return Fail(ERROR_NO_TOKEN, FALSE);
    *token = NewHandle(HandleKind::Token, it->second.user, sessionId);
    return TRUE;
}

extern "C" BOOL CloseHandle(HANDLE handle) {
    if (auto fault = Enter("CloseHandle")) return Fail(*fault, FALSE);
    if (handle == INVALID_HANDLE_VALUE) return TRUE;  // the current-process pseudo handle
    Guard guard = Lock();
    auto it = State().handles.find(handle);
    if (it == State().handles.end()) {
        RecordMisuse("CloseHandle of a handle that is not open");
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    if (it->second.kind == HandleKind::Server) {
        RecordMisuse("CloseHandle of a server handle (WTSCloseServer closes those)");
    }
    if (it->second.kind == HandleKind::File) {
        ::close(it->second.fd);
        State().opens.erase(it->second.openId);
    }
    State().handles.erase(it);
    return TRUE;
}

extern "C" DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (auto fault = Enter("WaitForSingleObject")) return Fail(*fault, static_cast<DWORD>(WAIT_FAILED));
    Guard guard = Lock();
    if (State().handles.count(handle) == 0) return Fail(ERROR_INVALID_HANDLE, static_cast<DWORD>(WAIT_FAILED));
    State().waits.push_back(winsim::Wait{handle, milliseconds});
    return WAIT_OBJECT_0;  // simulated processes end at once
}

extern "C" HLOCAL LocalFree(HLOCAL memory) {
    if (auto fault = Enter("LocalFree")) return Fail(*fault, memory);
    if (memory == nullptr) return nullptr;
    Guard guard = Lock();
    if (State().localBlocks.erase(memory) == 0) {
        RecordMisuse("LocalFree of a block not allocated or already freed");
        return Fail(ERROR_INVALID_HANDLE, memory);
    }
    std::free(memory);
    return nullptr;
}

extern "C" BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, LPVOID info,
                                    DWORD infoLength, PDWORD returnLength) {
    if (auto fault = Enter("GetTokenInformation")) return Fail(*fault, FALSE);
    if (returnLength == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    Guard guard = Lock();
    const HandleEntry* entry = FindHandle(token, HandleKind::Token);
    if (entry == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (infoClass == TokenSessionId) {
        *returnLength = sizeof(DWORD);
        if (info == nullptr || infoLength < sizeof(DWORD)) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
        std::memcpy(info, &entry->sessionId, sizeof(DWORD));
        return TRUE;
    }
    if (infoClass != TokenUser) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const std::vector<BYTE> sid = BinarySid(SidOfLocked(entry->user));
    if (sid.empty()) return Fail(ERROR_INVALID_SID, FALSE);  // a user the machine does not know
    const auto needed = static_cast<DWORD>(sizeof(TOKEN_USER) + sid.size());
    *returnLength = needed;
    if (info == nullptr || infoLength < needed) return Fail(ERROR_INSUFFICIENT_BUFFER, FALSE);
    auto* user = static_cast<TOKEN_USER*>(info);
    BYTE* sidPlace = static_cast<BYTE*>(info) + sizeof(TOKEN_USER);
    std::memcpy(sidPlace, sid.data(), sid.size());
    user->User.Sid = sidPlace;
    user->User.Attributes = 0;
    return TRUE;
}

extern "C" BOOL ConvertSidToStringSidW(PSID sid, LPWSTR* stringSid) {
    if (auto fault = Enter("ConvertSidToStringSidW")) return Fail(*fault, FALSE);
    if (sid == nullptr || stringSid == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const auto* bytes = static_cast<const BYTE*>(sid);
    if (bytes[0] != 1 || bytes[1] > 15) return Fail(ERROR_INVALID_SID, FALSE);
    unsigned long long authority = 0;
    for (int i = 2; i < 8; ++i) authority = (authority << 8) | bytes[i];
    std::wstring text = L"S-1-";
    if (authority >> 32) {
        wchar_t hex[20];
        std::swprintf(hex, 20, L"0x%012llX", authority);
        text += hex;
    } else {
        text += std::to_wstring(authority);
    }
    for (int i = 0; i < bytes[1]; ++i) {
        DWORD sub = 0;
        std::memcpy(&sub, bytes + 8 + 4 * i, sizeof sub);
        text += L"-" + std::to_wstring(sub);
    }
    auto* copy = static_cast<LPWSTR>(std::malloc((text.size() + 1) * sizeof(WCHAR)));
    text.copy(copy, text.size());
    copy[text.size()] = L'\0';
    Guard guard = Lock();
    State().localBlocks.insert(copy);
    *stringSid = copy;
    return TRUE;
}

extern "C" BOOL ImpersonateLoggedOnUser(HANDLE token) {
    if (auto fault = Enter("ImpersonateLoggedOnUser")) return Fail(*fault, FALSE);
    Guard guard = Lock();
    const HandleEntry* entry = FindHandle(token, HandleKind::Token);
    if (entry == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    State().impersonating[std::this_thread::get_id()] = entry->user;
    return TRUE;
}

extern "C" BOOL RevertToSelf(void) {
    if (auto fault = Enter("RevertToSelf")) return Fail(*fault, FALSE);
    Guard guard = Lock();
    State().impersonating.erase(std::this_thread::get_id());
    return TRUE;
}

extern "C" BOOL CreateProcessAsUserW(HANDLE token, LPCWSTR applicationName, LPWSTR commandLine,
                                     LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                                     DWORD creationFlags, LPVOID, LPCWSTR,
                                     LPSTARTUPINFOW startupInfo,
                                     LPPROCESS_INFORMATION processInformation) {
    if (auto fault = Enter("CreateProcessAsUserW")) return Fail(*fault, FALSE);
    if (startupInfo == nullptr || processInformation == nullptr ||
        (applicationName == nullptr && commandLine == nullptr)) {
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    }
    Guard guard = Lock();
    const HandleEntry* entry = FindHandle(token, HandleKind::Token);
    if (entry == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    winsim::Launch launch;
    launch.applicationName = applicationName != nullptr ? applicationName : L"";
    launch.commandLine = commandLine != nullptr ? commandLine : L"";
    launch.user = entry->user;
    launch.sessionId = entry->sessionId;
    launch.creationFlags = creationFlags;
    launch.callerImpersonating = State().impersonating.count(std::this_thread::get_id()) != 0;
    launch.desktop = startupInfo->lpDesktop != nullptr ? startupInfo->lpDesktop : L"";
    const std::wstring user = entry->user;
    const DWORD sessionId = entry->sessionId;
    State().launches.push_back(launch);
    static DWORD nextPid = 9000;
    processInformation->hProcess = NewHandle(HandleKind::Process, user, sessionId);
    processInformation->hThread = NewHandle(HandleKind::Thread, user, sessionId);
    processInformation->dwProcessId = nextPid += 4;
    processInformation->dwThreadId = nextPid + 1;
    return TRUE;
}
