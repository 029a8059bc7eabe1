// Backend selection on a Citrix XenDesktop machine, with its fallback to RDPCtrl.
#include "citrix_fixture.h"

#include <environment.h>
#include <rdp_ctrl.h>

namespace citrix_test {
namespace {

class CitrixArmTest : public CitrixFixture {
protected:
    void SetUp() override {
        CitrixFixture::SetUp();
        ASSERT_EQ(sessionctrl::CurrentBackend(), nullptr) << "the first selection of the process";
    }
    void TearDown() override {
        // The backend would otherwise live until the process ends.
        sessionctrl::InstallBackend(nullptr);
        CitrixFixture::TearDown();
    }

    static const std::string kFallbackText;
};

const std::string CitrixArmTest::kFallbackText =
    " Initialization of XenDesktop's wfapi library failed, so it will be initialized for RDP.,";

class CitrixArmProductTest : public CitrixArmTest,
                             public testing::WithParamInterface<const wchar_t*> {};

TEST_P(CitrixArmProductTest, SelectsAnInitialisedXenDesktopCtrl) {
    InstallProduct(GetParam());
    ASSERT_TRUE(sessionctrl::EnsureBackend());
    auto* backend = dynamic_cast<sessionctrl::XenDesktopCtrl*>(sessionctrl::CurrentBackend());
    ASSERT_NE(backend, nullptr);
    EXPECT_TRUE(backend->IsInitialized());
    const auto texts = LoggedTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "Initialize..., XenDesktop");
    EXPECT_EQ(texts[1], "Session control [WFAPI],");
    EXPECT_FALSE(Logged(kFallbackText));
}

INSTANTIATE_TEST_SUITE_P(Product, CitrixArmProductTest,
                         testing::Values(L"XenDesktop", L"XenDesktop7"));

TEST_F(CitrixArmTest, FailedLoadFallsBackToAnInitialisedRDPCtrl) {
    InstallProduct(L"XenDesktop");
    winsim::DeleteKey(HKEY_LOCAL_MACHINE, kCitrixKey);
    ASSERT_TRUE(sessionctrl::EnsureBackend());
    auto* backend = dynamic_cast<sessionctrl::RDPCtrl*>(sessionctrl::CurrentBackend());
    ASSERT_NE(backend, nullptr);
    EXPECT_TRUE(backend->IsInitialized());
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{"Initialize..., XenDesktop",
                                                       "Session control [WFAPI],",
                                                       "registry not found.,", kFallbackText,
                                                       "Session control [Default],"}));
}

TEST_F(CitrixArmTest, LibraryWithoutAnExportFallsBackAndIsUnloaded) {
    InstallProduct(L"XenDesktop7");
    wfapi_ = InstallWfapi(kWfapiPath, "WFFreeMemory");
    ASSERT_TRUE(sessionctrl::EnsureBackend());
    EXPECT_NE(dynamic_cast<sessionctrl::RDPCtrl*>(sessionctrl::CurrentBackend()), nullptr);
    EXPECT_TRUE(Logged("WFFreeMemory not found.,"));
    EXPECT_TRUE(Logged(kFallbackText));
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 0);
}

TEST_F(CitrixArmTest, FallbackTextIsNeitherConvertedNorWrittenWhileTracingIsOff) {
    SwitchTracingOff();
    InstallProduct(L"XenDesktop");
    winsim::DeleteKey(HKEY_LOCAL_MACHINE, kCitrixKey);
    ASSERT_TRUE(sessionctrl::EnsureBackend());
    auto* backend = dynamic_cast<sessionctrl::RDPCtrl*>(sessionctrl::CurrentBackend());
    ASSERT_NE(backend, nullptr);
    EXPECT_TRUE(backend->IsInitialized());
    EXPECT_TRUE(LoggedTexts().empty());
    EXPECT_EQ(winsim::CallCount("MultiByteToWideChar"), 0u);
}

TEST_F(CitrixArmTest, ReleaseAndEnsureInitialiseTheSameXenDesktopCtrlAgain) {
    InstallProduct(L"XenDesktop");
    ASSERT_TRUE(sessionctrl::EnsureBackend());
    sessionctrl::ISessionCtrl* const first = sessionctrl::CurrentBackend();
    first->Release();
    EXPECT_EQ(winsim::ModuleReferences(wfapi_), 0);
    ASSERT_TRUE(sessionctrl::EnsureBackend());
    EXPECT_EQ(sessionctrl::CurrentBackend(), first);
    EXPECT_TRUE(first->IsInitialized());
    EXPECT_EQ(CountLogged("Initialize..., XenDesktop"), 1u);
}

}  // namespace
}  // namespace citrix_test
