// The exported calls: what each forwards, what it traces into "session.log", and the
// calls that go to Windows directly.
#include "rdp_ctrl.h"
#include "session_fixture.h"

#include <sessionctrl/SessionCtrl.h>

namespace sessionctrl_test {
namespace {

using sessionctrl::SessionCtrl;

winsim::SessionSpec Session(DWORD id, const std::wstring& station, const std::wstring& user) {
    winsim::SessionSpec session;
    session.id = id;
    session.station = station;
    session.user = user;
    session.domain = L"CORP";
    return session;
}

class FacadeTraceTest : public SessionFixture {
protected:
    void SetUp() override {
        SessionFixture::SetUp();
        winsim::SetCurrentSession(1);
        winsim::AddSession(Session(1, L"", L"alice"));
        winsim::SessionSpec remote = Session(5, L"RDP-Tcp#1", L"bob");
        remote.clientAddress = winsim::IPv4(192, 0, 2, 10);
        remote.state = WTSDisconnected;
        winsim::AddSession(remote);
    }
};

TEST_F(FacadeTraceTest, FirstCallChoosesTheDefaultBackendOnce) {
    EXPECT_TRUE(SessionCtrl::IsConnected(1));
    EXPECT_FALSE(SessionCtrl::IsConnected(5));
    EXPECT_EQ(TraceEntries(),
              (std::vector<std::string>{"Initialize..., RDP", "Session control [Default],",
                                        "IsConnected >, true", "IsConnected >, false"}));
}

TEST_F(FacadeTraceTest, ActionsTraceBeforeTheyAct) {
    winsim::AddSession(Session(255, L"RDP-Tcp#9", L"dave"));
    EXPECT_TRUE(SessionCtrl::SessionLock());
    EXPECT_TRUE(SessionCtrl::Disconnect(5, true));
    EXPECT_TRUE(SessionCtrl::DisconnectForce(255, false));
    EXPECT_TRUE(SessionCtrl::LogoffSession(5, false));
    EXPECT_EQ(TraceEntries(), (std::vector<std::string>{
                                  "SessionLock,", "Initialize..., RDP",
                                  "Session control [Default],", "Disconnect, 5 (0x5)",
                                  "DisconnectForce, 255 (0xff)", "LogoffSession, 5 (0x5)"}));
    EXPECT_EQ(winsim::Actions().size(), 4u);
}

TEST_F(FacadeTraceTest, LocalityIsTracedAsLocalOrRemote) {
    EXPECT_TRUE(SessionCtrl::IsLocalSession());
    winsim::SetRemoteSession(true);
    EXPECT_FALSE(SessionCtrl::IsLocalSession());
    EXPECT_EQ(CountTrace("IsLocalSession >, local"), 1);
    EXPECT_EQ(CountTrace("IsLocalSession >, remote"), 1);
}

TEST_F(FacadeTraceTest, StatusIsTracedAsTrueOrFalse) {
    int state = -1;
    EXPECT_TRUE(SessionCtrl::GetStatus(5, state));
    EXPECT_EQ(state, static_cast<int>(WTSDisconnected));
    state = -1;
    EXPECT_FALSE(SessionCtrl::GetStatus(99, state));
    EXPECT_EQ(state, -1);
    EXPECT_EQ(CountTrace("GetStatus >, true"), 1);
    EXPECT_EQ(CountTrace("GetStatus >, false"), 1);
}

TEST_F(FacadeTraceTest, StationNameOverloadsTraceUnderTheirOwnNames) {
    std::wstring name;
    EXPECT_TRUE(SessionCtrl::GetWinStationName(5, name));
    EXPECT_EQ(name, L"RDP-Tcp#1");
    EXPECT_TRUE(SessionCtrl::GetWinStationName(name));
    EXPECT_EQ(name, L"Console");
    EXPECT_TRUE(HasTrace("GetWinStationName2 >, RDP-Tcp#1"));
    EXPECT_TRUE(HasTrace("GetWinStationName >, Console"));
}

TEST_F(FacadeTraceTest, FailedTextGettersTraceTheEmptyTextNotTheOldContent) {
    std::wstring text = L"previous";
    EXPECT_FALSE(SessionCtrl::GetWinStationName(99, text));
    EXPECT_FALSE(SessionCtrl::GetSessionUserName(99, text));
    EXPECT_FALSE(SessionCtrl::GetLoggedOnWinDomain(99, text));
    EXPECT_EQ(text, L"previous");
    EXPECT_TRUE(HasTrace("GetWinStationName2 >, "));
    EXPECT_TRUE(HasTrace("GetSessionUserName >, "));
    EXPECT_TRUE(HasTrace("GetLoggedOnWinDomain >, "));
    for (const std::string& entry : TraceEntries())
        EXPECT_EQ(entry.find("previous"), std::string::npos) << entry;
}

TEST_F(FacadeTraceTest, DomainAndUserAreTraced) {
    std::wstring text;
    EXPECT_TRUE(SessionCtrl::GetLoggedOnWinDomain(5, text));
    EXPECT_TRUE(SessionCtrl::GetLoggedOnWinDomain(text));
    EXPECT_TRUE(SessionCtrl::GetSessionUserName(5, text));
    EXPECT_EQ(text, L"bob");
    EXPECT_EQ(CountTrace("GetLoggedOnWinDomain >, CORP"), 2);
    EXPECT_TRUE(HasTrace("GetSessionUserName >, bob"));
}

TEST_F(FacadeTraceTest, ListSizeCountsEntriesTheCallerHadAlready) {
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions{{7, L"a", 0}, {8, L"b", 0}};
    EXPECT_TRUE(SessionCtrl::GetAllWinStationName(sessions));
    EXPECT_EQ(sessions.size(), 4u);
    EXPECT_TRUE(HasTrace("GetAllWinStationName count >, 4 (0x4)"));
    winsim::FailCall("WTSEnumerateSessionsW", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SessionCtrl::GetAllWinStationName(sessions));
    EXPECT_TRUE(HasTrace("GetAllWinStationName count >, 0 (0x0)"));
}

TEST_F(FacadeTraceTest, TokenTracesTheSessionOnSuccessOnly) {
    sessionctrl::UserTokenHolder holder;
    EXPECT_TRUE(SessionCtrl::GetUserToken(5, holder));
    EXPECT_NE(holder.GetToken(), nullptr);
    winsim::AddSession(Session(6, L"RDP-Tcp#2", L""));
    EXPECT_FALSE(SessionCtrl::GetUserToken(6, holder));
    EXPECT_TRUE(HasTrace("GetUserToken >, 5 (0x5)"));
    EXPECT_TRUE(HasTrace("GetUserToken >, "));
}

TEST_F(FacadeTraceTest, ClientAddressTracesLocalWhateverTheText) {
    std::wstring address = L"leftover";
    bool isLocal = false;
    EXPECT_TRUE(SessionCtrl::GetClientAddress(5, address, isLocal));
    EXPECT_EQ(address, L"192.0.2.10");
    EXPECT_FALSE(isLocal);
    EXPECT_TRUE(SessionCtrl::GetClientAddress(1, address, isLocal));
    EXPECT_TRUE(isLocal);
    winsim::AddSession([] {
        winsim::SessionSpec failing = Session(7, L"RDP-Tcp#3", L"carol");
        failing.failingInfo[WTSClientAddress] = ERROR_ACCESS_DENIED;
        return failing;
    }());
    EXPECT_FALSE(SessionCtrl::GetClientAddress(7, address, isLocal));
    const std::vector<std::string> entries = TraceEntries();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(entries.end() - 3, entries.end()),
              (std::vector<std::string>{"GetClientAddress >, 192.0.2.10",
                                        "GetClientAddress >, local",
                                        "GetClientAddress >, "}));
}

// A backend that cannot be initialised: every export finds it not ready.
class RefusingBackend : public sessionctrl::RDPCtrl {
public:
    bool Initialize() override {
        ++initializeCalls;
        return false;
    }
    bool IsInitialized() override { return false; }
    static int initializeCalls;
};
int RefusingBackend::initializeCalls = 0;

class FacadeNotReadyTest : public SessionFixture {
protected:
    void SetUp() override {
        SessionFixture::SetUp();
        winsim::AddSession(Session(1, L"Console", L"alice"));
        sessionctrl::InstallBackend(new RefusingBackend);
    }
};

TEST_F(FacadeNotReadyTest, EveryForwardingExportIsFalseAndAsksNothingOfWindows) {
    std::wstring text = L"kept";
    bool isLocal = true;
    int state = 3;
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions;
    sessionctrl::UserTokenHolder holder;
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

    EXPECT_EQ(RefusingBackend::initializeCalls, 15);
    EXPECT_EQ(text, L"kept");
    EXPECT_TRUE(isLocal);
    EXPECT_EQ(state, 3);
    EXPECT_TRUE(sessions.empty());
    EXPECT_EQ(holder.GetToken(), nullptr);
    EXPECT_TRUE(winsim::Actions().empty());
    EXPECT_EQ(winsim::CallCount("WTSQuerySessionInformationW"), 0u);
    EXPECT_EQ(winsim::CallCount("WTSEnumerateSessionsW"), 0u);
    EXPECT_EQ(winsim::CallCount("WTSQueryUserToken"), 0u);
    EXPECT_EQ(TraceEntries(),
              (std::vector<std::string>{
                  "IsLocalSession >, error", "SessionLock,", "Disconnect, 1 (0x1)",
                  "DisconnectForce, 1 (0x1)", "LogoffSession, 1 (0x1)",
                  "GetLoggedOnWinDomain >, error", "GetLoggedOnWinDomain >, error",
                  "GetWinStationName2 >, error", "GetWinStationName >, error",
                  "GetAllWinStationName >, error", "GetUserToken >, error",
                  "GetSessionUserName >, error", "GetClientAddress >, error"}));
}

class FacadeLifecycleTest : public SessionFixture {};

TEST_F(FacadeLifecycleTest, ReleaseThenCallInitialisesTheSameBackendWithoutDetecting) {
    winsim::AddSession(Session(1, L"Console", L"alice"));
    SessionCtrl::Release();  // nothing to release yet
    EXPECT_EQ(sessionctrl::CurrentBackend(), nullptr);
    ASSERT_TRUE(SessionCtrl::IsConnected(1));
    sessionctrl::ISessionCtrl* const first = sessionctrl::CurrentBackend();
    ASSERT_NE(first, nullptr);

    // Whatever is installed by now, the backend stays.
    InstallProduct(L"XenApp");
    winsim::AdvanceMs(60 * 1000);
    SessionCtrl::Release();
    EXPECT_FALSE(first->IsInitialized());
    ASSERT_TRUE(SessionCtrl::IsConnected(1));
    EXPECT_EQ(sessionctrl::CurrentBackend(), first);
    EXPECT_TRUE(first->IsInitialized());
    EXPECT_EQ(CountTrace("Initialize..., RDP"), 1);
    EXPECT_EQ(CountTrace("Initialize..., RDP(XenApp)"), 0);
    EXPECT_EQ(CountTrace("Session control [Default],"), 2);
}

class DirectCallTest : public SessionFixture {};

TEST_F(DirectCallTest, CurrentSessionIdComesFromWindowsOrIsZero) {
    winsim::SetCurrentSession(3);
    EXPECT_EQ(SessionCtrl::GetCurrentSessionID(), 3ul);
    winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED);
    EXPECT_EQ(SessionCtrl::GetCurrentSessionID(), 0ul);
    EXPECT_EQ(sessionctrl::CurrentBackend(), nullptr);
    EXPECT_TRUE(TraceEntries().empty());
}

