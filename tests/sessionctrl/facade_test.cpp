// The exported calls: what each forwards, what it traces into "session.log", and the
// calls that go to Windows directly.
#include "environment.h"
#include "rdp_ctrl.h"
#include <test_support/library_fixture.h>

#include <sessionctrl/SessionCtrl.h>

namespace sessionctrl_test {
namespace {

using namespace test_support;

using sessionctrl::SessionCtrl;
using Entries = std::vector<std::string>;

winsim::SessionSpec Session(DWORD id, const std::wstring& station, const std::wstring& user) {
    winsim::SessionSpec session;
    session.id = id;
    session.station = station;
    session.user = user;
    session.domain = L"CORP";
    return session;
}

// Session 1 is the caller's console; 5 a disconnected remote session; 6 has nobody
// logged on; 7 refuses every query.
class FacadeTest : public LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        winsim::SetCurrentSession(1);
        winsim::AddSession(Session(1, L"", L"alice"));
        winsim::SessionSpec remote = Session(5, L"RDP-Tcp#1", L"bob");
        remote.clientAddress = winsim::IPv4(192, 0, 2, 10);
        remote.state = WTSDisconnected;
        winsim::AddSession(remote);
        winsim::AddSession(Session(6, L"RDP-Tcp#2", L""));
        winsim::SessionSpec refusing = Session(7, L"RDP-Tcp#3", L"carol");
        for (int infoClass : {WTSUserName, WTSWinStationName, WTSDomainName, WTSConnectState,
                              WTSClientAddress})
            refusing.failingInfo[infoClass] = ERROR_ACCESS_DENIED;
        winsim::AddSession(refusing);
    }
};

TEST_F(FacadeTest, ForwardingExportsTraceTheirOutcome) {
    std::wstring text = L"previous";
    int state = -1;
    bool isLocal = false;
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions{{70, L"a", 0}, {80, L"b", 0}};
    sessionctrl::UserTokenHolder holder;

    EXPECT_TRUE(SessionCtrl::IsConnected(1));
    EXPECT_FALSE(SessionCtrl::IsConnected(5));
    EXPECT_TRUE(SessionCtrl::GetStatus(5, state));
    EXPECT_FALSE(SessionCtrl::GetStatus(7, state));
    EXPECT_EQ(state, static_cast<int>(WTSDisconnected));
    EXPECT_TRUE(SessionCtrl::SessionLock());
    EXPECT_TRUE(SessionCtrl::Disconnect(5, true));
    EXPECT_TRUE(SessionCtrl::DisconnectForce(5, false));
    EXPECT_TRUE(SessionCtrl::LogoffSession(6, false));
    EXPECT_TRUE(SessionCtrl::GetWinStationName(5, text));
    EXPECT_TRUE(SessionCtrl::GetWinStationName(text));
    EXPECT_EQ(text, L"Console");
    EXPECT_TRUE(SessionCtrl::GetLoggedOnWinDomain(5, text));
    EXPECT_TRUE(SessionCtrl::GetLoggedOnWinDomain(text));
    EXPECT_TRUE(SessionCtrl::GetSessionUserName(5, text));
    // Failures trace the empty text, never what the caller's string still holds.
    EXPECT_FALSE(SessionCtrl::GetWinStationName(7, text));
    EXPECT_FALSE(SessionCtrl::GetLoggedOnWinDomain(7, text));
    EXPECT_EQ(text, L"bob");
    EXPECT_FALSE(SessionCtrl::GetSessionUserName(6, text));
    EXPECT_TRUE(SessionCtrl::GetAllWinStationName(sessions));
    EXPECT_EQ(sessions.size(), 6u);
    EXPECT_TRUE(SessionCtrl::GetUserToken(5, holder));
    EXPECT_FALSE(SessionCtrl::GetUserToken(6, holder));
    EXPECT_TRUE(SessionCtrl::GetClientAddress(5, text, isLocal));
    EXPECT_TRUE(SessionCtrl::GetClientAddress(1, text, isLocal));
    EXPECT_FALSE(SessionCtrl::GetClientAddress(7, text, isLocal));
    EXPECT_TRUE(SessionCtrl::IsLocalSession());
    winsim::SetRemoteSession(true);
    EXPECT_FALSE(SessionCtrl::IsLocalSession());

    EXPECT_EQ(LoggedTexts(),
              (Entries{"Initialize..., RDP", "Session control [Default],", "IsConnected >, true",
                       "IsConnected >, false", "GetStatus >, true", "GetStatus >, false",
                       "SessionLock,", "Disconnect, 5 (0x5)", "DisconnectForce, 5 (0x5)",
                       "LogoffSession, 6 (0x6)", "GetWinStationName2 >, RDP-Tcp#1",
                       "GetWinStationName >, Console", "GetLoggedOnWinDomain >, CORP",
                       "GetLoggedOnWinDomain >, CORP", "GetSessionUserName >, bob",
                       "GetWinStationName2 >, ", "GetLoggedOnWinDomain >, ",
                       "GetSessionUserName >, ", "GetAllWinStationName count >, 6 (0x6)",
                       "GetUserToken >, 5 (0x5)", "GetUserToken >, ",
                       "GetClientAddress >, 192.0.2.10", "GetClientAddress >, local",
                       "GetClientAddress >, ", "IsLocalSession >, local",
                       "IsLocalSession >, remote"}));
}

