// Eight host threads calling the exports and the front functions at once while the
// log's configuration is refreshed and the file is moved to its backup: every line
// arrives whole, none is missing, and each thread's lines keep that thread's order.
#include "log_lines.h"
#include "sweep_machine.h"

#include <sessionctrl/SessionCtrl.h>
#include <ssolog/trace.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

namespace reliability {
namespace {

using sessionctrl::SessionCtrl;

constexpr int kThreads = 8;
constexpr int kRounds = 200;
constexpr DWORD kFirstThreadId = 7000;
// Small enough that the file is over it when the size check comes due mid-run.
constexpr DWORD kLogSize = 64 * 1024;
// Simulated time each round adds: the whole run spans 16 s, so the configuration and
// the size are checked once more after the first line (both are due every 10 s) and the
// file is moved to its backup exactly once; one backup generation then keeps every line.
constexpr uint64_t kMsPerRound = 10;

// The lines thread `thread` writes in round `round`, in order.
std::vector<std::string> ExpectedTexts(int thread, int round) {
    const std::string tag = "W" + std::to_string(thread);
    char number[32];
    std::snprintf(number, sizeof number, "%d (0x%x)", round, static_cast<unsigned>(round));
    switch (round % 5) {
        case 0: return {tag + ", " + number, "IsConnected >, true"};
        case 1: return {tag + ",", "GetWinStationName2 >, RDP-Tcp#5"};
        case 2: return {tag + " >, " + std::to_string(round), "GetSessionUserName >, bob"};
        case 3: return {tag + ", " + number, "GetLoggedOnWinDomain >, CORVANE"};
        default: return {tag + ", >> in", tag + ", << out - # [msec]"};
    }
}

void Work(int thread) {
    winsim::SetCurrentThreadId(kFirstThreadId + static_cast<DWORD>(thread));
    const std::wstring tag = L"W" + std::to_wstring(thread);
    const std::string narrowTag(tag.begin(), tag.end());
    std::wstring text;
    for (int round = 0; round < kRounds; ++round) {
        winsim::AdvanceMs(kMsPerRound);
        switch (round % 5) {
            case 0:
                ssolog::TraceNumber(tag.c_str(), round);
                SessionCtrl::IsConnected(kOtherSession);
                break;
            case 1:
                ssolog::TraceMessage(tag.c_str());
                SessionCtrl::GetWinStationName(kOtherSession, text);
                break;
            case 2:
                ssolog::TraceResult((tag + L" >").c_str(), std::to_wstring(round).c_str());
                SessionCtrl::GetSessionUserName(kOtherSession, text);
                break;
            case 3:
                ssolog::TraceNumberNarrow(narrowTag.c_str(), round);
                SessionCtrl::GetLoggedOnWinDomain(kOtherSession, text);
                break;
            default: {
                ssolog::TraceScope scope(tag.c_str());
                SessionCtrl::FindProcess(kOtherSession, L"explorer.exe");
                break;
            }
        }
    }
}

class ConcurrencyTest : public testing::Test {
protected:
    void SetUp() override {
        AssertFirstUseInProcess();
        PrepareMachine(Product::Plain, files_.path());
        winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogSize", kLogSize);
        baseline_ = winsim::CountOutstanding();
        library_ = std::make_unique<AttachedLibrary>();
    }
    void TearDown() override {
        library_.reset();
        EXPECT_EQ(Leftovers(baseline_), "");
    }

    TempDirectory files_;
    winsim::Outstanding baseline_;
    std::unique_ptr<AttachedLibrary> library_;
};

TEST_F(ConcurrencyTest, EightThreadsLoseNoLineAcrossRefreshAndRotation) {
    // The backend exists before the threads start, so its traces are not theirs.
    ASSERT_TRUE(SessionCtrl::IsConnected(kOtherSession));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(Work, t);
    for (std::thread& thread : threads) thread.join();

    const std::string log = winsim::HostPath(kSessionLog);
    std::FILE* backup = std::fopen((log + ".bak").c_str(), "rb");
    ASSERT_NE(backup, nullptr) << "the file was never moved to its backup";
    std::fclose(backup);
    const LogContent content = ReadLog({log + ".bak", log});
    EXPECT_EQ(content.torn, 0u);

    // Other threads move the clock while a scope is open, so its duration varies.
    static const std::regex duration("<< out - \\d+ \\[msec\\]$");
    std::map<long, std::vector<std::string>> byThread;
    for (const LogLine& line : content.lines)
        byThread[line.tid].push_back(std::regex_replace(line.text, duration, "<< out - # [msec]"));
    std::size_t written = 0;
    std::size_t found = 0;
    for (int t = 0; t < kThreads; ++t) {
        std::vector<std::string> expected;
        for (int round = 0; round < kRounds; ++round) {
            for (std::string& text : ExpectedTexts(t, round)) expected.push_back(std::move(text));
        }
        const auto& lines = byThread[kFirstThreadId + t];
        EXPECT_EQ(lines, expected) << "thread " << t;
        written += expected.size();
        found += lines.size();
    }
    std::printf("CONCURRENCY threads=%d written=%zu found=%zu lost=%zu torn=%zu\n", kThreads,
                written, found, written - std::min(written, found), content.torn);
}

}  // namespace
}  // namespace reliability
