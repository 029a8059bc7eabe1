// The exported face of HalcyonSessionCtrl: static questions and actions on Windows
// logon sessions, answered by the backend of the installed virtual-desktop product.
#pragma once

#include <sessionctrl/ISessionCtrl.h>
#include <sessionctrl/IUserTokenHolder.h>
#include <sessionctrl/export.h>

#include <list>
#include <string>

namespace sessionctrl {

class SESSIONCTRL_API SessionCtrl {
public:
    static void Release();
    static bool IsLocalSession();
    static bool SessionLock();
    static bool Disconnect(unsigned long sessionId, bool wait);
    static bool DisconnectForce(unsigned long sessionId, bool wait);
    static bool LogoffSession(unsigned long sessionId, bool wait);
    static bool IsConnected(unsigned long sessionId);
    static bool GetStatus(unsigned long sessionId, int& state);
    static bool GetLoggedOnWinDomain(unsigned long sessionId, std::wstring& domain);
    static bool GetLoggedOnWinDomain(std::wstring& domain);
    static bool GetWinStationName(unsigned long sessionId, std::wstring& name);
    static bool GetWinStationName(std::wstring& name);
    static bool GetAllWinStationName(std::list<ISessionCtrl::SESSION_INFO>& sessions);
    static bool GetUserToken(unsigned long sessionId, IUserTokenHolder& holder);
    static bool GetSessionUserName(unsigned long sessionId, std::wstring& user);
    static bool GetClientAddress(unsigned long sessionId, std::wstring& address, bool& isLocal);
    static bool IsPCoIPConnect();
    static unsigned long GetCurrentSessionID();
    static bool FindProcess(unsigned long sessionId, const wchar_t* processName);

    SessionCtrl& operator=(const SessionCtrl& other);
    SessionCtrl& operator=(SessionCtrl&& other);
};

}  // namespace sessionctrl