TEST_F(FacadeTest, ReleaseThenCallInitialisesTheSameBackendWithoutDetecting) {
    SessionCtrl::Release();  // nothing to release yet
    EXPECT_EQ(sessionctrl::CurrentBackend(), nullptr);
    ASSERT_TRUE(SessionCtrl::IsConnected(1));
    sessionctrl::ISessionCtrl* const first = sessionctrl::CurrentBackend();
    // Whatever is installed by now, the backend stays.
    InstallProduct(L"XenApp");
    winsim::AdvanceMs(60 * 1000);
    SessionCtrl::Release();
    EXPECT_FALSE(first->IsInitialized());
    ASSERT_TRUE(SessionCtrl::IsConnected(1));
    EXPECT_EQ(sessionctrl::CurrentBackend(), first);
    EXPECT_EQ(LoggedTexts(), (Entries{"Initialize..., RDP", "Session control [Default],",
                                       "IsConnected >, true", "Session control [Default],",
                                       "IsConnected >, true"}));
}

// A backend that cannot be initialised: every export finds it not ready.
class RefusingBackend : public sessionctrl::RDPCtrl {
public:
    bool Initialize() override { return false; }
    bool IsInitialized() override { return false; }
};

TEST_F(FacadeTest, NotReadyExportsAreFalseAndAskNothingOfWindows) {
    sessionctrl::InstallBackend(new RefusingBackend);
    std::wstring text = L"kept";
    bool isLocal = true;
    int state = 3;
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions;
    sessionctrl::UserTokenHolder holder;
    const unsigned callsBefore = static_cast<unsigned>(winsim::CallLog().size());
    EXPECT_FALSE(SessionCtrl::IsLocalSession());
    EXPECT_FALSE(SessionCtrl::SessionLock());
    EXPECT_FALSE(SessionCtrl::Disconnect(1, false));
    EXPECT_FALSE(SessionCtrl::DisconnectForce(1, false));
    EXPECT_FALSE(SessionCtrl::LogoffSession(1, false));
    EXPECT_FALSE(SessionCtrl::IsConnected(1));
    EXPECT_FALSE(SessionCtrl::GetStatus(1, state));
    EXPECT_FALSE(SessionCtrl::GetLoggedOnWinDomain(1, text));
    EXPECT_FALSE(SessionCtrl::GetLoggedOnWinDomain(text));
    EXPECT_FALSE(SessionCtrl::GetWinStationName(1, text));
    EXPECT_FALSE(SessionCtrl::GetWinStationName(text));
    EXPECT_FALSE(SessionCtrl::GetAllWinStationName(sessions));
    EXPECT_FALSE(SessionCtrl::GetUserToken(1, holder));
    EXPECT_FALSE(SessionCtrl::GetSessionUserName(1, text));
    EXPECT_FALSE(SessionCtrl::GetClientAddress(1, text, isLocal));

    EXPECT_EQ(text, L"kept");
    EXPECT_TRUE(isLocal);
    EXPECT_EQ(state, 3);
    EXPECT_TRUE(sessions.empty());
    EXPECT_EQ(holder.GetToken(), nullptr);
    for (const std::string& call : winsim::CallLog())
        EXPECT_EQ(call.rfind("WTS", 0), std::string::npos) << call;
    EXPECT_TRUE(winsim::Actions().empty());
    EXPECT_GT(winsim::CallLog().size(), callsBefore);  // the traces themselves
    EXPECT_EQ(LoggedTexts(),
              (Entries{"IsLocalSession >, error", "SessionLock,", "Disconnect, 1 (0x1)",
                       "DisconnectForce, 1 (0x1)", "LogoffSession, 1 (0x1)",
                       "GetLoggedOnWinDomain >, error", "GetLoggedOnWinDomain >, error",
                       "GetWinStationName2 >, error", "GetWinStationName >, error",
                       "GetAllWinStationName >, error", "GetUserToken >, error",
                       "GetSessionUserName >, error", "GetClientAddress >, error"}));
}

TEST_F(FacadeTest, DirectCallsNeedNoBackendAndTraceNothing) {
    winsim::AddProcess({100, 1, L"explorer.exe"});
    winsim::AddProcess({200, 5, L"Pcoip_Server_Win32.EXE"});
    EXPECT_EQ(SessionCtrl::GetCurrentSessionID(), 1ul);
    EXPECT_TRUE(SessionCtrl::FindProcess(5, L"pcoip_server_win32.exe"));
    EXPECT_FALSE(SessionCtrl::FindProcess(1, L"pcoip_server_win32.exe"));
    EXPECT_TRUE(SessionCtrl::FindProcess(0, L"PCOIP_SERVER_WIN32.exe"));  // 0: every session
    EXPECT_TRUE(SessionCtrl::FindProcess(0, L"explorer.exe"));
    EXPECT_FALSE(SessionCtrl::FindProcess(0, L"explorer"));
    const unsigned enumerations = winsim::CallCount("WTSEnumerateProcessesExW");
    EXPECT_FALSE(SessionCtrl::FindProcess(0, nullptr));
    EXPECT_EQ(winsim::CallCount("WTSEnumerateProcessesExW"), enumerations);
    winsim::FailCall("WTSEnumerateProcessesExW", ERROR_ACCESS_DENIED);
    winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SessionCtrl::FindProcess(0, L"explorer.exe"));
    EXPECT_EQ(SessionCtrl::GetCurrentSessionID(), 0ul);
    EXPECT_EQ(sessionctrl::CurrentBackend(), nullptr);
    EXPECT_TRUE(LoggedTexts().empty());
}

}  // namespace
}  // namespace sessionctrl_test
