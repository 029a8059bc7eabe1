// Which product is detected, how long the answer is kept, the WOW64 answer, and the
// backend each product gets.
#include "environment.h"
#include "rdp_ctrl.h"
#include <test_support/library_fixture.h>

#include <platform/win32_raii.h>

#include <ssolog/trace.h>

#include <ostream>
#include <thread>

namespace sessionctrl_test {
namespace {

using namespace test_support;

using sessionctrl::VdiProduct;

struct DetectionCase {
    std::vector<const wchar_t*> installed;
    VdiProduct expected;
};

void PrintTo(const DetectionCase& c, std::ostream* out) {
    *out << "installed:";
    for (const wchar_t* product : c.installed) *out << ' ' << ssolog::WideToUtf8(product);
    *out << " -> " << static_cast<unsigned>(c.expected);
}

class ProductDetectionTest : public LibraryFixture,
                             public ::testing::WithParamInterface<DetectionCase> {};

TEST_P(ProductDetectionTest, FirstInstalledProductInPrecedenceOrderWins) {
    for (const wchar_t* product : GetParam().installed) InstallProduct(product);
    EXPECT_EQ(sessionctrl::DetectVdiProduct(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Products, ProductDetectionTest,
    ::testing::Values(
        DetectionCase{{}, sessionctrl::None},
        DetectionCase{{L"XenApp"}, sessionctrl::XenApp},
        DetectionCase{{L"VMwareHorizon"}, sessionctrl::VMwareHorizon},
        DetectionCase{{L"XenDesktop"}, sessionctrl::XenDesktop},
        DetectionCase{{L"XenDesktop7"}, sessionctrl::XenDesktop7},
        DetectionCase{{L"VMwareHorizon", L"XenApp"}, sessionctrl::XenApp},
        DetectionCase{{L"XenDesktop7", L"XenDesktop"}, sessionctrl::XenDesktop},
        DetectionCase{{L"VMwareHorizon", L"XenDesktop7"}, sessionctrl::XenDesktop7},
        DetectionCase{{L"VMwareHorizon", L"XenDesktop"}, sessionctrl::XenDesktop}));

class ProductCacheTest : public LibraryFixture {
protected:
    static constexpr __time64_t kStart = 1'800'000'000;
    void SetUp() override {
        LibraryFixture::SetUp();
        winsim::SetTime64(kStart);
    }
};

TEST_F(ProductCacheTest, AnswerIsKeptForThirtySeconds) {
    ASSERT_EQ(sessionctrl::DetectVdiProduct(), sessionctrl::None);
    const unsigned opensAfterFirst = winsim::CallCount("RegOpenKeyExW");
    InstallProduct(L"XenApp");
    winsim::SetTime64(kStart + 29);
    EXPECT_EQ(sessionctrl::DetectVdiProduct(), sessionctrl::None);
    EXPECT_EQ(winsim::CallCount("RegOpenKeyExW"), opensAfterFirst);
    winsim::SetTime64(kStart + 30);
    EXPECT_EQ(sessionctrl::DetectVdiProduct(), sessionctrl::XenApp);
}

TEST_F(ProductCacheTest, ClockSetBackKeepsTheAnswerUntilThirtySecondsAfterTheLastAsk) {
    ASSERT_EQ(sessionctrl::DetectVdiProduct(), sessionctrl::None);
    InstallProduct(L"VMwareHorizon");
    winsim::SetTime64(kStart - 3600);
    EXPECT_EQ(sessionctrl::DetectVdiProduct(), sessionctrl::None);
    winsim::SetTime64(kStart + 29);
    EXPECT_EQ(sessionctrl::DetectVdiProduct(), sessionctrl::None);
    winsim::SetTime64(kStart + 30);
    EXPECT_EQ(sessionctrl::DetectVdiProduct(), sessionctrl::VMwareHorizon);
}

TEST_F(ProductCacheTest, QueriesStopAtTheFirstInstalledProduct) {
    InstallProduct(L"XenApp");
    ASSERT_EQ(sessionctrl::DetectVdiProduct(), sessionctrl::XenApp);
    EXPECT_EQ(winsim::CallCount("RegQueryValueExW"), 1u);
}

class Wow64Test : public LibraryFixture {};

TEST_F(Wow64Test, AnswerIsAskedOnceAndPicksTheRegistryView) {
    winsim::SetWow64(true);
    EXPECT_TRUE(sessionctrl::IsRunningUnderWow64());
    EXPECT_EQ(sessionctrl::BackendRegistryAccess(), REGSAM{KEY_READ | KEY_WOW64_64KEY});
    winsim::SetWow64(false);
    EXPECT_TRUE(sessionctrl::IsRunningUnderWow64());
    EXPECT_EQ(winsim::CallCount("IsWow64Process"), 1u);
}

TEST_F(Wow64Test, MissingProbeMeansNotWow64ForGood) {
    winsim::SetWow64(true);
    winsim::SetIsWow64ProcessExported(false);
    EXPECT_FALSE(sessionctrl::IsRunningUnderWow64());
    EXPECT_EQ(sessionctrl::BackendRegistryAccess(), REGSAM{KEY_READ});
    winsim::SetIsWow64ProcessExported(true);
    EXPECT_FALSE(sessionctrl::IsRunningUnderWow64());
}

TEST_F(Wow64Test, FailingProbeMeansNotWow64ForGood) {
    winsim::SetWow64(true);
    winsim::FailCall("IsWow64Process", ERROR_ACCESS_DENIED, 1);
    EXPECT_FALSE(sessionctrl::IsRunningUnderWow64());
    EXPECT_FALSE(sessionctrl::IsRunningUnderWow64());
}

class BackendChoiceTest : public LibraryFixture {};

TEST_F(BackendChoiceTest, NoProductGetsTheDefaultBackend) {
    ASSERT_TRUE(sessionctrl::EnsureBackend());
    EXPECT_NE(dynamic_cast<sessionctrl::RDPCtrl*>(sessionctrl::CurrentBackend()), nullptr);
    EXPECT_EQ(LoggedTexts(),
              (std::vector<std::string>{"Initialize..., RDP", "Session control [Default],"}));
}

TEST_F(BackendChoiceTest, XenAppGetsTheDefaultBackendEvenWithVMwareInstalled) {
    InstallProduct(L"VMwareHorizon");
    InstallProduct(L"XenApp");
    ASSERT_TRUE(sessionctrl::EnsureBackend());
    EXPECT_NE(dynamic_cast<sessionctrl::RDPCtrl*>(sessionctrl::CurrentBackend()), nullptr);
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{"Initialize..., RDP(XenApp)",
                                                        "Session control [Default],"}));
}

// Notes, as it dies, whether it was still the installed backend.
class ReplacedBackend : public sessionctrl::RDPCtrl {
public:
    ~ReplacedBackend() override { stillInstalled = sessionctrl::CurrentBackend() == this; }
    static bool stillInstalled;
};
bool ReplacedBackend::stillInstalled = true;

TEST_F(BackendChoiceTest, InstallPutsTheNewBackendInPlaceBeforeDeletingTheOld) {
    sessionctrl::InstallBackend(new ReplacedBackend);
    auto* second = new sessionctrl::RDPCtrl;
    sessionctrl::InstallBackend(second);
    EXPECT_FALSE(ReplacedBackend::stillInstalled);
    EXPECT_EQ(sessionctrl::CurrentBackend(), second);
}

class BackendCreationTest : public LibraryFixture {};

// A first call that finds another first call creating the backend waits for it and then
// uses that backend instead of creating (and installing over it) a second one.
TEST_F(BackendCreationTest, ConcurrentFirstCallUsesTheBackendBeingCreated) {
    auto* created = new sessionctrl::RDPCtrl;
    bool answer = false;
    std::thread second;
    {
        platform::CriticalSectionGuard creating(sessionctrl::BackendCreationLock());
        const unsigned entered = winsim::CallCount("EnterCriticalSection");
        second = std::thread([&answer] { answer = sessionctrl::EnsureBackend(); });
        // Its first lock is the creation lock, which this thread holds.
        while (winsim::CallCount("EnterCriticalSection") == entered) std::this_thread::yield();
        sessionctrl::InstallBackend(created);
    }
    second.join();
    EXPECT_TRUE(answer);
    EXPECT_EQ(sessionctrl::CurrentBackend(), created);
    EXPECT_TRUE(created->IsInitialized());
    EXPECT_EQ(CountLogged("Initialize..., RDP"), 0u);
}

}  // namespace
}  // namespace sessionctrl_test
