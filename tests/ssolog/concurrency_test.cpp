// Four threads tracing at once through every front function: the registry lock is
// taken before the logger's own, so nothing deadlocks and no line is torn or lost.
#include "log_test_support.h"

#include <ssolog/trace.h>

#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace ssolog_test {
namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 150;

class ConcurrentTraceTest : public LogTest {
protected:
    void SetUp() override {
        LogTest::SetUp();
        AssertFirstUseInProcess();
        SwitchOn();
        ssolog::RegisterModuleLogger();
    }
    void TearDown() override {
        ssolog::UnregisterModuleLogger();
        LogTest::TearDown();
    }

    static void Trace(int thread) {
        for (int round = 0; round < kRounds; ++round) {
            const std::wstring text = L"T" + std::to_wstring(thread) + L" " + std::to_wstring(round);
            switch (round % 4) {
                case 0: ssolog::TraceResult(text.c_str(), L"result"); break;
                case 1: ssolog::TraceNumber(text.c_str(), round); break;
                case 2: {
                    const std::string narrow(text.begin(), text.end());
                    ssolog::TraceNumberNarrow(narrow.c_str(), round);
                    break;
                }
                default: {
                    // Refreshes of the configuration happen under the logger's own lock.
                    winsim::AdvanceMs(1000);
                    ssolog::IsTraceEnabled();
                    ssolog::TraceScope scope(text.c_str());
                    break;
                }
            }
        }
    }
};

TEST_F(ConcurrentTraceTest, EveryLineArrivesWholeAndInItsThreadsOrder) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(Trace, t);
    for (auto& thread : threads) thread.join();

    // Rounds 0-2 write one line each, round 3 writes two (scope in and out).
    const size_t perThread = kRounds + kRounds / 4;
    const std::vector<std::string> parts = TextParts(InLogDir(L"session.log"));
    ASSERT_EQ(parts.size(), perThread * kThreads);

    static const std::regex shape(
        R"(^T(\d) (\d+), (result|\d+ \(0x[0-9a-f]+\)|>> in|<< out - \d+ \[msec\])$)");
    std::map<int, int> lastRound;
    for (const std::string& part : parts) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(part, match, shape)) << part;
        const int thread = std::stoi(match[1]);
        const int round = std::stoi(match[2]);
        const auto seen = lastRound.find(thread);
        if (seen != lastRound.end()) {
            EXPECT_GE(round, seen->second) << part;
        }
        lastRound[thread] = round;
    }
    EXPECT_EQ(lastRound.size(), static_cast<size_t>(kThreads));
    EXPECT_EQ(winsim::CountOutstanding().lockedSections, 0);
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 0);
    EXPECT_TRUE(winsim::Misuses().empty());
}

}  // namespace
}  // namespace ssolog_test
