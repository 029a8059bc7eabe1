// How the cost grows with the machine: the session list with 1 to 10,000 sessions and
// the process search with 10 to 10,000 processes, each against the bare enumeration
// and compare loop. Linear growth shows as a steady ns/item in the summary.
#include "floors/floors.h"
#include "support/paired.h"
#include "support/sim_machine.h"
#include "support/summary.h"

#include <sessionctrl/SessionCtrl.h>

#include <list>

namespace {

using sessionctrl::ISessionCtrl;
using sessionctrl::SessionCtrl;

constexpr const wchar_t* kSearched = L"Searched.exe";
constexpr double kScalingGoal = 2.0;

// Batches of at least some microseconds at every size.
int BatchFor(long long items) { return items >= 1000 ? 1 : static_cast<int>(2000 / items) + 1; }

void BM_GetAllWinStationName(benchmark::State& state) {
    const auto sessions = state.range(0);
    bench::AttachLibrary();
    bench::PrepareSessionMachine(static_cast<int>(sessions));
    std::list<ISessionCtrl::SESSION_INFO> ours;
    std::list<ISessionCtrl::SESSION_INFO> floor;
    bench::MeasurePair(
        state, BatchFor(sessions),
        [&] {
            ours.clear();
            SessionCtrl::GetAllWinStationName(ours);
        },
        [&] {
            floor.clear();
            bench::BareAllSessions(floor);
        },
        static_cast<double>(sessions));
    if (sessions == 10000) state.counters[bench::kGoalCounter] = kScalingGoal;
}
BENCHMARK(BM_GetAllWinStationName)->Arg(1)->Arg(100)->Arg(1000)->Arg(10000)->UseRealTime();

void BM_FindProcess(benchmark::State& state) {
    const auto processes = state.range(0);
    bench::AttachLibrary();
    bench::PrepareSessionMachine(4);
    bench::AddProcesses(static_cast<int>(processes), kSearched);
    bench::MeasurePair(
        state, BatchFor(processes), [] { SessionCtrl::FindProcess(0, kSearched); },
        [] { bench::BareFindProcess(0, kSearched); }, static_cast<double>(processes));
    if (processes == 10000) state.counters[bench::kGoalCounter] = kScalingGoal;
}
BENCHMARK(BM_FindProcess)->Arg(10)->Arg(1000)->Arg(10000)->UseRealTime();

}  // namespace
