// VMViewCtrl as the installed backend: the VMware arm, its Initialize, and the
// operations it shares with the Terminal Services backend.
#include "vmware_fixture.h"

#include <environment.h>
#include <sessionctrl/SessionCtrl.h>
#include <vmview_ctrl.h>

#include <gmock/gmock.h>

namespace vmware_test {
namespace {

using sessionctrl::SessionCtrl;
using sessionctrl::VMViewCtrl;
using testing::ElementsAre;

class VMwareArmTest : public VMwareFixture {};

TEST_F(VMwareArmTest, HorizonInstallsAnInitialisedVMViewCtrl) {
    SetVdmVersion(L"7.5.1");
    SessionCtrl::IsConnected(kOwnSession);  // any export creates the backend
    auto* backend = dynamic_cast<VMViewCtrl*>(sessionctrl::CurrentBackend());
    ASSERT_NE(backend, nullptr);
    EXPECT_TRUE(backend->IsInitialized());
    const auto texts = LoggedTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Initialize..., VMware View");
    EXPECT_EQ(texts[1], "Session control [VMware],");
}

TEST_F(VMwareArmTest, ExportedClientAddressFrom7WithoutRecordIsLocal) {
    SetVdmVersion(L"7.5.1");
    std::wstring address = L"keep";
    bool isLocal = false;
    EXPECT_TRUE(SessionCtrl::GetClientAddress(3, address, isLocal));
    EXPECT_TRUE(isLocal);
    EXPECT_EQ(address, L"keep");
    EXPECT_EQ(LoggedTexts().back(), "GetClientAddress >, local");
}

class VMViewCtrlLifecycleTest : public VMwareFixture {};

TEST_F(VMViewCtrlLifecycleTest, InitializeReleaseCycle) {
    VMViewCtrl backend;
    EXPECT_FALSE(backend.IsInitialized());
    EXPECT_TRUE(backend.Initialize());
    EXPECT_TRUE(backend.IsInitialized());
    backend.Release();
    backend.Release();
    EXPECT_FALSE(backend.IsInitialized());
    EXPECT_TRUE(backend.Initialize());
    EXPECT_TRUE(backend.IsInitialized());
}

TEST_F(VMViewCtrlLifecycleTest, FailedServerProbeIsTracedOnly) {
    winsim::FailCall("WTSOpenServerW", ERROR_ACCESS_DENIED);
    VMViewCtrl backend;
    EXPECT_TRUE(backend.Initialize());
    EXPECT_TRUE(backend.IsInitialized());
    EXPECT_THAT(LoggedTexts(),
                ElementsAre("Session control [VMware],", "WTSOpenServer error, 5 (0x5)"));
}

class VMViewCtrlSharedTest : public VMwareFixture {
protected:
    void SetUp() override {
        VMwareFixture::SetUp();
        winsim::SessionSpec own;
        own.id = kOwnSession;
        own.station = L"Console";
        own.user = L"alice";
        own.domain = L"CORP";
        winsim::AddSession(own);
        ASSERT_TRUE(backend_.Initialize());
    }
    VMViewCtrl backend_;
};

TEST_F(VMViewCtrlSharedTest, ActionsReachTerminalServices) {
    EXPECT_TRUE(backend_.Disconnect(kOwnSession, true));
    EXPECT_TRUE(backend_.DisconnectForce(kOwnSession, false));
    EXPECT_TRUE(backend_.LogoffSession(kOwnSession, true));
    EXPECT_TRUE(backend_.SessionLock());
    const auto actions = winsim::Actions();
    ASSERT_EQ(actions.size(), 4u);
    EXPECT_EQ(actions[0].function, "WTSDisconnectSession");
    EXPECT_EQ(actions[0].wait, TRUE);
    EXPECT_EQ(actions[1].function, "WTSDisconnectSession");
    EXPECT_EQ(actions[1].wait, FALSE);
    EXPECT_EQ(actions[2].function, "WTSLogoffSession");
    EXPECT_EQ(actions[3].function, "LockWorkStation");
}

TEST_F(VMViewCtrlSharedTest, SessionQueriesAnswerAsTerminalServices) {
    std::wstring text;
    int state = -1;
    EXPECT_TRUE(backend_.IsConnected(kOwnSession));
    EXPECT_TRUE(backend_.GetStatus(kOwnSession, state));
    EXPECT_EQ(state, WTSActive);
    EXPECT_TRUE(backend_.GetLoggedOnWinDomain(text));
    EXPECT_EQ(text, L"CORP");
    EXPECT_TRUE(backend_.GetWinStationName(text));
    EXPECT_EQ(text, L"Console");
    EXPECT_TRUE(backend_.GetSessionUserName(kOwnSession, text));
    EXPECT_EQ(text, L"alice");
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions;
    EXPECT_TRUE(backend_.GetAllWinStationName(sessions));
    EXPECT_EQ(sessions.size(), 1u);
}

// Overrides that show which calls go through the virtual table.
class ProbedVMViewCtrl : public VMViewCtrl {
public:
    bool IsLocalSession() override { return true; }
    bool FormatIPv4Address(const unsigned char*, DWORD, std::wstring& text) override {
        text = L"formatted by override";
        return true;
    }
};

class VMViewCtrlDispatchTest : public VMwareFixture {};

TEST_F(VMViewCtrlDispatchTest, Below7LocalityComesThroughTheVirtualTable) {
    SetVdmVersion(L"6.2.0");
    ProbedVMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    std::wstring address = L"x";
    bool isLocal = false;
    EXPECT_TRUE(backend.GetClientAddress(5, address, isLocal));
    EXPECT_TRUE(isLocal);
    EXPECT_EQ(address, L"");
    EXPECT_EQ(winsim::CallCount("WTSQueryUserToken"), 0u);
}

TEST_F(VMViewCtrlDispatchTest, Below7RemoteFormatsThroughTheVirtualTable) {
    SetVdmVersion(L"6.2.0");
    winsim::SetRemoteSession(true);
    winsim::SessionSpec session;
    session.id = 5;
    session.clientAddress = winsim::IPv4(10, 0, 0, 5);
    winsim::AddSession(session);
    ProbedVMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    std::wstring address;
    bool isLocal = true;
    EXPECT_TRUE(backend.GetClientAddress(5, address, isLocal));
    EXPECT_FALSE(isLocal);
    EXPECT_EQ(address, L"formatted by override");
}

}  // namespace
}  // namespace vmware_test
