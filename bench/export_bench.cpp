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

sessionctrl::ISessionCtrl& Backend() { return *sessionctrl::CurrentBackend(); }

// One session query three ways: through the export, the backend, and bare.
struct WinStationName {
    std::wstring name;
    void Export() { SessionCtrl::GetWinStationName(kSession, name); }
    void Backend() { ::Backend().GetWinStationName(kSession, name); }
    void Bare() { bench::BareWinStationName(kSession, name); }
};

struct ClientAddress {
    std::wstring address;
    bool local = false;
    void Export() { SessionCtrl::GetClientAddress(kSession, address, local); }
    void Backend() { ::Backend().GetClientAddress(kSession, address, local); }
    void Bare() { bench::BareClientAddress(kSession, address, local); }
};

struct IsConnected {
    void Export() { SessionCtrl::IsConnected(kSession); }
    void Backend() { ::Backend().IsConnected(kSession); }
    void Bare() { bench::BareIsConnected(kSession); }
};

// A machine of four sessions with the backend made, so no run pays for its creation.
void PrepareExportMachine() {
    bench::AttachLibrary();
    bench::PrepareSessionMachine(4);
    SessionCtrl::IsConnected(kSession);
}

template <class Query>
void BM_Export(benchmark::State& state) {
    PrepareExportMachine();
    Query ours;
    Query floor;
    bench::MeasurePair(state, kBatch, [&] { ours.Export(); }, [&] { floor.Bare(); });
    state.counters[bench::kGoalCounter] = 1.3;
}
BENCHMARK_TEMPLATE(BM_Export, WinStationName)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Export, ClientAddress)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Export, IsConnected)->UseRealTime();

template <class Query>
void BM_Backend(benchmark::State& state) {
    PrepareExportMachine();
    Query ours;
    Query floor;
    bench::MeasurePair(state, kBatch, [&] { ours.Backend(); }, [&] { floor.Bare(); });
}
BENCHMARK_TEMPLATE(BM_Backend, WinStationName)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Backend, ClientAddress)->UseRealTime();
BENCHMARK_TEMPLATE(BM_Backend, IsConnected)->UseRealTime();

}  // namespace
