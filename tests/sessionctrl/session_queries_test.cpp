// The Terminal Services backend against the simulated server: connect states, texts,
// the session list, the caller's own session, actions and the user token.
#include "rdp_ctrl.h"
#include "session_fixture.h"

#include <sessionctrl/IUserTokenHolder.h>

namespace sessionctrl_test {
namespace {

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

class ConnectStateTest : public SessionFixture,
                         public ::testing::WithParamInterface<WTS_CONNECTSTATE_CLASS> {
protected:
    sessionctrl::RDPCtrl rdp_;
};

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

class ConnectStateAnswerTest : public SessionFixture {
protected:
    sessionctrl::RDPCtrl rdp_;
};

TEST_F(ConnectStateAnswerTest, FailedQueryLeavesTheStateUntouched) {
    winsim::SessionSpec session = Session(3, L"RDP-Tcp#0", L"alice", L"CORP");
    session.failingInfo[WTSConnectState] = ERROR_ACCESS_DENIED;
    winsim::AddSession(session);
    int state = 77;
    EXPECT_FALSE(rdp_.GetStatus(3, state));
    EXPECT_EQ(state, 77);
    EXPECT_FALSE(rdp_.IsConnected(3));
}

TEST_F(ConnectStateAnswerTest, AnswerOfAnotherSizeIsNoAnswer) {
    for (const std::vector<BYTE>& raw : {std::vector<BYTE>{}, std::vector<BYTE>{0, 0},
                                         std::vector<BYTE>{0, 0, 0, 0, 0, 0, 0, 0}}) {
        winsim::SessionSpec session = Session(3, L"RDP-Tcp#0", L"alice", L"CORP");
        session.rawInfo[WTSConnectState] = raw;
        winsim::AddSession(session);
        int state = 77;
        EXPECT_FALSE(rdp_.GetStatus(3, state)) << raw.size() << " bytes";
        EXPECT_EQ(state, 77);
        EXPECT_FALSE(rdp_.IsConnected(3)) << raw.size() << " bytes";
    }
}

class SessionTextTest : public SessionFixture {
protected:
    sessionctrl::RDPCtrl rdp_;
    std::wstring text_ = L"stale";
};

TEST_F(SessionTextTest, StationNameOfTheConsoleIsConsole) {
    winsim::AddSession(Session(1, L"", L"alice", L"CORP"));
    ASSERT_TRUE(rdp_.GetWinStationName(1, text_));
    EXPECT_EQ(text_, L"Console");
    winsim::AddSession(Session(2, L"RDP-Tcp#7", L"bob", L"CORP"));
    ASSERT_TRUE(rdp_.GetWinStationName(2, text_));
    EXPECT_EQ(text_, L"RDP-Tcp#7");
}

TEST_F(SessionTextTest, FailedQueriesLeaveTheTextUntouched) {
    winsim::SessionSpec session = Session(2, L"RDP-Tcp#7", L"bob", L"CORP");
    session.failingInfo[WTSWinStationName] = ERROR_ACCESS_DENIED;
    session.failingInfo[WTSDomainName] = ERROR_ACCESS_DENIED;
    session.failingInfo[WTSUserName] = ERROR_ACCESS_DENIED;
    winsim::AddSession(session);
    EXPECT_FALSE(rdp_.GetWinStationName(2, text_));
    EXPECT_FALSE(rdp_.GetLoggedOnWinDomain(2, text_));
    EXPECT_FALSE(rdp_.GetSessionUserName(2, text_));
    EXPECT_EQ(text_, L"stale");
}

TEST_F(SessionTextTest, EmptyDomainIsFalseWithAnEmptyText) {
    winsim::AddSession(Session(2, L"RDP-Tcp#7", L"bob", L""));
    EXPECT_FALSE(rdp_.GetLoggedOnWinDomain(2, text_));
    EXPECT_EQ(text_, L"");
    winsim::AddSession(Session(4, L"RDP-Tcp#8", L"carol", L"CORP"));
    ASSERT_TRUE(rdp_.GetLoggedOnWinDomain(4, text_));
    EXPECT_EQ(text_, L"CORP");
}

TEST_F(SessionTextTest, UserNameOfALoggedOffSessionIsFalse) {
    winsim::AddSession(Session(2, L"RDP-Tcp#7", L"", L""));
    EXPECT_FALSE(rdp_.GetSessionUserName(2, text_));
    EXPECT_EQ(text_, L"");
    winsim::AddSession(Session(4, L"RDP-Tcp#8", L"carol", L"CORP"));
    ASSERT_TRUE(rdp_.GetSessionUserName(4, text_));
    EXPECT_EQ(text_, L"carol");
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

TEST_F(SessionTextTest, CallersSessionIsAnsweredThroughTheVirtualTable) {
    winsim::SetCurrentSession(6);
    RecordingRdp recording;
    ASSERT_TRUE(recording.GetWinStationName(text_));
    EXPECT_EQ(text_, L"station of 6");
    ASSERT_TRUE(recording.GetLoggedOnWinDomain(text_));
    EXPECT_EQ(text_, L"domain of 6");
    EXPECT_EQ(recording.asked, (std::vector<DWORD>{6, 6}));
}

TEST_F(SessionTextTest, CallersSessionUnknownIsFalse) {
    winsim::AddSession(Session(1, L"Console", L"alice", L"CORP"));
    winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED);
    RecordingRdp recording;
    EXPECT_FALSE(recording.GetWinStationName(text_));
    EXPECT_FALSE(recording.GetLoggedOnWinDomain(text_));
    EXPECT_TRUE(recording.asked.empty());
    EXPECT_EQ(text_, L"stale");
}

class SessionListTest : public SessionFixture {
protected:
    sessionctrl::RDPCtrl rdp_;
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> list_{{42, L"kept", 9}};
};

TEST_F(SessionListTest, AppendsInEnumerationOrderAfterExistingEntries) {
    winsim::AddSession(Session(0, L"Services", L"", L"", WTSDisconnected));
    winsim::AddSession(Session(1, L"Console", L"alice", L"CORP", WTSActive));
    winsim::SessionSpec unnamed = Session(2, L"RDP-Tcp#3", L"bob", L"CORP", WTSConnectQuery);
    unnamed.nullStationInList = true;
    winsim::AddSession(unnamed);

    ASSERT_TRUE(rdp_.GetAllWinStationName(list_));
    ASSERT_EQ(list_.size(), 4u);
    auto it = list_.begin();
    EXPECT_EQ(it->SessionId, 42u);
    EXPECT_EQ(it->WinStationName, L"kept");
    ++it;
    EXPECT_EQ(it->SessionId, 0u);
    EXPECT_EQ(it->WinStationName, L"Services");
    EXPECT_EQ(it->State, static_cast<DWORD>(WTSDisconnected));
    ++it;
    EXPECT_EQ(it->SessionId, 1u);
    EXPECT_EQ(it->WinStationName, L"Console");
    EXPECT_EQ(it->State, static_cast<DWORD>(WTSActive));
    ++it;
    EXPECT_EQ(it->SessionId, 2u);
    EXPECT_EQ(it->WinStationName, L"");
    EXPECT_EQ(it->State, static_cast<DWORD>(WTSConnectQuery));
}

TEST_F(SessionListTest, FailedOrEmptyEnumerationIsFalseAndAddsNothing) {
    EXPECT_FALSE(rdp_.GetAllWinStationName(list_));  // no session at all
    winsim::AddSession(Session(1, L"Console", L"alice", L"CORP"));
    winsim::FailCall("WTSEnumerateSessionsW", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(rdp_.GetAllWinStationName(list_));
    EXPECT_EQ(list_.size(), 1u);
}

class SessionActionTest : public SessionFixture {
protected:
    sessionctrl::RDPCtrl rdp_;
};

TEST_F(SessionActionTest, DisconnectForceSendsTheSameRequestAsDisconnect) {
    winsim::AddSession(Session(5, L"RDP-Tcp#1", L"alice", L"CORP"));
    winsim::AddSession(Session(6, L"RDP-Tcp#2", L"bob", L"CORP"));
    EXPECT_TRUE(rdp_.Disconnect(5, true));
    EXPECT_TRUE(rdp_.DisconnectForce(5, true));
    EXPECT_TRUE(rdp_.LogoffSession(6, false));
    EXPECT_TRUE(rdp_.SessionLock());
    const std::vector<winsim::Action> actions = winsim::Actions();
    ASSERT_EQ(actions.size(), 4u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(actions[i].function, "WTSDisconnectSession");
        EXPECT_EQ(actions[i].sessionId, 5u);
        EXPECT_EQ(actions[i].wait, TRUE);
    }
    EXPECT_EQ(actions[2].function, "WTSLogoffSession");
    EXPECT_EQ(actions[2].sessionId, 6u);
    EXPECT_EQ(actions[2].wait, FALSE);
    EXPECT_EQ(actions[3].function, "LockWorkStation");
}

TEST_F(SessionActionTest, FailedActionsAreFalse) {
    winsim::FailCall("WTSDisconnectSession", ERROR_ACCESS_DENIED);
    winsim::FailCall("WTSLogoffSession", ERROR_ACCESS_DENIED);
    winsim::FailCall("LockWorkStation", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(rdp_.Disconnect(5, false));
    EXPECT_FALSE(rdp_.DisconnectForce(5, false));
    EXPECT_FALSE(rdp_.LogoffSession(5, false));
    EXPECT_FALSE(rdp_.SessionLock());
}

TEST_F(SessionActionTest, RemoteSessionMetricDecidesLocality) {
    EXPECT_TRUE(rdp_.IsLocalSession());
    winsim::SetRemoteSession(true);
    EXPECT_FALSE(rdp_.IsLocalSession());
}

TEST_F(SessionActionTest, InitializeProbesTheServerAndNeverFails) {
    EXPECT_FALSE(rdp_.IsInitialized());
    ASSERT_TRUE(rdp_.Initialize());
    EXPECT_TRUE(rdp_.IsInitialized());
    rdp_.Release();
    EXPECT_FALSE(rdp_.IsInitialized());
    winsim::FailCall("WTSOpenServerW", ERROR_ACCESS_DENIED);
    ASSERT_TRUE(rdp_.Initialize());
    EXPECT_TRUE(rdp_.IsInitialized());
    EXPECT_EQ(CountTrace("Session control [Default],"), 2);
    EXPECT_EQ(CountTrace("WTSOpenServer error, 5 (0x5)"), 1);
}

class UserTokenTest : public SessionFixture {
protected:
    sessionctrl::RDPCtrl rdp_;
};

TEST_F(UserTokenTest, TokenGoesToTheHolderWhichClosesItOnce) {
    winsim::AddSession(Session(1, L"Console", L"alice", L"CORP"));
    const long handlesBefore = winsim::CountOutstanding().handles;
    const unsigned closesBefore = winsim::CallCount("CloseHandle");
    {
        sessionctrl::UserTokenHolder holder;
        ASSERT_TRUE(rdp_.GetUserToken(1, holder));
        EXPECT_NE(holder.GetToken(), nullptr);
        EXPECT_EQ(winsim::CountOutstanding().handles, handlesBefore + 1);
        EXPECT_EQ(winsim::CallCount("CloseHandle"), closesBefore);
    }
    EXPECT_EQ(winsim::CountOutstanding().handles, handlesBefore);
    EXPECT_EQ(winsim::CallCount("CloseHandle"), closesBefore + 1);
}

TEST_F(UserTokenTest, NoUserLeavesTheHolderAlone) {
    winsim::AddSession(Session(1, L"Console", L"alice", L"CORP"));
    winsim::AddSession(Session(2, L"RDP-Tcp#1", L"", L""));
    sessionctrl::UserTokenHolder holder;
    ASSERT_TRUE(rdp_.GetUserToken(1, holder));
    void* const held = holder.GetToken();
    const unsigned closesBefore = winsim::CallCount("CloseHandle");
    EXPECT_FALSE(rdp_.GetUserToken(2, holder));
    EXPECT_EQ(holder.GetToken(), held);
    EXPECT_EQ(winsim::CallCount("CloseHandle"), closesBefore);
}

}  // namespace
}  // namespace sessionctrl_test
