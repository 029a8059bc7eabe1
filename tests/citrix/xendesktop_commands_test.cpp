// XenDesktopCtrl's commands: disconnect (with the XenDesktop 7 lock launch from the
// services session), forced disconnect, log off, and the operations shared with RDPCtrl.
#include "citrix_fixture.h"

namespace citrix_test {
namespace {

constexpr DWORD kTarget = 5;

class XenDesktopCommandTest : public XenDesktopFixture {
protected:
    void SetUp() override {
        XenDesktopFixture::SetUp();
        winsim::AddUser(L"bob", L"S-1-5-21-1000-2000-3000-1105");
        winsim::SessionSpec target;
        target.id = kTarget;
        target.station = L"ICA-CGP#5";
        target.user = L"bob";
        target.domain = L"CORP";
        winsim::AddSession(target);
    }

    // The XenDesktop 7 machine, the library running in the services session.
    void RunAsServiceOnXenDesktop7() {
        InstallProduct(L"XenDesktop7");
        winsim::SetCurrentSession(0);
        Initialize();
    }
};

TEST_F(XenDesktopCommandTest, XenDesktop7FromSessionZeroStartsTheLockServiceInTheTarget) {
    RunAsServiceOnXenDesktop7();
    EXPECT_TRUE(ctrl_->Disconnect(kTarget, false));

    const auto launches = winsim::Launches();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].applicationName,
              std::wstring(kLibraryDirectory) + L"CorvaneKwardenService.exe");
    EXPECT_EQ(launches[0].commandLine, L"-lock");
    EXPECT_EQ(launches[0].user, L"bob");
    EXPECT_EQ(launches[0].sessionId, kTarget);
    EXPECT_EQ(launches[0].creationFlags, static_cast<DWORD>(CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS));
    EXPECT_TRUE(launches[0].callerImpersonating);
    EXPECT_EQ(launches[0].desktop, L"");
    const auto waits = winsim::Waits();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].milliseconds, 1000u);
    EXPECT_EQ(winsim::CountOutstanding().impersonations, 0);
    EXPECT_TRUE(fake_wfapi::Calls().empty());
    EXPECT_TRUE(winsim::Actions().empty());
}

TEST_F(XenDesktopCommandTest, XenDesktop7WithoutTokenStartsNothingAndStillSucceeds) {
    RunAsServiceOnXenDesktop7();
    winsim::SessionSpec empty;
    empty.id = 6;
    winsim::AddSession(empty);
    EXPECT_TRUE(ctrl_->Disconnect(6, true));
    EXPECT_TRUE(winsim::Launches().empty());
    EXPECT_EQ(winsim::CallCount("CreateProcessAsUserW"), 0u);
    EXPECT_TRUE(fake_wfapi::Calls().empty());
}

