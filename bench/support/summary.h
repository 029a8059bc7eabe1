// The figures that matter, after the run: for every paired benchmark the median of
// its repeated runs (ours, floor, and the ratio taken within each run), the goal it
// declared and whether it was met; then the declared ratios between two benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace bench {

// A benchmark declares its goal as this counter: the highest acceptable ratio.
inline constexpr const char* kGoalCounter = "goal";

struct Sample {
    double oursNs = 0;
    double floorNs = 0;
    double ratio = 0;
    double items = 0;
    double goal = 0;  // 0: none declared
};

// Samples of one run, by benchmark name. `order` lists the names in the order the
// benchmarks were registered (family, then instance), whatever order they ran in.
struct Samples {
    using Rank = std::pair<long long, long long>;
    std::vector<std::string> order;
    std::map<std::string, std::vector<Sample>> byName;
    void Add(const std::string& name, const Sample& sample, Rank rank = {0, 0});

private:
    std::map<std::string, Rank> ranks_;
};

// The "ours" time of one benchmark against that of another (e.g. a trace call with
// logging off against a written line).
struct CrossRatio {
    std::string numerator;
    std::string denominator;
    double goal = 0;  // 0: informative only
};
// Called from a static initialiser of the benchmark file that owns both sides.
bool DeclareCrossRatio(const CrossRatio& ratio);
const std::vector<CrossRatio>& DeclaredCrossRatios();

double Median(std::vector<double> values);

struct SummaryRow {
    std::string name;
    std::size_t runs = 0;
    double oursNs = 0;
    double floorNs = 0;  // 0 for a cross ratio
    double ratio = 0;
    double goal = 0;
    double nsPerItem = 0;  // 0 when the benchmark has no machine size
    bool met = true;
};

std::vector<SummaryRow> Summarise(const Samples& samples);
// Rows for the declared cross ratios whose two sides both ran; others are left out.
std::vector<SummaryRow> SummariseCrossRatios(const Samples& samples,
                                             const std::vector<CrossRatio>& ratios);
void PrintSummary(std::ostream& out, const std::vector<SummaryRow>& pairs,
                  const std::vector<SummaryRow>& crossRatios);

// The console reporter that also keeps the samples for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    SummaryReporter() : benchmark::ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& reports) override;
    const Samples& Collected() const { return samples_; }

private:
    Samples samples_;
};

}  // namespace bench