TEST_F(DirectCallTest, FindProcessSearchesOneSessionOrAllForZero) {
    winsim::AddSession(Session(1, L"Console", L"alice"));
    winsim::AddSession(Session(2, L"RDP-Tcp#1", L"bob"));
    winsim::AddProcess({100, 1, L"explorer.exe"});
    winsim::AddProcess({200, 2, L"Pcoip_Server_Win32.EXE"});
    EXPECT_TRUE(SessionCtrl::FindProcess(2, L"pcoip_server_win32.exe"));
    EXPECT_FALSE(SessionCtrl::FindProcess(1, L"pcoip_server_win32.exe"));
    EXPECT_TRUE(SessionCtrl::FindProcess(0, L"PCOIP_SERVER_WIN32.exe"));
    EXPECT_TRUE(SessionCtrl::FindProcess(0, L"explorer.exe"));
    EXPECT_FALSE(SessionCtrl::FindProcess(0, L"explorer"));
    EXPECT_EQ(sessionctrl::CurrentBackend(), nullptr);
    EXPECT_TRUE(TraceEntries().empty());
}

TEST_F(DirectCallTest, FindProcessWithoutNameOrListIsFalse) {
    winsim::AddProcess({100, 1, L"explorer.exe"});
    EXPECT_FALSE(SessionCtrl::FindProcess(0, nullptr));
    EXPECT_EQ(winsim::CallCount("WTSEnumerateProcessesExW"), 0u);
    winsim::FailCall("WTSEnumerateProcessesExW", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SessionCtrl::FindProcess(0, L"explorer.exe"));
}

}  // namespace
}  // namespace sessionctrl_test
