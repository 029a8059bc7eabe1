#include "wfapi_dll.h"

#include "wfapi_location.h"

#include <platform/win32_raii.h>
#include <ssolog/trace.h>

#include <cstring>
#include <string>

namespace sessionctrl {
namespace {

// wfapi.dll's own name for the server the caller runs on.
const HANDLE kCurrentServer = nullptr;

// GetProcAddress hands out an untyped FARPROC; the bits are the entry's address.
template <class Entry>
Entry EntryFrom(FARPROC address) {
    static_assert(sizeof(Entry) == sizeof(FARPROC), "entries are plain code addresses");
    Entry entry;
    std::memcpy(&entry, &address, sizeof(entry));
    return entry;
}

// Looks `name` up and stores the result in `entry` at once; traces `missingText`
// when the export is not there.
template <class Entry>
bool Resolve(HMODULE library, const char* name, const wchar_t* missingText, Entry& entry) {
    const FARPROC address = GetProcAddress(library, name);
    entry = EntryFrom<Entry>(address);
    if (address == nullptr) {
        ssolog::TraceMessage(missingText);
        return false;
    }
    return true;
}

}  // namespace

WFAPIDll::WFAPIDll() { InitializeCriticalSection(&lock_); }

WFAPIDll::~WFAPIDll() {
    Release();
    DeleteCriticalSection(&lock_);
}

bool WFAPIDll::Load() {
    platform::CriticalSectionGuard guard(lock_);
    if (library_ != nullptr) return true;

    std::wstring path;
    if (!LocateWfapi(path)) return false;
    ssolog::TraceMessage(path.c_str());

    platform::ModuleReference library(
        LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (library.Get() == nullptr) {
        ssolog::TraceNumber(L"LoadLibrary error.", static_cast<int>(GetLastError()));
        return false;
    }
    if (!ResolveEntries(library.Get())) {
        library.Reset();
        ClearEntries();
        return false;
    }
    library_ = library.Release();
    ssolog::TraceMessage(L"success.");
    return true;
}

// In field order; the first missing export ends the look-up.
bool WFAPIDll::ResolveEntries(HMODULE library) {
    return Resolve(library, "WFOpenServerW", L"WFOpenServerW not found.", openServer_) &&
           Resolve(library, "WFCloseServer", L"WFCloseServer not found.", closeServer_) &&
           Resolve(library, "WFQuerySessionInformationW",
                   L"WFQuerySessionInformationW not found.", querySessionInformation_) &&
           Resolve(library, "WFDisconnectSession", L"WFDisconnectSession not found.",
                   disconnectSession_) &&
           Resolve(library, "WFLogoffSession", L"WFLogoffSession not found.", logoffSession_) &&
           Resolve(library, "WFFreeMemory", L"WFFreeMemory not found.", freeMemory_) &&
           Resolve(library, "WFEnumerateSessionsW", L"WFEnumerateSessionsW not found.",
                   enumerateSessions_);
}

void WFAPIDll::ClearEntries() {
    openServer_ = nullptr;
    closeServer_ = nullptr;
    querySessionInformation_ = nullptr;
    disconnectSession_ = nullptr;
    logoffSession_ = nullptr;
    freeMemory_ = nullptr;
    enumerateSessions_ = nullptr;
}

void WFAPIDll::Release() {
    platform::CriticalSectionGuard guard(lock_);
    if (library_ == nullptr) return;
    // Declared after the guard: its exit line is written while the lock is still held.
    ssolog::TraceScope scope(L"+ WFAPIDll::Release");
    if (!FreeLibrary(library_)) ssolog::TraceMessage(L"FreeLibrary error.");
    library_ = nullptr;
    ClearEntries();
}

bool WFAPIDll::IsLoaded() {
    platform::CriticalSectionGuard guard(lock_);
    return library_ != nullptr;
}

// The scope is opened before the lock is taken, so its time includes the wait for it;
// the lock is left before the scope's exit line is written.
template <class Call>
auto WFAPIDll::CallUnderLock(const wchar_t* scopeText, Call call) {
    ssolog::TraceScope scope(scopeText);
    platform::CriticalSectionGuard guard(lock_);
    return call();
}

HANDLE WFAPIDll::IWFOpenServerW(LPWSTR serverName) {
    return CallUnderLock(L"+ WFAPIDll::IWFOpenServerW", [&]() -> HANDLE {
        return openServer_ != nullptr ? openServer_(serverName) : nullptr;
    });
}

void WFAPIDll::IWFCloseServer(HANDLE server) {
    CallUnderLock(L"+ WFAPIDll::IWFCloseServer", [&] {
        if (closeServer_ != nullptr) closeServer_(server);
    });
}

BOOL WFAPIDll::IWFQuerySessionInformationW(DWORD sessionId, int infoClass, LPWSTR* buffer,
                                           DWORD* bytesReturned) {
    return CallUnderLock(L"+ WFAPIDll::IWFQuerySessionInformationW", [&]() -> BOOL {
        if (querySessionInformation_ == nullptr) return FALSE;
        return querySessionInformation_(kCurrentServer, sessionId, infoClass, buffer,
                                        bytesReturned);
    });
}

BOOL WFAPIDll::IWFDisconnectSession(DWORD sessionId, bool wait) {
    return CallUnderLock(L"+ WFAPIDll::IWFDisconnectSession", [&]() -> BOOL {
        if (disconnectSession_ == nullptr) return FALSE;
        return disconnectSession_(kCurrentServer, sessionId, wait ? TRUE : FALSE);
    });
}

BOOL WFAPIDll::IWFLogoffSession(DWORD sessionId, bool wait) {
    return CallUnderLock(L"+ WFAPIDll::IWFLogoffSession", [&]() -> BOOL {
        if (logoffSession_ == nullptr) return FALSE;
        return logoffSession_(kCurrentServer, sessionId, wait ? TRUE : FALSE);
    });
}

void WFAPIDll::IWFFreeMemory(void* memory) {
    CallUnderLock(L"+ WFAPIDll::IWFFreeMemory", [&] {
        if (freeMemory_ != nullptr) freeMemory_(memory);
    });
}

BOOL WFAPIDll::IWFEnumerateSessionsW(DWORD reserved, DWORD version, void** sessionInfo,
                                     DWORD* count) {
    return CallUnderLock(L"+ WFAPIDll::IWFEnumerateSessionsW", [&]() -> BOOL {
        if (enumerateSessions_ == nullptr) return FALSE;
        return enumerateSessions_(kCurrentServer, reserved, version, sessionInfo, count);
    });
}

}  // namespace sessionctrl
