// The simulated clock, thread ids and critical sections.
#include "winsim_test.h"

#include <atomic>
#include <thread>

namespace {

using ClockTest = FreshMachine;

TEST_F(ClockTest, FreshMachineStartsAtTheDocumentedLocalTime) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 2026);
    EXPECT_EQ(now.wMonth, 12);
    EXPECT_EQ(now.wDay, 4);
    EXPECT_EQ(now.wDayOfWeek, 5);  // a Friday
    EXPECT_EQ(now.wHour, 9);
    EXPECT_EQ(now.wMinute, 5);
    EXPECT_EQ(now.wSecond, 3);
    EXPECT_EQ(now.wMilliseconds, 42);
    EXPECT_EQ(_time64(nullptr), 1796375103);
}

TEST_F(ClockTest, SleepAdvancesEveryClockWithoutBlockingAndIsRecorded) {
    const DWORD tick = timeGetTime();
    Sleep(1500);
    Sleep(10);
    EXPECT_EQ(timeGetTime() - tick, 1510u);
    __time64_t seconds = 0;
    EXPECT_EQ(_time64(&seconds), 1796375104);
    EXPECT_EQ(seconds, 1796375104);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_EQ(now.wSecond, 4);
    EXPECT_EQ(now.wMilliseconds, 552);
    EXPECT_EQ(winsim::Sleeps(), (std::vector<DWORD>{1500, 10}));
}

TEST_F(ClockTest, TickCountWrapsAt32Bits) {
    winsim::SetTickCount(0xFFFFFFF0u);
    const DWORD start = timeGetTime();
    winsim::AdvanceMs(0x20);
    EXPECT_EQ(timeGetTime(), 0x10u);
    EXPECT_EQ(timeGetTime() - start, 0x20u);
}

TEST_F(ClockTest, SettingTimeMovesLocalTimeAcrossMonthsAndBack) {
    winsim::SetLocalTime(2028, 2, 29, 23, 59, 59, 999);
    winsim::AdvanceMs(1);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    EXPECT_EQ(now.wMonth, 3);
    EXPECT_EQ(now.wDay, 1);
    EXPECT_EQ(now.wHour, 0);
    winsim::SetTime64(0);
    GetLocalTime(&now);
    EXPECT_EQ(now.wYear, 1970);
    EXPECT_EQ(now.wDayOfWeek, 4);  // a Thursday
}

using ThreadTest = FreshMachine;

TEST_F(ThreadTest, ThreadIdsAreSmallAndGivenInOrderOfFirstUse) {
    EXPECT_EQ(GetCurrentThreadId(), 5120u);
    DWORD other = 0;
    std::thread([&] { other = GetCurrentThreadId(); }).join();
    EXPECT_EQ(other, 5124u);
    EXPECT_EQ(GetCurrentThreadId(), 5120u);
    winsim::SetCurrentThreadId(1234567);
    EXPECT_EQ(GetCurrentThreadId(), 1234567u);
    EXPECT_EQ(GetCurrentProcessId(), 4711u);
    DWORD session = 0;
    EXPECT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    EXPECT_EQ(session, 1u);
}

class CriticalSectionTest : public LeakCheckedMachine {
protected:
    void SetUp() override {
        LeakCheckedMachine::SetUp();
        InitializeCriticalSection(&section_);
    }
    void TearDown() override {
        DeleteCriticalSection(&section_);
        LeakCheckedMachine::TearDown();
    }
    CRITICAL_SECTION section_{};
};

TEST_F(CriticalSectionTest, ExcludesOtherThreads) {
    long counter = 0;  // deliberately not atomic: only the section protects it
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            EnterCriticalSection(&section_);
            const long seen = counter;
            std::this_thread::yield();
            counter = seen + 1;
            LeaveCriticalSection(&section_);
        }
    };
    std::thread first(work), second(work);
    first.join();
    second.join();
    EXPECT_EQ(counter, 40000);
}

TEST_F(CriticalSectionTest, SecondThreadWaitsUntilTheOwnerLeaves) {
    EnterCriticalSection(&section_);
    std::atomic<bool> entered{false};
    std::thread other([&] {
        EnterCriticalSection(&section_);
        entered = true;
        LeaveCriticalSection(&section_);
    });
    for (int i = 0; i < 1000; ++i) std::this_thread::yield();
    EXPECT_FALSE(entered);
    LeaveCriticalSection(&section_);
    other.join();
    EXPECT_TRUE(entered);
}

TEST_F(CriticalSectionTest, IsReentrantAndCountsWhatIsStillEntered) {
    EXPECT_EQ(winsim::CountOutstanding().criticalSections, 1);
    EnterCriticalSection(&section_);
    EnterCriticalSection(&section_);
    EXPECT_EQ(section_.RecursionCount, 2);
    LeaveCriticalSection(&section_);
    EXPECT_EQ(winsim::CountOutstanding().lockedSections, 1);
    LeaveCriticalSection(&section_);
    EXPECT_EQ(winsim::CountOutstanding().lockedSections, 0);
}

TEST_F(CriticalSectionTest, LeavingWithoutOwningIsMisuse) {
    EnterCriticalSection(&section_);
    std::thread([&] { LeaveCriticalSection(&section_); }).join();
    EXPECT_EQ(winsim::Misuses().size(), 1u);
    EXPECT_EQ(winsim::CountOutstanding().lockedSections, 1);
    LeaveCriticalSection(&section_);
}

}  // namespace
