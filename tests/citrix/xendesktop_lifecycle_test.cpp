// XenDesktopCtrl's Initialize, IsInitialized, Release and destruction.
#include "citrix_fixture.h"

namespace citrix_test {
namespace {

using XenDesktopLifecycleTest = XenDesktopFixture;

const HANDLE kFirstServer = reinterpret_cast<HANDLE>(0x5001);
const HANDLE kSecondServer = reinterpret_cast<HANDLE>(0x5002);

TEST_F(XenDesktopLifecycleTest, InitializeLoadsTheLibraryAndOpensTheCurrentServer) {
    EXPECT_FALSE(ctrl_->IsInitialized());
    ASSERT_TRUE(ctrl_->Initialize());
    EXPECT_TRUE(ctrl_->IsInitialized());
    const auto texts = LoggedTexts();
    ASSERT_GE(texts.size(), 3u);
    EXPECT_EQ(texts[0], "Session control [WFAPI],");
    EXPECT_EQ(texts[1], "C:\\Program Files\\Citrix\\ICA Client\\wfapi.dll,");
    EXPECT_EQ(texts[2], "success.,");
    const auto calls = fake_wfapi::Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "WFOpenServerW");
    EXPECT_EQ(calls[0].argument, nullptr);
}

TEST_F(XenDesktopLifecycleTest, NullServerHandleStillInitialisesAndIsNeverClosed) {
    fake_wfapi::SetOpenServerNull(true);
    EXPECT_TRUE(ctrl_->Initialize());
    EXPECT_TRUE(ctrl_->IsInitialized());
    ctrl_->Release();
    EXPECT_EQ(fake_wfapi::CallCount("WFCloseServer"), 0u);
}

TEST_F(XenDesktopLifecycleTest, SecondInitializeKeepsTheLibraryAndReplacesTheServer) {
    ASSERT_TRUE(ctrl_->Initialize());
    ASSERT_TRUE(ctrl_->Initialize());
    const auto calls = fake_wfapi::Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].function, "WFOpenServerW");
    EXPECT_EQ(calls[1].function, "WFCloseServer");
    EXPECT_EQ(calls[1].argument, kFirstServer);
    EXPECT_EQ(calls[2].function, "WFOpenServerW");
    EXPECT_EQ(CountLogged("Session control [WFAPI],"), 2u);
    EXPECT_EQ(CountLogged("success.,"), 1u);
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 1);

    ctrl_->Release();
    EXPECT_EQ(fake_wfapi::Calls().back().argument, kSecondServer);
}

TEST_F(XenDesktopLifecycleTest, FailedLoadReportsFalseAndOpensNoServer) {
    winsim::DeleteKey(HKEY_LOCAL_MACHINE, kCitrixKey);
    EXPECT_FALSE(ctrl_->Initialize());
    EXPECT_FALSE(ctrl_->IsInitialized());
    EXPECT_TRUE(fake_wfapi::Calls().empty());
    EXPECT_EQ(LoggedTexts(),
              (std::vector<std::string>{"Session control [WFAPI],", "registry not found.,"}));
}

TEST_F(XenDesktopLifecycleTest, ReleaseClosesTheServerUnloadsAndAllowsAnotherInitialize) {
    Initialize();
    ctrl_->Release();
    EXPECT_FALSE(ctrl_->IsInitialized());
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 0);
    const auto calls = fake_wfapi::Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].function, "WFCloseServer");
    EXPECT_EQ(calls[0].argument, kFirstServer);

    fake_wfapi::ForgetCalls();
    ctrl_->Release();
    EXPECT_TRUE(fake_wfapi::Calls().empty());

    ASSERT_TRUE(ctrl_->Initialize());
    EXPECT_TRUE(ctrl_->IsInitialized());
    EXPECT_TRUE(Logged("success.,"));
}

TEST_F(XenDesktopLifecycleTest, DestructionClosesTheServerAndUnloads) {
    Initialize();
    ctrl_.reset();
    EXPECT_EQ(fake_wfapi::CallCount("WFCloseServer"), 1u);
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 0);
    EXPECT_TRUE(Logged("+ WFAPIDll::Release, >> in"));
}

}  // namespace
}  // namespace citrix_test
