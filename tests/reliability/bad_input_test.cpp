// Inputs a careless host passes to the exports: a null process name, session ids no
// session has, WTS_ANY_SESSION, strings it filled beforehand and a list that already
// holds a million entries. Every backend gives the same documented answers.
#include "fake_wfapi.h"
#include "sweep_machine.h"

#include <sessionctrl/SessionCtrl.h>

#include <gtest/gtest.h>

#include <list>
#include <string>

namespace reliability {
namespace {

using sessionctrl::SessionCtrl;
using SessionList = std::list<sessionctrl::ISessionCtrl::SESSION_INFO>;

constexpr const wchar_t* kPrefilled = L"filled by the caller before";

class BadInputTest : public testing::TestWithParam<BackendCase> {
protected:
    void SetUp() override {
        AssertFirstUseInProcess();
        PrepareMachine(GetParam().product, files_.path());
        baseline_ = winsim::CountOutstanding();
        library_ = std::make_unique<AttachedLibrary>();
    }
    void TearDown() override {
        library_.reset();
        EXPECT_EQ(Leftovers(baseline_), "");
    }
    bool IsCitrix() const {
        return GetParam().product == Product::XenDesktop ||
               GetParam().product == Product::XenDesktop7;
    }

    bool IsVMware() const {
        return GetParam().product == Product::HorizonBelow7 ||
               GetParam().product == Product::Horizon7;
    }

    TempDirectory files_;
    winsim::Outstanding baseline_;
    std::unique_ptr<AttachedLibrary> library_;
};

TEST_P(BadInputTest, NullProcessNameIsFalseWithoutAnEnumeration) {
    EXPECT_FALSE(SessionCtrl::FindProcess(0, nullptr));
    EXPECT_FALSE(SessionCtrl::FindProcess(kOtherSession, nullptr));
    EXPECT_EQ(winsim::CallCount("WTSEnumerateProcessesExW"), 0u);
}

TEST_P(BadInputTest, AnySessionAndZeroSearchEverySessionOthersOnlyTheirOwn) {
    EXPECT_TRUE(SessionCtrl::FindProcess(WTS_ANY_SESSION, L"explorer.exe"));
    EXPECT_TRUE(SessionCtrl::FindProcess(0, L"explorer.exe"));
    EXPECT_TRUE(SessionCtrl::FindProcess(kOtherSession, L"explorer.exe"));
    EXPECT_FALSE(SessionCtrl::FindProcess(kOwnSession, L"explorer.exe"));
    EXPECT_FALSE(SessionCtrl::FindProcess(0xFFFFFFFFul, L"explorer.exe"));
}

TEST_P(BadInputTest, HugeSessionIdsAreNoSessionAndLeaveTheCallersValues) {
    // 0xFFFFFFFF is WTS_CURRENT_SESSION, a real session; the next one down is not.
    for (unsigned long id : {0xFFFFFFFEul, 0xFFFFFFFDul, 0x7FFFFFFFul, 65536ul}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(SessionCtrl::IsConnected(id));
        int state = -7;
        EXPECT_FALSE(SessionCtrl::GetStatus(id, state));
        EXPECT_EQ(state, -7);
        std::wstring text = kPrefilled;
        EXPECT_FALSE(SessionCtrl::GetWinStationName(id, text));
        EXPECT_EQ(text, kPrefilled);
        EXPECT_FALSE(SessionCtrl::GetSessionUserName(id, text));
        EXPECT_EQ(text, kPrefilled);
        EXPECT_FALSE(SessionCtrl::GetLoggedOnWinDomain(id, text));
        EXPECT_EQ(text, kPrefilled);
        sessionctrl::UserTokenHolder holder;
        EXPECT_FALSE(SessionCtrl::GetUserToken(id, holder));
        EXPECT_EQ(holder.GetToken(), nullptr);
        // VMware answers from its own records: no record for the session means local.
        bool isLocal = false;
        EXPECT_EQ(SessionCtrl::GetClientAddress(id, text, isLocal), IsVMware());
        EXPECT_EQ(isLocal, IsVMware());
    }
}

TEST_P(BadInputTest, CurrentSessionIdStandsForTheCallersSession) {
    // wfapi.dll resolves the id itself; the library must pass it on unchanged.
    if (IsCitrix()) {
        fake_wfapi::AnswerQuery(WTS_CURRENT_SESSION, WTSWinStationName, fake_wfapi::Text(L"ICA-TCP#1"));
        fake_wfapi::AnswerQuery(WTS_CURRENT_SESSION, WTSUserName, fake_wfapi::Text(L"alice"));
        fake_wfapi::AnswerQuery(WTS_CURRENT_SESSION, WTSConnectState, fake_wfapi::ConnectState(WTSActive));
    }
    std::wstring text = kPrefilled;
    ASSERT_TRUE(SessionCtrl::GetWinStationName(WTS_CURRENT_SESSION, text));
    EXPECT_EQ(text, IsCitrix() ? L"ICA-TCP#1" : L"RDP-Tcp#1");
    ASSERT_TRUE(SessionCtrl::GetSessionUserName(WTS_CURRENT_SESSION, text));
    EXPECT_EQ(text, L"alice");
    EXPECT_TRUE(SessionCtrl::IsConnected(WTS_CURRENT_SESSION));
}

TEST_P(BadInputTest, PrefilledStringsAreReplacedWhole) {
    std::wstring text = kPrefilled;
    ASSERT_TRUE(SessionCtrl::GetSessionUserName(kOtherSession, text));
    EXPECT_EQ(text, L"bob");
    text = kPrefilled;
    ASSERT_TRUE(SessionCtrl::GetLoggedOnWinDomain(kOtherSession, text));
    EXPECT_EQ(text, L"CORVANE");
    text = kPrefilled;
    ASSERT_TRUE(SessionCtrl::GetWinStationName(kOtherSession, text));
    EXPECT_EQ(text, IsCitrix() ? L"ICA-TCP#5" : L"RDP-Tcp#5");
}

TEST_P(BadInputTest, AListWithAMillionEntriesIsAppendedTo) {
    constexpr std::size_t kMillion = 1000000;
    SessionList sessions(kMillion);
    sessions.front().SessionId = 77;
    sessions.back().WinStationName = kPrefilled;
    ASSERT_TRUE(SessionCtrl::GetAllWinStationName(sessions));
    ASSERT_EQ(sessions.size(), kMillion + 2);
    EXPECT_EQ(sessions.front().SessionId, 77u);
    auto appended = sessions.end();
    std::advance(appended, -3);
    EXPECT_EQ(appended->WinStationName, kPrefilled);
    if (!IsCitrix()) {
        EXPECT_EQ((++appended)->SessionId, kOwnSession);
        EXPECT_EQ((++appended)->SessionId, kOtherSession);
    }
}

INSTANTIATE_TEST_SUITE_P(Backend, BadInputTest, testing::ValuesIn(kBackends),
                         [](const testing::TestParamInfo<BackendCase>& backend) {
                             return std::string(backend.param.name);
                         });

}  // namespace
}  // namespace reliability
