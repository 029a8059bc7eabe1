// The trace front functions and the logger registry: which file each trace reaches and
// its text, before, during and after the library's registration and at process exit.
#include "logger_registry.h"

#include <ssolog/trace.h>
#include <test_support/machine_fixture.h>

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <tuple>

namespace {

using test_support::kDefaultLog;
using test_support::kSessionLog;
using test_support::TraceEntries;
using Lines = std::vector<std::string>;

class FrontTest : public test_support::MachineFixture {
protected:
    // Every front call leaves the caller's last error as it found it.
    template <class Call>
    static void Keep(Call call) {
        SetLastError(1234);
        call();
        EXPECT_EQ(GetLastError(), 1234u);
    }
};

TEST_F(FrontTest, TranscriptAcrossRegistration) {
    Keep([] { ssolog::TraceMessage(L"before"); });
    ssolog::RegisterModuleLogger();
    Keep([] { ssolog::TraceResult(L"r >", L"true"); });
    for (int value : {255, -1, 0, INT_MIN}) Keep([=] { ssolog::TraceNumber(L"n", value); });
    Keep([] { ssolog::TraceNumberNarrow("Gr\xc3\xbc\xc3\x9f" "e", 8); });
    Keep([] { ssolog::TraceNumberNarrow(nullptr, 3); });
    Keep([] { ssolog::TraceMessage(nullptr); });
    winsim::FailCall("MultiByteToWideChar", ERROR_INVALID_PARAMETER);
    Keep([] { ssolog::TraceNumberNarrow("abc", 3); });
    winsim::FailCall("GetModuleHandleExW", ERROR_MOD_NOT_FOUND, 1);
    Keep([] { ssolog::TraceMessage(L"no module"); });
    winsim::SetTickCount(0xFFFFFC00u);  // the millisecond counter wraps inside the scope
    Keep([] {
        try {
            ssolog::TraceScope scope(L"s");
            winsim::AdvanceMs(1500);
            throw 1;
        } catch (int) {
        }
    });
    winsim::FailCall("_wfsopen", ERROR_SHARING_VIOLATION);
    Keep([] { ssolog::TraceMessage(L"held"); });
    // The first logger stays with the line it holds; the second is deleted.
    ssolog::RegisterModuleLogger();
    winsim::ClearFaults();
    ssolog::UnregisterModuleLogger();
    Keep([] { ssolog::TraceMessage(L"after"); });
    ssolog::RegisterModuleLogger();
    ssolog::TraceMessage(L"again");
    ssolog::UnregisterModuleLogger();
    EXPECT_EQ(TraceEntries(kDefaultLog), (Lines{"before,", "no module,", "after,"}));
    EXPECT_EQ(TraceEntries(kSessionLog),
              (Lines{"r >, true", "n, 255 (0xff)", "n, -1 (0xffffffff)", "n, 0 (0x0)",
                     "n, -2147483648 (0x80000000)", "Gr\xc3\xbc\xc3\x9f" "e, 8 (0x8)", ",",
                     ", 3 (0x3)", "s, >> in", "s, << out - 1500 [msec]", "held,",
                     "again,"}));
}

// The switch as IsTraceEnabled sees it: off after 10 s, on again after 2 s. While off
// a narrow text is not even converted.
TEST_F(FrontTest, IsTraceEnabledFollowsTheSwitch) {
    std::string answers;
    const auto ask = [&](unsigned seconds) {
        winsim::AdvanceMs(seconds * 1000);
        Keep([&] { answers += ssolog::IsTraceEnabled() ? '1' : '0'; });
    };
    ask(0);
    test_support::SwitchTracingOff();
    ask(9);
    ask(1);
    ssolog::TraceNumberNarrow("off", 3);
    winsim::SetDword(HKEY_LOCAL_MACHINE, test_support::kLogKey, L"OutputLog", 1);
    ask(1);
    ask(1);
    EXPECT_EQ(answers, "11001");
    EXPECT_EQ(winsim::CallCount("MultiByteToWideChar"), 0u);
    EXPECT_FALSE(test_support::LogExists(kDefaultLog));
}

// A trace waits while another thread holds the registry lock.
TEST_F(FrontTest, TraceWaitsForTheRegistryLock) {
    CRITICAL_SECTION& lock = ssolog::TheRegistry().Lock();
    EnterCriticalSection(&lock);
    std::thread other([] { ssolog::TraceMessage(L"waited"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ssolog::TraceMessage(L"holder");
    LeaveCriticalSection(&lock);
    other.join();
    EXPECT_EQ(TraceEntries(kDefaultLog), (Lines{"holder,", "waited,"}));
}

TEST_F(FrontTest, Utf8ToWide) {
    // narrow text, which conversion call fails (0: none), result, text after
    using Case = std::tuple<const char*, unsigned, bool, std::wstring>;
    for (const auto& [narrow, failing, result, after] :
         {Case{nullptr, 0, false, L"old"}, Case{"", 0, true, L""},
          Case{"\xf0\x9f\x98\x80!", 0, true, L"\U0001F600!"}, Case{"abc", 1, false, L""},
          Case{"abc", 2, false, L""}}) {
        if (failing != 0) winsim::FailCall("MultiByteToWideChar", ERROR_INVALID_PARAMETER, failing);
        std::wstring text = L"old";
        EXPECT_EQ(ssolog::Utf8ToWide(narrow, text), result);
        EXPECT_EQ(text, after);
    }
}

// At exit the default logger and then every logger left in the map (in ascending order
// of module handle, unsigned) write out what they hold; traces made after that, as the
// library's backend does from its destructor, are dropped. Checked by an object destroyed
// after the registry; a failure ends the process with status 1.
struct ExitCheck {
    bool armed = false;
    ~ExitCheck() {
        if (!armed) return;
        ssolog::TraceMessage(L"late");
        ssolog::RegisterModuleLogger();
        ssolog::UnregisterModuleLogger();
        const bool ok = !ssolog::IsTraceEnabled() && winsim::Misuses().empty() &&
                        winsim::CountOutstanding().lockedSections == 0 &&
                        TraceEntries(kDefaultLog) == Lines{"default,"} &&
                        TraceEntries(kSessionLog) == Lines{"module,"} &&
                        TraceEntries(L"C:\\Logs\\DebugSSO\\order.log") == (Lines{"low,", "high,"});
        std::filesystem::remove_all(
            std::filesystem::path(winsim::HostPath(L"C:\\x")).parent_path().parent_path());
        if (!ok) std::fprintf(stderr, "exit check failed\n"), std::_Exit(1);
    }
};
__attribute__((init_priority(101))) ExitCheck g_exitCheck;

// The files must outlive the test, and the loggers it leaves are destroyed at exit.
class ExitTest : public test_support::MachineFixture {
    void TearDown() override {}
};

TEST_F(ExitTest, HeldLinesAreWrittenAndLaterTracesDropped) {
    auto& entries = ssolog::TheRegistry().Entries();
    const auto high = reinterpret_cast<HMODULE>(~uintptr_t{15});
    const auto low = reinterpret_cast<HMODULE>(uintptr_t{16});
    for (HMODULE key : {high, low}) {
        entries.emplace(key, std::make_unique<ssolog::DebugLog>(L"order.log"));
    }
    ssolog::RegisterModuleLogger();
    winsim::FailCall("_wfsopen", ERROR_SHARING_VIOLATION);
    ssolog::TraceMessage(L"module");
    entries.at(high)->WriteLine(L"high", nullptr);
    entries.at(low)->WriteLine(L"low", nullptr);
    winsim::FailCall("GetModuleHandleExW", ERROR_MOD_NOT_FOUND, 1);
    ssolog::TraceMessage(L"default");
    winsim::ClearFaults();
    EXPECT_FALSE(test_support::LogExists(kDefaultLog) || test_support::LogExists(kSessionLog));
    g_exitCheck.armed = true;
}

}  // namespace
