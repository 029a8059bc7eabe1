// The VMware backend: IsLocalSession's process search as the machine grows, against
// the bare enumeration and compare loop; and the IsVdmSession retry path, in simulated
// sleep and in real time without the sleeps.
#include "floors/floors.h"
#include "support/paired.h"
#include "support/sim_machine.h"
#include "support/summary.h"

#include <sessionctrl/SessionCtrl.h>
#include <vmware_view.h>
#include <winsim/machine.h>

#include <cstdint>
#include <numeric>

namespace {

using sessionctrl::SessionCtrl;

constexpr double kScalingGoal = 2.0;
const wchar_t* const kServers[] = {bench::kPCoIPServer, bench::kBlastServer};

// Below View 7, IsLocalSession is the search for the PCoIP server in the caller's
// session; the server runs there last, so the whole list is walked.
void BM_VMwareIsLocalSession(benchmark::State& state) {
    const auto processes = state.range(0);
    bench::AttachLibrary();
    bench::PrepareVMwareMachine(L"6.2.0");
    bench::AddProcesses(static_cast<int>(processes), bench::kPCoIPServer);
    SessionCtrl::IsLocalSession();  // backend made, version and names cached
    const int batch = processes >= 1000 ? 1 : 200;
    bench::MeasurePair(
        state, batch, [] { SessionCtrl::IsLocalSession(); },
        [] { bench::BareFindInOwnSession(kServers, 1); }, static_cast<double>(processes));
    if (processes == 10000) state.counters[bench::kGoalCounter] = kScalingGoal;
}
BENCHMARK(BM_VMwareIsLocalSession)->Arg(10)->Arg(1000)->Arg(10000)->UseRealTime();

std::uint64_t SleptMs() {
    const auto sleeps = winsim::Sleeps();
    return std::accumulate(sleeps.begin(), sleeps.end(), std::uint64_t{0});
}

// The worst case: "SessionData" exists but the session's key never appears, and no
// display-protocol server runs. Simulated Sleep returns at once, so the real time is
// the work alone; the simulated sleep per call is counted apart.
void BM_IsVdmSessionRetry(benchmark::State& state) {
    bench::AttachLibrary();
    bench::PrepareVMwareMachine(L"7.5.1");
    winsim::CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData");
    bench::AddProcesses(100, L"explorer.exe");
    constexpr DWORD kSession = 7;
    const std::uint64_t sleptBefore = SleptMs();
    sessionctrl::vmware::IsVdmSession(kSession);
    const double sleptPerCall = static_cast<double>(SleptMs() - sleptBefore);
    bench::MeasurePair(
        state, 16, [] { sessionctrl::vmware::IsVdmSession(kSession); },
        [] { bench::BareVdmSession(kSession, kServers, 2); });
    state.counters["sim_sleep_ms"] = sleptPerCall;
}
BENCHMARK(BM_IsVdmSessionRetry)->UseRealTime();

}  // namespace
