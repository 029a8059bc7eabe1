#include "paired.h"

namespace bench {

void PublishPair(benchmark::State& state, const PairTotals& totals, double items) {
    if (totals.calls == 0) return;
    const double calls = static_cast<double>(totals.calls);
    const double ours = totals.oursNs / calls;
    const double floor = totals.floorNs / calls;
    state.counters[kOursCounter] = ours;
    state.counters[kFloorCounter] = floor;
    state.counters[kRatioCounter] = floor > 0 ? ours / floor : 0;
    if (items > 0) state.counters[kItemsCounter] = items;
}

}  // namespace bench
