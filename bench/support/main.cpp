// Runs the benchmarks of one executable, then prints the summary of ratios.
// Goals are reported, never enforced: the exit code only tells whether it ran.
#include "summary.h"

#include <benchmark/benchmark.h>

#include <iostream>

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    bench::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const bench::Samples& samples = reporter.Collected();
    bench::PrintSummary(std::cout, bench::Summarise(samples),
                        bench::SummariseCrossRatios(samples, bench::DeclaredCrossRatios()));
    benchmark::Shutdown();
    return 0;
}