TEST_F(XenDesktopCommandTest, RefusedImpersonationStillLaunchesAndRevertsNothing) {
    RunAsServiceOnXenDesktop7();
    winsim::FailCall("ImpersonateLoggedOnUser", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(ctrl_->Disconnect(kTarget, false));
    const auto launches = winsim::Launches();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_FALSE(launches[0].callerImpersonating);
    EXPECT_EQ(winsim::CallCount("RevertToSelf"), 0u);
}

TEST_F(XenDesktopCommandTest, FailedProcessCreationWaitsForNothingAndStillSucceeds) {
    RunAsServiceOnXenDesktop7();
    winsim::FailCall("CreateProcessAsUserW", ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(ctrl_->Disconnect(kTarget, false));
    EXPECT_TRUE(winsim::Waits().empty());
    EXPECT_EQ(winsim::CallCount("RevertToSelf"), 1u);
}

TEST_F(XenDesktopCommandTest, UnknownOwnSessionCountsAsTheServicesSession) {
    InstallProduct(L"XenDesktop7");
    winsim::SetCurrentSession(1);
    Initialize();
    winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(ctrl_->Disconnect(kTarget, false));
    EXPECT_EQ(winsim::Launches().size(), 1u);
}

TEST_F(XenDesktopCommandTest, LaunchesEvenWithoutTheLibrary) {
    InstallProduct(L"XenDesktop7");
    winsim::SetCurrentSession(0);
    EXPECT_TRUE(ctrl_->Disconnect(kTarget, false));
    EXPECT_EQ(winsim::Launches().size(), 1u);
}

struct DisconnectCase {
    const char* name;
    const wchar_t* product;
    DWORD ownSession;
    bool wait;
    BOOL citrixResult;
};

class XenDesktopCitrixDisconnectTest : public XenDesktopCommandTest,
                                       public testing::WithParamInterface<DisconnectCase> {};

TEST_P(XenDesktopCitrixDisconnectTest, SendsTheCitrixDisconnectAndReturnsItsOutcome) {
    const DisconnectCase& c = GetParam();
    InstallProduct(c.product);
    winsim::SetCurrentSession(c.ownSession);
    Initialize();
    fake_wfapi::SetCommandResult(c.citrixResult);

    EXPECT_EQ(ctrl_->Disconnect(kTarget, c.wait), c.citrixResult != FALSE);
    const auto calls = fake_wfapi::Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "WFDisconnectSession");
    EXPECT_EQ(calls[0].sessionId, kTarget);
    EXPECT_EQ(calls[0].wait, c.wait ? TRUE : FALSE);
    EXPECT_TRUE(winsim::Launches().empty());
    EXPECT_TRUE(winsim::Actions().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Disconnect, XenDesktopCitrixDisconnectTest,
    testing::Values(DisconnectCase{"XenDesktopFromServices", L"XenDesktop", 0, true, TRUE},
                    DisconnectCase{"XenDesktopFromUserSession", L"XenDesktop", 1, false, TRUE},
                    DisconnectCase{"XenDesktopRefused", L"XenDesktop", 1, true, FALSE},
                    DisconnectCase{"XenDesktop7FromUserSession", L"XenDesktop7", 1, true, TRUE},
                    DisconnectCase{"XenDesktop7Refused", L"XenDesktop7", 2, false, FALSE}),
    RowName());

TEST_F(XenDesktopCommandTest, ForcedDisconnectIsTheTerminalServicesOneEvenOnXenDesktop7) {
    RunAsServiceOnXenDesktop7();
    EXPECT_TRUE(ctrl_->DisconnectForce(kTarget, true));
    const auto actions = winsim::Actions();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].function, "WTSDisconnectSession");
    EXPECT_EQ(actions[0].sessionId, kTarget);
    EXPECT_EQ(actions[0].wait, TRUE);
    EXPECT_TRUE(winsim::Launches().empty());
    EXPECT_TRUE(fake_wfapi::Calls().empty());
}

TEST_F(XenDesktopCommandTest, LogoffIsTheCitrixOne) {
    Initialize();
    EXPECT_TRUE(ctrl_->LogoffSession(kTarget, true));
    fake_wfapi::SetCommandResult(FALSE);
    EXPECT_FALSE(ctrl_->LogoffSession(kTarget, false));
    const auto calls = fake_wfapi::Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, "WFLogoffSession");
    EXPECT_EQ(calls[0].wait, TRUE);
    EXPECT_EQ(calls[1].wait, FALSE);
    EXPECT_TRUE(winsim::Actions().empty());
}

TEST_F(XenDesktopCommandTest, CitrixCommandsFailWithoutTheLibrary) {
    InstallProduct(L"XenDesktop");
    EXPECT_FALSE(ctrl_->Disconnect(kTarget, false));
    EXPECT_FALSE(ctrl_->LogoffSession(kTarget, false));
    EXPECT_TRUE(winsim::Actions().empty());
}

TEST_F(XenDesktopCommandTest, SharedOperationsUseTerminalServicesOnly) {
    Initialize();
    EXPECT_TRUE(ctrl_->SessionLock());
    EXPECT_TRUE(ctrl_->IsConnected(kTarget));
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions;
    EXPECT_TRUE(ctrl_->GetAllWinStationName(sessions));
    ASSERT_EQ(sessions.size(), 1u);
    EXPECT_EQ(sessions.front().WinStationName, L"ICA-CGP#5");
    sessionctrl::UserTokenHolder holder;
    EXPECT_TRUE(ctrl_->GetUserToken(kTarget, holder));
    EXPECT_NE(holder.GetToken(), nullptr);
    const auto actions = winsim::Actions();
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].function, "LockWorkStation");
    EXPECT_TRUE(fake_wfapi::Calls().empty());
}

}  // namespace
}  // namespace citrix_test
