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

class VMViewCtrlSharedTest : public VMwareFixture {};

TEST_F(VMViewCtrlSharedTest, ForwardsToTerminalServices) {
    LogOn(kOwnSession, L"alice");
    VMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    std::wstring domain;
    std::wstring station;
    std::wstring user;
    int state = -1;
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions;
    EXPECT_TRUE(backend.IsConnected(kOwnSession));
    EXPECT_TRUE(backend.GetStatus(kOwnSession, state));
    EXPECT_TRUE(backend.GetLoggedOnWinDomain(domain));
    EXPECT_TRUE(backend.GetWinStationName(station));
    EXPECT_TRUE(backend.GetSessionUserName(kOwnSession, user));
    EXPECT_TRUE(backend.GetAllWinStationName(sessions));
    EXPECT_EQ(state, WTSActive);
    EXPECT_EQ(domain + L"/" + station + L"/" + user, L"CORP/Console/alice");
    EXPECT_EQ(sessions.size(), 1u);

    EXPECT_TRUE(backend.Disconnect(kOwnSession, true));
    EXPECT_TRUE(backend.DisconnectForce(kOwnSession, false));
    EXPECT_TRUE(backend.LogoffSession(kOwnSession, true));
    EXPECT_TRUE(backend.SessionLock());
    std::vector<std::string> actions;
    for (const auto& action : winsim::Actions()) {
        actions.push_back(action.function + (action.wait ? "+wait" : ""));
    }
    EXPECT_THAT(actions, ElementsAre("WTSDisconnectSession+wait", "WTSDisconnectSession",
                                     "WTSLogoffSession+wait", "LockWorkStation"));
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
    LogOn(5, L"alice", winsim::IPv4(10, 0, 0, 5));
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
