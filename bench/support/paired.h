// Measures one of our operations and its floor in the same loop: each benchmark
// iteration times a batch of ours and a batch of the floor back to back, the order
// swapped every iteration, so both see the same machine state, caches and noise.
// The per-call times and their ratio become counters of the run.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace bench {

// Counter names shared with the summary.
inline constexpr const char* kOursCounter = "ours_ns";
inline constexpr const char* kFloorCounter = "floor_ns";
inline constexpr const char* kRatioCounter = "ratio";
inline constexpr const char* kItemsCounter = "items";

struct PairTotals {
    double oursNs = 0;
    double floorNs = 0;
    std::uint64_t calls = 0;
};

// Kept out of line, one instance per side, so that a profile (callgrind) shows ours and
// the floor as two functions of their own.
template <class Body>
__attribute__((noinline)) double TimeBatchNs(Body& body, int batch) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < batch; ++i) body();
    const auto stop = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(stop - start).count();
}

// Publishes per-call times and the ratio ours / floor. `items` (the machine size a
// scaling benchmark ran with) is published too when non-zero.
void PublishPair(benchmark::State& state, const PairTotals& totals, double items = 0);

// `batch` calls of each per iteration: large enough that one batch lasts several
// microseconds, so the clock reads do not weigh on cheap operations.
template <class Ours, class Floor>
void MeasurePair(benchmark::State& state, int batch, Ours ours, Floor floor, double items = 0) {
    PairTotals totals;
    bool oursFirst = true;
    for (auto _ : state) {
        if (oursFirst) {
            totals.oursNs += TimeBatchNs(ours, batch);
            totals.floorNs += TimeBatchNs(floor, batch);
        } else {
            totals.floorNs += TimeBatchNs(floor, batch);
            totals.oursNs += TimeBatchNs(ours, batch);
        }
        oursFirst = !oursFirst;
        totals.calls += static_cast<std::uint64_t>(batch);
    }
    PublishPair(state, totals, items);
}

}  // namespace bench
