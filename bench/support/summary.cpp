#include "summary.h"

#include "paired.h"

#include <algorithm>
#include <cstdio>

namespace bench {
namespace {

double CounterOr(const benchmark::UserCounters& counters, const char* name, double fallback) {
    const auto found = counters.find(name);
    return found == counters.end() ? fallback : found->second.value;
}

template <class Field>
double MedianOf(const std::vector<Sample>& samples, Field field) {
    std::vector<double> values;
    values.reserve(samples.size());
    for (const Sample& sample : samples) values.push_back(sample.*field);
    return Median(values);
}

bool Meets(double ratio, double goal) { return goal <= 0 || ratio <= goal; }

void PrintRow(std::ostream& out, const SummaryRow& row) {
    char line[256];
    char goal[32] = "";
    if (row.goal > 0) std::snprintf(goal, sizeof goal, "<= %.3g", row.goal);
    char perItem[32] = "";
    if (row.nsPerItem > 0) std::snprintf(perItem, sizeof perItem, "%.2f", row.nsPerItem);
    char floor[32] = "";
    if (row.floorNs > 0) std::snprintf(floor, sizeof floor, "%.1f", row.floorNs);
    const char* verdict = row.goal > 0 ? (row.met ? "met" : "MISSED") : "";
    std::snprintf(line, sizeof line, "%-52s %4zu %12.1f %12s %9.4f %10s %-7s %10s\n",
                  row.name.c_str(), row.runs, row.oursNs, floor, row.ratio, goal, verdict,
                  perItem);
    out << line;
}

std::vector<CrossRatio>& CrossRatioRegistry() {
    static std::vector<CrossRatio> registry;
    return registry;
}

}  // namespace

void Samples::Add(const std::string& name, const Sample& sample, Rank rank) {
    auto& list = byName[name];
    list.push_back(sample);
    if (list.size() > 1) return;
    ranks_[name] = rank;
    // Stable: names of equal rank keep the order they first came in.
    const auto place = std::upper_bound(order.begin(), order.end(), rank,
                                        [&](const Rank& value, const std::string& other) {
                                            return value < ranks_.at(other);
                                        });
    order.insert(place, name);
}

bool DeclareCrossRatio(const CrossRatio& ratio) {
    CrossRatioRegistry().push_back(ratio);
    return true;
}

const std::vector<CrossRatio>& DeclaredCrossRatios() { return CrossRatioRegistry(); }

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    if (values.size() % 2 == 1) return values[middle];
    return (values[middle - 1] + values[middle]) / 2;
}

std::vector<SummaryRow> Summarise(const Samples& samples) {
    std::vector<SummaryRow> rows;
    for (const std::string& name : samples.order) {
        const std::vector<Sample>& list = samples.byName.at(name);
        SummaryRow row;
        row.name = name;
        row.runs = list.size();
        row.oursNs = MedianOf(list, &Sample::oursNs);
        row.floorNs = MedianOf(list, &Sample::floorNs);
        row.ratio = MedianOf(list, &Sample::ratio);
        row.goal = list.front().goal;
        const double items = list.front().items;
        row.nsPerItem = items > 0 ? row.oursNs / items : 0;
        row.met = Meets(row.ratio, row.goal);
        rows.push_back(row);
    }
    return rows;
}

std::vector<SummaryRow> SummariseCrossRatios(const Samples& samples,
                                             const std::vector<CrossRatio>& ratios) {
    std::vector<SummaryRow> rows;
    for (const CrossRatio& ratio : ratios) {
        const auto numerator = samples.byName.find(ratio.numerator);
        const auto denominator = samples.byName.find(ratio.denominator);
        if (numerator == samples.byName.end() || denominator == samples.byName.end()) continue;
        SummaryRow row;
        row.name = ratio.numerator + " / " + ratio.denominator;
        row.runs = std::min(numerator->second.size(), denominator->second.size());
        row.oursNs = MedianOf(numerator->second, &Sample::oursNs);
        const double below = MedianOf(denominator->second, &Sample::oursNs);
        row.ratio = below > 0 ? row.oursNs / below : 0;
        row.goal = ratio.goal;
        row.met = Meets(row.ratio, row.goal);
        rows.push_back(row);
    }
    return rows;
}

void PrintSummary(std::ostream& out, const std::vector<SummaryRow>& pairs,
                  const std::vector<SummaryRow>& crossRatios) {
    if (pairs.empty() && crossRatios.empty()) return;
    char header[256];
    std::snprintf(header, sizeof header, "%-52s %4s %12s %12s %9s %10s %-7s %10s\n",
                  "ours against its floor (medians)", "runs", "ours ns", "floor ns", "ratio",
                  "goal", "", "ns/item");
    out << '\n' << header;
    for (const SummaryRow& row : pairs) PrintRow(out, row);
    if (crossRatios.empty()) return;
    std::snprintf(header, sizeof header, "%-52s %4s %12s %12s %9s %10s\n",
                  "ours against another benchmark", "runs", "ours ns", "", "ratio", "goal");
    out << '\n' << header;
    for (const SummaryRow& row : crossRatios) PrintRow(out, row);
}

void SummaryReporter::ReportRuns(const std::vector<Run>& reports) {
    for (const Run& run : reports) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
        const auto& counters = run.counters;
        if (counters.find(kOursCounter) == counters.end()) continue;
        Sample sample;
        sample.oursNs = CounterOr(counters, kOursCounter, 0);
        sample.floorNs = CounterOr(counters, kFloorCounter, 0);
        sample.ratio = CounterOr(counters, kRatioCounter, 0);
        sample.items = CounterOr(counters, kItemsCounter, 0);
        sample.goal = CounterOr(counters, kGoalCounter, 0);
        samples_.Add(run.benchmark_name(), sample,
                     {run.family_index, run.per_family_instance_index});
    }
    benchmark::ConsoleReporter::ReportRuns(reports);
}

}  // namespace bench
