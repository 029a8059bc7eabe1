// The cost of a trace: with logging off against an empty call and against a written
// line; a written line against the bare open-append, write and close it cannot avoid; and
// the writers' lock a written line takes, against the same bare line without it.
#include "floors/line_floor.h"
#include "support/log_machine.h"
#include "support/paired.h"
#include "support/summary.h"

#include <platform/win32.h>
#include <ssolog/trace.h>

#include <string>

namespace {

constexpr const wchar_t* kText = L"GetClientAddress >";
constexpr const wchar_t* kDetail = L"192.0.2.10";

// The cheapest thing a trace call could be: a call that does nothing.
__attribute__((noinline)) void EmptyCall(const wchar_t* text, const wchar_t* detail) {
    asm volatile("" : : "r"(text), "r"(detail) : "memory");
}

void BM_TraceLogOff(benchmark::State& state) {
    bench::PrepareLogMachine(false);
    bench::MeasurePair(
        state, 1024, [] { ssolog::TraceResult(kText, kDetail); },
        [] { EmptyCall(kText, kDetail); });
}
BENCHMARK(BM_TraceLogOff)->UseRealTime();

// One traced line on a logging machine: the bytes a bare write repeats; empty (and the
// benchmark skipped) when logging did not write it.
std::string FirstTracedLine(benchmark::State& state, const std::wstring& path) {
    ssolog::TraceResult(kText, kDetail);
    std::string line = bench::LastLine(path);
    if (line.size() < 2) {
        state.SkipWithError("logging did not write a line");
        line.clear();
    }
    return line;
}

void BM_WrittenLine(benchmark::State& state) {
    const std::wstring path = bench::PrepareLogMachine(true);
    const std::string line = FirstTracedLine(state, path);
    if (line.empty()) return;
    bench::MeasurePair(
        state, 8, [] { ssolog::TraceResult(kText, kDetail); },
        [&] { bench::WriteLineBare(path, line); });
    state.counters[bench::kGoalCounter] = 1.2;
}
BENCHMARK(BM_WrittenLine)->UseRealTime();

// The writers' lock alone: the same bare line with and without it, in one loop.
void BM_LineLock(benchmark::State& state) {
    const std::wstring path = bench::PrepareLogMachine(true);
    const std::string line = FirstTracedLine(state, path);
    if (line.empty()) return;
    bench::MeasurePair(
        state, 8, [&] { bench::WriteLineLocked(path, line); },
        [&] { bench::WriteLineBare(path, line); });
    state.counters[bench::kGoalCounter] = 1.05;
}
BENCHMARK(BM_LineLock)->UseRealTime();

const bool kLogOffAgainstLine =
    bench::DeclareCrossRatio({"BM_TraceLogOff/real_time", "BM_WrittenLine/real_time", 0.01});

}  // namespace
