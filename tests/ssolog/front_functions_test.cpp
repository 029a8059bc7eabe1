// The trace front functions, the logger registry and the module registration.
#include "log_test_support.h"

#include <ssolog/trace.h>

#include <climits>
#include <functional>
#include <stdexcept>
#include <ostream>
#include <string>

namespace ssolog_test {
namespace {

class FrontFunctionTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        AssertFirstUseInProcess();
        SwitchOn();
    }
    void TearDown() override {
        ssolog::UnregisterModuleLogger();
        LogTest::TearDown();
    }
    static std::vector<std::string> Session() { return TextParts(InLogDir(L"session.log")); }
    static std::vector<std::string> Kwarden() { return TextParts(InLogDir(L"kwarden.log")); }
};

using Lines = std::vector<std::string>;

TEST_F(FrontFunctionTest, UnregisteredTracesGoToTheDefaultLogger) {
    ssolog::TraceMessage(L"before");
    ssolog::RegisterModuleLogger();
    ssolog::TraceMessage(L"registered");
    ssolog::UnregisterModuleLogger();
    ssolog::TraceMessage(L"after");
    EXPECT_EQ(Kwarden(), (Lines{"before,", "after,"}));
    EXPECT_EQ(Session(), Lines{"registered,"});
}

// The first logger stays: a line it holds survives the second registration (which
// cannot write) and comes out when it is unregistered; one unregistration removes all.
TEST_F(FrontFunctionTest, SecondRegistrationKeepsTheFirstLogger) {
    ssolog::RegisterModuleLogger();
    winsim::FailCall("_wfsopen", ERROR_SHARING_VIOLATION);
    ssolog::TraceMessage(L"held by the first");
    ssolog::RegisterModuleLogger();
    winsim::ClearFaults();
    EXPECT_TRUE(Session().empty());
    ssolog::UnregisterModuleLogger();
    ssolog::TraceMessage(L"default");
    EXPECT_EQ(Session(), Lines{"held by the first,"});
    EXPECT_EQ(Kwarden(), Lines{"default,"});
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 0);
}

TEST_F(FrontFunctionTest, UnknownModuleHandleFallsBackToTheDefaultLogger) {
    ssolog::RegisterModuleLogger();
    winsim::FailCall("GetModuleHandleExW", ERROR_MOD_NOT_FOUND, 1);
    ssolog::TraceMessage(L"no handle");
    ssolog::TraceMessage(L"handle");
    EXPECT_EQ(Kwarden(), Lines{"no handle,"});
    EXPECT_EQ(Session(), Lines{"handle,"});
    EXPECT_TRUE(winsim::Misuses().empty());
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 0);
}

// name, call, text part written (empty: nothing written)
struct FrontCall {
    const char* name;
    std::function<void()> call;
    const char* written;
};

void PrintTo(const FrontCall& c, std::ostream* out) { *out << c.name; }

const FrontCall kFrontCalls[] = {
    {"TraceMessage", [] { ssolog::TraceMessage(L"m"); }, "m,"},
    {"TraceResult", [] { ssolog::TraceResult(L"r >", L"true"); }, "r >, true"},
    {"TraceNumber", [] { ssolog::TraceNumber(L"n", 7); }, "n, 7 (0x7)"},
    // Narrow text is UTF-8.
    {"TraceNumberNarrow", [] { ssolog::TraceNumberNarrow("Gr\xc3\xbc\xc3\x9f" "e", 8); },
     "Gr\xc3\xbc\xc3\x9f" "e, 8 (0x8)"},
    {"IsTraceEnabled", [] { EXPECT_TRUE(ssolog::IsTraceEnabled()); }, ""},
    {"TraceScope", [] { ssolog::TraceScope scope(L"s"); }, "s, >> in"},
};

class FrontCallTest : public FrontFunctionTest, public ::testing::WithParamInterface<FrontCall> {
protected:
    void SetUp() override {
        FrontFunctionTest::SetUp();
        ssolog::RegisterModuleLogger();
    }
    static void Call() { GetParam().call(); }
};

TEST_P(FrontCallTest, WritesToTheModuleLog) {
    Call();
    const std::string expected = GetParam().written;
    if (expected.empty()) {
        EXPECT_FALSE(Exists(InLogDir(L"session.log")));
    } else {
        ASSERT_FALSE(Session().empty());
        EXPECT_EQ(Session().front(), expected);
    }
    EXPECT_FALSE(Exists(InLogDir(L"kwarden.log")));
}

// Creating the directory, checking the size and failing opens all set the last error.
TEST_P(FrontCallTest, LeavesTheLastErrorAsItWas) {
    SetLastError(1234);
    Call();
    EXPECT_EQ(GetLastError(), 1234u);
    winsim::FailCall("_wfsopen", ERROR_ACCESS_DENIED);
    SetLastError(4321);
    Call();
    EXPECT_EQ(GetLastError(), 4321u);
}

