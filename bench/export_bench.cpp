// The exports end to end (logging off) against the bare Terminal Services calls the
// backend makes on the same simulated machine; the backend called directly shows how
// much of the difference is the export's own (backend check, trace).
#include "floors/floors.h"
#include "support/paired.h"
#include "support/sim_machine.h"
#include "support/summary.h"

#include <environment.h>
#include <sessionctrl/SessionCtrl.h>

#include <string>

namespace {

using sessionctrl::SessionCtrl;

constexpr DWORD kSession = 2;
constexpr int kBatch = 64;
constexpr double kExportGoal = 1.3;

// A machine of four sessions with the backend made, so no run pays for its creation.
void PrepareExportMachine() {
    bench::AttachLibrary();
    bench::PrepareSessionMachine(4);
    SessionCtrl::IsConnected(kSession);
}

sessionctrl::ISessionCtrl& Backend() { return *sessionctrl::CurrentBackend(); }

void BM_ExportGetWinStationName(benchmark::State& state) {
    PrepareExportMachine();
    std::wstring ours;
    std::wstring floor;
    bench::MeasurePair(
        state, kBatch, [&] { SessionCtrl::GetWinStationName(kSession, ours); },
        [&] { bench::BareWinStationName(kSession, floor); });
    state.counters[bench::kGoalCounter] = kExportGoal;
}
BENCHMARK(BM_ExportGetWinStationName)->UseRealTime();

void BM_ExportGetClientAddress(benchmark::State& state) {
    PrepareExportMachine();
    std::wstring ours;
    std::wstring floor;
    bool local = false;
    bench::MeasurePair(
        state, kBatch, [&] { SessionCtrl::GetClientAddress(kSession, ours, local); },
        [&] { bench::BareClientAddress(kSession, floor, local); });
    state.counters[bench::kGoalCounter] = kExportGoal;
}
BENCHMARK(BM_ExportGetClientAddress)->UseRealTime();

void BM_ExportIsConnected(benchmark::State& state) {
    PrepareExportMachine();
    bench::MeasurePair(
        state, kBatch, [] { SessionCtrl::IsConnected(kSession); },
        [] { bench::BareIsConnected(kSession); });
    state.counters[bench::kGoalCounter] = kExportGoal;
}
BENCHMARK(BM_ExportIsConnected)->UseRealTime();

void BM_BackendGetWinStationName(benchmark::State& state) {
    PrepareExportMachine();
    std::wstring ours;
    std::wstring floor;
    bench::MeasurePair(
        state, kBatch, [&] { Backend().GetWinStationName(kSession, ours); },
        [&] { bench::BareWinStationName(kSession, floor); });
}
BENCHMARK(BM_BackendGetWinStationName)->UseRealTime();

void BM_BackendGetClientAddress(benchmark::State& state) {
    PrepareExportMachine();
    std::wstring ours;
    std::wstring floor;
    bool local = false;
    bench::MeasurePair(
        state, kBatch, [&] { Backend().GetClientAddress(kSession, ours, local); },
        [&] { bench::BareClientAddress(kSession, floor, local); });
}
BENCHMARK(BM_BackendGetClientAddress)->UseRealTime();

void BM_BackendIsConnected(benchmark::State& state) {
    PrepareExportMachine();
    bench::MeasurePair(
        state, kBatch, [] { Backend().IsConnected(kSession); },
        [] { bench::BareIsConnected(kSession); });
}
BENCHMARK(BM_BackendIsConnected)->UseRealTime();

}  // namespace
