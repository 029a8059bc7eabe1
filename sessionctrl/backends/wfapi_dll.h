// WFAPIDll: the Citrix session API (wfapi.dll), loaded at run time from the Citrix
// installation directory, so that the library has no link-time tie to Citrix.
// Every call into wfapi.dll is made under the loader's lock and traced as
// "+ WFAPIDll::<wrapper>"; a wrapper whose entry is missing returns a neutral value.
#pragma once

#include <platform/win32.h>

namespace sessionctrl {

class WFAPIDll {
public:
    WFAPIDll();
    ~WFAPIDll();
    WFAPIDll(const WFAPIDll&) = delete;
    WFAPIDll& operator=(const WFAPIDll&) = delete;

    // True when the library is loaded on return, whether by this call or before it.
    bool Load();
    void Release();
    // Whether the library is loaded; the handle is read under the lock.
    bool IsLoaded();

    HANDLE IWFOpenServerW(LPWSTR serverName);
    void IWFCloseServer(HANDLE server);
    // The four below always address the current server (a null server handle).
    BOOL IWFQuerySessionInformationW(DWORD sessionId, int infoClass, LPWSTR* buffer,
                                     DWORD* bytesReturned);
    BOOL IWFDisconnectSession(DWORD sessionId, bool wait);
    BOOL IWFLogoffSession(DWORD sessionId, bool wait);
    void IWFFreeMemory(void* memory);
    BOOL IWFEnumerateSessionsW(DWORD reserved, DWORD version, void** sessionInfo, DWORD* count);

private:
    using OpenServerEntry = HANDLE(WINAPI*)(LPWSTR serverName);
    using CloseServerEntry = void(WINAPI*)(HANDLE server);
    using QuerySessionInformationEntry = BOOL(WINAPI*)(HANDLE server, DWORD sessionId,
                                                       int infoClass, LPWSTR* buffer,
                                                       DWORD* bytesReturned);
    using SessionCommandEntry = BOOL(WINAPI*)(HANDLE server, DWORD sessionId, BOOL wait);
    using FreeMemoryEntry = void(WINAPI*)(void* memory);
    using EnumerateSessionsEntry = BOOL(WINAPI*)(HANDLE server, DWORD reserved, DWORD version,
                                                 void** sessionInfo, DWORD* count);

    bool ResolveEntries(HMODULE library);
    void ClearEntries();
    template <class Call>
    auto CallUnderLock(const wchar_t* scopeText, Call call);

    CRITICAL_SECTION lock_;
    HMODULE library_ = nullptr;
    OpenServerEntry openServer_ = nullptr;
    CloseServerEntry closeServer_ = nullptr;
    QuerySessionInformationEntry querySessionInformation_ = nullptr;
    SessionCommandEntry disconnectSession_ = nullptr;
    SessionCommandEntry logoffSession_ = nullptr;
    FreeMemoryEntry freeMemory_ = nullptr;
    EnumerateSessionsEntry enumerateSessions_ = nullptr;
};

}  // namespace sessionctrl
