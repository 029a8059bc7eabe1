// The Terminal Services backend against the simulated server: connect states, texts,
// the session list, the caller's own session, actions and the user token.
#include "rdp_ctrl.h"
#include <test_support/library_fixture.h>

#include <sessionctrl/IUserTokenHolder.h>

#include <tuple>

namespace sessionctrl_test {
namespace {

using namespace test_support;

winsim::SessionSpec Session(DWORD id, const std::wstring& station, const std::wstring& user,
                            const std::wstring& domain,
                            WTS_CONNECTSTATE_CLASS state = WTSActive) {
    winsim::SessionSpec session;
    session.id = id;
    session.station = station;
    session.user = user;
    session.domain = domain;
    session.state = state;
    return session;
}

class RdpTest : public LibraryFixture {
protected:
    sessionctrl::RDPCtrl rdp_;
    std::wstring text_ = L"stale";
};

class ConnectStateTest : public RdpTest,
                         public ::testing::WithParamInterface<WTS_CONNECTSTATE_CLASS> {};

TEST_P(ConnectStateTest, ConnectedOnlyWhileActiveConnectedOrQuerying) {
    winsim::AddSession(Session(3, L"RDP-Tcp#0", L"alice", L"CORP", GetParam()));
    const bool expected =
        GetParam() == WTSActive || GetParam() == WTSConnected || GetParam() == WTSConnectQuery;
    EXPECT_EQ(rdp_.IsConnected(3), expected);
    int state = -1;
    ASSERT_TRUE(rdp_.GetStatus(3, state));
    EXPECT_EQ(state, static_cast<int>(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(States, ConnectStateTest,
                         ::testing::Values(WTSActive, WTSConnected, WTSConnectQuery, WTSShadow,
                                           WTSDisconnected, WTSIdle, WTSListen, WTSReset,
                                           WTSDown, WTSInit));

TEST_F(RdpTest, StateAnswerThatIsNotOneValueLeavesTheCallersStateAlone) {
    winsim::SessionSpec failing = Session(3, L"RDP-Tcp#0", L"alice", L"CORP");
    failing.failingInfo[WTSConnectState] = ERROR_ACCESS_DENIED;
    std::vector<winsim::SessionSpec> answers{failing};
    for (const std::vector<BYTE>& raw : {std::vector<BYTE>{}, std::vector<BYTE>{0, 0},
                                         std::vector<BYTE>(8, 0)}) {
        answers.push_back(Session(3, L"RDP-Tcp#0", L"alice", L"CORP"));
        answers.back().rawInfo[WTSConnectState] = raw;
    }
    for (const winsim::SessionSpec& answer : answers) {
        winsim::AddSession(answer);
        int state = 77;
        EXPECT_FALSE(rdp_.GetStatus(3, state));
        EXPECT_EQ(state, 77);
        EXPECT_FALSE(rdp_.IsConnected(3));
    }
}

TEST_F(RdpTest, TextsOfASession) {
    winsim::AddSession(Session(1, L"", L"alice", L""));
    winsim::AddSession(Session(2, L"RDP-Tcp#7", L"", L"CORP"));
    ASSERT_TRUE(rdp_.GetWinStationName(1, text_));
    EXPECT_EQ(text_, L"Console");  // the console reports no station name
    ASSERT_TRUE(rdp_.GetWinStationName(2, text_));
    EXPECT_EQ(text_, L"RDP-Tcp#7");
    ASSERT_TRUE(rdp_.GetLoggedOnWinDomain(2, text_));
    EXPECT_EQ(text_, L"CORP");
    EXPECT_FALSE(rdp_.GetLoggedOnWinDomain(1, text_));
    EXPECT_EQ(text_, L"");
    ASSERT_TRUE(rdp_.GetSessionUserName(1, text_));
    EXPECT_EQ(text_, L"alice");
    EXPECT_FALSE(rdp_.GetSessionUserName(2, text_));  // nobody logged on
    EXPECT_EQ(text_, L"");
}

TEST_F(RdpTest, FailedTextQueriesLeaveTheTextAlone) {
    winsim::SessionSpec session = Session(2, L"RDP-Tcp#7", L"bob", L"CORP");
    for (int infoClass : {WTSWinStationName, WTSDomainName, WTSUserName})
        session.failingInfo[infoClass] = ERROR_ACCESS_DENIED;
    winsim::AddSession(session);
    EXPECT_FALSE(rdp_.GetWinStationName(2, text_));
    EXPECT_FALSE(rdp_.GetLoggedOnWinDomain(2, text_));
    EXPECT_FALSE(rdp_.GetSessionUserName(2, text_));
    EXPECT_EQ(text_, L"stale");
}

// Remembers which session the caller's-session overloads asked for.
class RecordingRdp : public sessionctrl::RDPCtrl {
public:
    using RDPCtrl::GetLoggedOnWinDomain;
    using RDPCtrl::GetWinStationName;
    bool GetWinStationName(DWORD sessionId, std::wstring& name) override {
        asked.push_back(sessionId);
        name = L"station of " + std::to_wstring(sessionId);
        return true;
    }
    bool GetLoggedOnWinDomain(DWORD sessionId, std::wstring& domain) override {
        asked.push_back(sessionId);
        domain = L"domain of " + std::to_wstring(sessionId);
        return true;
    }
    std::vector<DWORD> asked;
};

TEST_F(RdpTest, CallersSessionIsAnsweredThroughTheVirtualTable) {
    winsim::SetCurrentSession(6);
    RecordingRdp recording;
    ASSERT_TRUE(recording.GetWinStationName(text_));
    EXPECT_EQ(text_, L"station of 6");
    ASSERT_TRUE(recording.GetLoggedOnWinDomain(text_));
    EXPECT_EQ(text_, L"domain of 6");
    winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(recording.GetWinStationName(text_));
    EXPECT_FALSE(recording.GetLoggedOnWinDomain(text_));
    EXPECT_EQ(recording.asked, (std::vector<DWORD>{6, 6}));
}

TEST_F(RdpTest, SessionListIsAppendedInEnumerationOrder) {
    using Info = sessionctrl::ISessionCtrl::SESSION_INFO;
    std::list<Info> list{{42, L"kept", 9}};
    EXPECT_FALSE(rdp_.GetAllWinStationName(list));  // no session at all
    winsim::AddSession(Session(0, L"Services", L"", L"", WTSDisconnected));
    winsim::AddSession(Session(1, L"Console", L"alice", L"CORP", WTSActive));
    winsim::SessionSpec unnamed = Session(2, L"RDP-Tcp#3", L"bob", L"CORP", WTSConnectQuery);
    unnamed.nullStationInList = true;
    winsim::AddSession(unnamed);
    ASSERT_TRUE(rdp_.GetAllWinStationName(list));
    std::vector<std::tuple<DWORD, std::wstring, DWORD>> seen;
    for (const Info& info : list) seen.emplace_back(info.SessionId, info.WinStationName, info.State);
    EXPECT_EQ(seen, (std::vector<std::tuple<DWORD, std::wstring, DWORD>>{
                        {42, L"kept", 9}, {0, L"Services", 4}, {1, L"Console", 0}, {2, L"", 2}}));
    winsim::FailCall("WTSEnumerateSessionsW", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(rdp_.GetAllWinStationName(list));
    EXPECT_EQ(list.size(), 4u);
}

TEST_F(RdpTest, ActionsReachTheServerAndDisconnectForceIsDisconnect) {
    winsim::AddSession(Session(5, L"RDP-Tcp#1", L"alice", L"CORP"));
    winsim::AddSession(Session(6, L"RDP-Tcp#2", L"bob", L"CORP"));
    EXPECT_TRUE(rdp_.Disconnect(5, true));
    EXPECT_TRUE(rdp_.DisconnectForce(5, true));
    EXPECT_TRUE(rdp_.LogoffSession(6, false));
    EXPECT_TRUE(rdp_.SessionLock());
    std::vector<std::tuple<std::string, DWORD, BOOL>> seen;
    for (const winsim::Action& action : winsim::Actions())
        seen.emplace_back(action.function, action.sessionId, action.wait);
    EXPECT_EQ(seen, (std::vector<std::tuple<std::string, DWORD, BOOL>>{
                        {"WTSDisconnectSession", 5, TRUE},
                        {"WTSDisconnectSession", 5, TRUE},
                        {"WTSLogoffSession", 6, FALSE},
                        {"LockWorkStation", 1, FALSE}}));  // the caller's session
    for (const char* function : {"WTSDisconnectSession", "WTSLogoffSession", "LockWorkStation"})
        winsim::FailCall(function, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(rdp_.Disconnect(5, false));
    EXPECT_FALSE(rdp_.DisconnectForce(5, false));
    EXPECT_FALSE(rdp_.LogoffSession(6, false));
    EXPECT_FALSE(rdp_.SessionLock());
}

TEST_F(RdpTest, RemoteSessionMetricDecidesLocality) {
    EXPECT_TRUE(rdp_.IsLocalSession());
    winsim::SetRemoteSession(true);
    EXPECT_FALSE(rdp_.IsLocalSession());
}

TEST_F(RdpTest, InitializeProbesTheServerAndNeverFails) {
    EXPECT_FALSE(rdp_.IsInitialized());
    ASSERT_TRUE(rdp_.Initialize());
    EXPECT_TRUE(rdp_.IsInitialized());
    rdp_.Release();
    EXPECT_FALSE(rdp_.IsInitialized());
    winsim::FailCall("WTSOpenServerW", ERROR_ACCESS_DENIED);
    ASSERT_TRUE(rdp_.Initialize());
    EXPECT_TRUE(rdp_.IsInitialized());
    EXPECT_EQ(LoggedTexts(),
              (std::vector<std::string>{"Session control [Default],", "Session control [Default],",
                                        "WTSOpenServer error, 5 (0x5)"}));
}

TEST_F(RdpTest, UserTokenGoesToTheHolderOnlyWhenSomeoneIsLoggedOn) {
    winsim::AddSession(Session(1, L"Console", L"alice", L"CORP"));
    winsim::AddSession(Session(2, L"RDP-Tcp#1", L"", L""));
    const long handles = winsim::CountOutstanding().handles;
    sessionctrl::UserTokenHolder holder;
    ASSERT_TRUE(rdp_.GetUserToken(1, holder));
    void* const held = holder.GetToken();
    EXPECT_NE(held, nullptr);
    EXPECT_EQ(winsim::CountOutstanding().handles, handles + 1);  // owned by the holder now
    EXPECT_FALSE(rdp_.GetUserToken(2, holder));
    EXPECT_EQ(holder.GetToken(), held);
    EXPECT_EQ(winsim::CallCount("CloseHandle"), 0u);
}

}  // namespace
}  // namespace sessionctrl_test
