// The interface every session backend implements, and the session-list record.
#pragma once

// Hosts compile this header too, against the Windows SDK alone.
#if defined(_WIN32)
#include <windows.h>
#else
#include <platform/win32.h>
#endif
#include <sessionctrl/IUserTokenHolder.h>

#include <list>
#include <string>

namespace sessionctrl {

class ISessionCtrl {
public:
    struct SESSION_INFO {
        DWORD SessionId;
        std::wstring WinStationName;
        DWORD State;  // numbered as WTS_CONNECTSTATE_CLASS
    };

    virtual ~ISessionCtrl() = default;

    virtual bool Initialize() = 0;
    virtual bool IsInitialized() = 0;
    virtual void Release() = 0;
    virtual bool IsLocalSession() = 0;
    virtual bool SessionLock() = 0;
    virtual bool Disconnect(DWORD sessionId, bool wait) = 0;
    virtual bool DisconnectForce(DWORD sessionId, bool wait) = 0;
    virtual bool LogoffSession(DWORD sessionId, bool wait) = 0;
    virtual bool IsConnected(DWORD sessionId) = 0;
    virtual bool GetStatus(DWORD sessionId, int& state) = 0;
    virtual bool GetLoggedOnWinDomain(DWORD sessionId, std::wstring& domain) = 0;
    virtual bool GetLoggedOnWinDomain(std::wstring& domain) = 0;
    virtual bool GetWinStationName(DWORD sessionId, std::wstring& name) = 0;
    virtual bool GetWinStationName(std::wstring& name) = 0;
    virtual bool GetAllWinStationName(std::list<SESSION_INFO>& sessions) = 0;
    virtual bool GetUserToken(DWORD sessionId, IUserTokenHolder& holder) = 0;
    virtual bool GetSessionUserName(DWORD sessionId, std::wstring& user) = 0;
    virtual bool GetClientAddress(DWORD sessionId, std::wstring& address, bool& isLocal) = 0;
    virtual bool FormatIPv4Address(const unsigned char* bytes, DWORD length,
                                   std::wstring& text) = 0;
    virtual bool FormatIPv6Address(const unsigned char* bytes, DWORD length,
                                   std::wstring& text) = 0;
};

}  // namespace sessionctrl