// The handle is obtained anew by every call and given back every time.
TEST_P(FrontCallTest, TakesAndGivesBackOneModuleReferencePerRegistryVisit) {
    const unsigned before = winsim::CallCount("GetModuleHandleExW");
    Call();
    Call();
    EXPECT_GT(winsim::CallCount("GetModuleHandleExW"), before + 1);
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 0);
    EXPECT_EQ(winsim::CountOutstanding().lockedSections, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, FrontCallTest, ::testing::ValuesIn(kFrontCalls),
    [](const ::testing::TestParamInfo<FrontCall>& c) { return std::string(c.param.name); });

using NumberCase = std::pair<int, const char*>;

class TraceNumberTest : public FrontFunctionTest, public ::testing::WithParamInterface<NumberCase> {};

TEST_P(TraceNumberTest, DecimalThenLowerCaseHex) {
    ssolog::TraceNumber(L"x", GetParam().first);
    EXPECT_EQ(Kwarden(), Lines{GetParam().second});
}

INSTANTIATE_TEST_SUITE_P(Values, TraceNumberTest,
                         ::testing::Values(NumberCase{255, "x, 255 (0xff)"},
                                           NumberCase{-1, "x, -1 (0xffffffff)"},
                                           NumberCase{0, "x, 0 (0x0)"},
                                           NumberCase{INT_MIN, "x, -2147483648 (0x80000000)"},
                                           NumberCase{7022, "x, 7022 (0x1b6e)"}));

TEST_F(FrontFunctionTest, NullMessageIsALoneComma) {
    ssolog::TraceMessage(nullptr);
    ssolog::TraceResult(nullptr, nullptr);
    EXPECT_EQ(Kwarden(), (Lines{",", ","}));
}

TEST_F(FrontFunctionTest, NullNarrowTextWritesAndAsksNothing) {
    ssolog::TraceNumberNarrow(nullptr, 3);
    EXPECT_FALSE(Exists(InLogDir(L"kwarden.log")));
    EXPECT_EQ(winsim::CallCount("GetModuleHandleExW"), 0u);
}

TEST_F(FrontFunctionTest, NarrowTextIsNotConvertedWhileOff) {
    SetOutputLog(0);
    ssolog::TraceNumberNarrow("off", 3);
    EXPECT_EQ(winsim::CallCount("MultiByteToWideChar"), 0u);
    EXPECT_FALSE(Exists(InLogDir(L"kwarden.log")));
}

TEST_F(FrontFunctionTest, FailedNarrowConversionTracesAnEmptyText) {
    winsim::FailCall("MultiByteToWideChar", ERROR_INVALID_PARAMETER);
    ssolog::TraceNumberNarrow("abc", 3);
    EXPECT_EQ(Kwarden(), Lines{", 3 (0x3)"});
}

TEST_F(FrontFunctionTest, IsTraceEnabledFollowsTheSwitch) {
    EXPECT_TRUE(ssolog::IsTraceEnabled());
    SetOutputLog(0);
    AdvanceSeconds(10);
    EXPECT_FALSE(ssolog::IsTraceEnabled());
    SetOutputLog(1);
    AdvanceSeconds(1);
    EXPECT_FALSE(ssolog::IsTraceEnabled());
    AdvanceSeconds(1);
    EXPECT_TRUE(ssolog::IsTraceEnabled());
    EXPECT_FALSE(Exists(InLogDir(L"kwarden.log")));
}

// The elapsed milliseconds, also when the tick counter wraps inside the scope.
TEST_F(FrontFunctionTest, ScopeReportsTheElapsedMilliseconds) {
    {
        ssolog::TraceScope scope(L"+ WFAPIDll::IWFOpenServerW");
        winsim::AdvanceMs(1500);
    }
    winsim::SetTickCount(0xFFFFFF00u);
    {
        ssolog::TraceScope scope(L"wrap");
        winsim::AdvanceMs(0x200);
    }
    EXPECT_EQ(Kwarden(), (Lines{"+ WFAPIDll::IWFOpenServerW, >> in", "+ WFAPIDll::IWFOpenServerW, << out - 1500 [msec]",
                                "wrap, >> in", "wrap, << out - 512 [msec]"}));
}

TEST_F(FrontFunctionTest, ScopeLeftByAnExceptionStillWritesItsExit) {
    try {
        ssolog::TraceScope scope(L"Release");
        winsim::AdvanceMs(20);
        throw std::runtime_error("leaving");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(Kwarden(), (Lines{"Release, >> in", "Release, << out - 20 [msec]"}));
}


}  // namespace
}  // namespace ssolog_test
