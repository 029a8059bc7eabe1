// The seven wrappers: what reaches wfapi.dll, under which lock, with which traces, and
// what they answer without the library.
#include "citrix_fixture.h"

#include <wfapi_dll.h>

#include <optional>
#include <stdexcept>

namespace citrix_test {
namespace {

class WfapiWrapperTest : public CitrixFixture {
protected:
    void SetUp() override {
        CitrixFixture::SetUp();
        loader_.emplace();
        ASSERT_TRUE(loader_->Load());
        ForgetLog();
    }
    void TearDown() override {
        loader_.reset();
        CitrixFixture::TearDown();
    }

    // The only call that reached wfapi.dll.
    fake_wfapi::Call OnlyCall() const {
        const auto calls = fake_wfapi::Calls();
        EXPECT_EQ(calls.size(), 1u);
        return calls.empty() ? fake_wfapi::Call{} : calls.front();
    }

    std::optional<sessionctrl::WFAPIDll> loader_;
};

TEST_F(WfapiWrapperTest, QueryAsksTheCurrentServerAndHandsTheBlockOver) {
    fake_wfapi::AnswerQuery(7, WTSConnectState, fake_wfapi::ConnectState(WTSDisconnected));
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    ASSERT_TRUE(loader_->IWFQuerySessionInformationW(7, WTSConnectState, &buffer, &bytes));
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(bytes, 4u);
    EXPECT_EQ(*reinterpret_cast<DWORD*>(buffer), static_cast<DWORD>(WTSDisconnected));
    const auto call = OnlyCall();
    EXPECT_EQ(call.server, nullptr);
    EXPECT_EQ(call.sessionId, 7u);
    EXPECT_EQ(call.infoClass, static_cast<int>(WTSConnectState));

    loader_->IWFFreeMemory(buffer);
    EXPECT_EQ(fake_wfapi::Calls().back().argument, buffer);
    EXPECT_EQ(fake_wfapi::OutstandingBlocks(), 0);
}

TEST_F(WfapiWrapperTest, EnumerationAsksTheCurrentServer) {
    fake_wfapi::AnswerEnumeration(TRUE, true, 2);
    void* sessions = nullptr;
    DWORD count = 0;
    ASSERT_TRUE(loader_->IWFEnumerateSessionsW(0, 1, &sessions, &count));
    EXPECT_NE(sessions, nullptr);
    EXPECT_EQ(count, 2u);
    const auto call = OnlyCall();
    EXPECT_EQ(call.function, "WFEnumerateSessionsW");
    EXPECT_EQ(call.server, nullptr);
    EXPECT_EQ(call.reserved, 0u);
    EXPECT_EQ(call.version, 1u);
    loader_->IWFFreeMemory(sessions);
}

struct CommandCase {
    const char* name;
    BOOL (sessionctrl::WFAPIDll::*wrapper)(DWORD, bool);
    const char* exportName;
    bool wait;
    BOOL result;
};

class WfapiCommandTest : public WfapiWrapperTest,
                         public testing::WithParamInterface<CommandCase> {};

TEST_P(WfapiCommandTest, SendsSessionAndWaitToTheCurrentServer) {
    const CommandCase& c = GetParam();
    fake_wfapi::SetCommandResult(c.result);
    EXPECT_EQ(((*loader_).*c.wrapper)(9, c.wait), c.result);
    const auto call = OnlyCall();
    EXPECT_EQ(call.function, c.exportName);
    EXPECT_EQ(call.server, nullptr);
    EXPECT_EQ(call.sessionId, 9u);
    EXPECT_EQ(call.wait, c.wait ? TRUE : FALSE);
}

INSTANTIATE_TEST_SUITE_P(
    Command, WfapiCommandTest,
    testing::Values(
        CommandCase{"DisconnectWaiting", &sessionctrl::WFAPIDll::IWFDisconnectSession,
                    "WFDisconnectSession", true, TRUE},
        CommandCase{"DisconnectNotWaitingFails", &sessionctrl::WFAPIDll::IWFDisconnectSession,
                    "WFDisconnectSession", false, FALSE},
        CommandCase{"LogoffWaiting", &sessionctrl::WFAPIDll::IWFLogoffSession,
                    "WFLogoffSession", true, TRUE},
        CommandCase{"LogoffNotWaitingFails", &sessionctrl::WFAPIDll::IWFLogoffSession,
                    "WFLogoffSession", false, FALSE}),
    RowName());

TEST_F(WfapiWrapperTest, EveryCallIsMadeUnderTheLoadersLock) {
    fake_wfapi::AnswerQuery(1, WTSConnectState, fake_wfapi::ConnectState(WTSActive));
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    loader_->IWFOpenServerW(nullptr);
    loader_->IWFQuerySessionInformationW(1, WTSConnectState, &buffer, &bytes);
    loader_->IWFFreeMemory(buffer);
    loader_->IWFDisconnectSession(1, false);
    loader_->IWFLogoffSession(1, false);
    loader_->IWFCloseServer(nullptr);
    const auto calls = fake_wfapi::Calls();
    ASSERT_EQ(calls.size(), 6u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.lockedSections, 1) << call.function;
    }
    EXPECT_EQ(winsim::CountOutstanding().lockedSections, 0);
}

TEST_F(WfapiWrapperTest, EachWrapperTracesItsScopeAroundTheCall) {
    fake_wfapi::AnswerQuery(1, WTSConnectState, fake_wfapi::ConnectState(WTSActive));
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    loader_->IWFQuerySessionInformationW(1, WTSConnectState, &buffer, &bytes);
    loader_->IWFFreeMemory(buffer);
    EXPECT_EQ(LoggedTexts(),
              (std::vector<std::string>{
                  "+ WFAPIDll::IWFQuerySessionInformationW, >> in",
                  "+ WFAPIDll::IWFQuerySessionInformationW, << out - 0 [msec]",
                  "+ WFAPIDll::IWFFreeMemory, >> in",
                  "+ WFAPIDll::IWFFreeMemory, << out - 0 [msec]"}));
}

TEST_F(WfapiWrapperTest, AnExceptionFromTheLibraryLeavesTheLockAndClosesTheScope) {
    auto answer = fake_wfapi::ConnectState(WTSActive);
    answer.throwAfterBuffer = true;
    fake_wfapi::AnswerQuery(1, WTSConnectState, answer);
    LPWSTR buffer = nullptr;
    DWORD bytes = 0;
    EXPECT_THROW(loader_->IWFQuerySessionInformationW(1, WTSConnectState, &buffer, &bytes),
                 std::runtime_error);
    EXPECT_EQ(winsim::CountOutstanding().lockedSections, 0);
    EXPECT_TRUE(Logged("+ WFAPIDll::IWFQuerySessionInformationW, << out - 0 [msec]"));
    loader_->IWFFreeMemory(buffer);
}

// Without the library every wrapper answers its neutral value, leaves its out parameters
// alone and still writes its two scope lines.
class WfapiUnloadedTest : public CitrixFixture {
protected:
    void SetUp() override {
        CitrixFixture::SetUp();
        loader_.emplace();
    }
    void TearDown() override {
        loader_.reset();
        CitrixFixture::TearDown();
    }
    std::optional<sessionctrl::WFAPIDll> loader_;
};

TEST_F(WfapiUnloadedTest, WrappersAnswerNeutrallyWithoutTouchingOutParameters) {
    LPWSTR buffer = reinterpret_cast<LPWSTR>(0x1234);
    DWORD bytes = 55;
    void* sessions = reinterpret_cast<void*>(0x5678);
    DWORD count = 66;
    EXPECT_EQ(loader_->IWFOpenServerW(nullptr), nullptr);
    EXPECT_FALSE(loader_->IWFQuerySessionInformationW(1, WTSClientAddress, &buffer, &bytes));
    EXPECT_FALSE(loader_->IWFDisconnectSession(1, true));
    EXPECT_FALSE(loader_->IWFLogoffSession(1, true));
    EXPECT_FALSE(loader_->IWFEnumerateSessionsW(0, 1, &sessions, &count));
    loader_->IWFCloseServer(reinterpret_cast<HANDLE>(0x5001));
    EXPECT_EQ(buffer, reinterpret_cast<LPWSTR>(0x1234));
    EXPECT_EQ(bytes, 55u);
    EXPECT_EQ(sessions, reinterpret_cast<void*>(0x5678));
    EXPECT_EQ(count, 66u);
    EXPECT_TRUE(fake_wfapi::Calls().empty());
}

TEST_F(WfapiUnloadedTest, FreeMemoryFreesNothingButTracesItsScope) {
    loader_->IWFFreeMemory(reinterpret_cast<void*>(0x1234));
    EXPECT_TRUE(fake_wfapi::Calls().empty());
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{"+ WFAPIDll::IWFFreeMemory, >> in",
                                                       "+ WFAPIDll::IWFFreeMemory, << out - 0 [msec]"}));
}

}  // namespace
}  // namespace citrix_test
