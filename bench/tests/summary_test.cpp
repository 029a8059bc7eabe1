// The summary turns repeated runs into the figures quoted in the README: medians, the
// ratio taken within each run, goals met or missed, cost per item, cross ratios.
#include "support/paired.h"
#include "support/summary.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace bench {
namespace {

struct MedianCase {
    const char* name;
    std::vector<double> values;
    double median;
};

void PrintTo(const MedianCase& c, std::ostream* out) { *out << c.name; }

class MedianTest : public testing::TestWithParam<MedianCase> {};

TEST_P(MedianTest, TakesTheMiddleOrTheMeanOfTheTwoMiddles) {
    EXPECT_DOUBLE_EQ(Median(GetParam().values), GetParam().median);
}

// Named cases: the default name would print the object's bytes, heap addresses included,
// and so change from run to run.
INSTANTIATE_TEST_SUITE_P(Cases, MedianTest,
                         testing::Values(MedianCase{"Empty", {}, 0}, MedianCase{"One", {3}, 3},
                                         MedianCase{"OddCount", {5, 1, 3}, 3},
                                         MedianCase{"EvenCount", {4, 1, 3, 2}, 2.5},
                                         MedianCase{"Repeated", {9, 9, 1}, 9}),
                         [](const testing::TestParamInfo<MedianCase>& c) {
                             return std::string(c.param.name);
                         });

Sample Measured(double ours, double floor, double goal = 0, double items = 0) {
    return Sample{ours, floor, floor > 0 ? ours / floor : 0, items, goal};
}

class SummariseTest : public testing::Test {
protected:
    Samples samples;
};

TEST_F(SummariseTest, QuotesTheMedianOfTheRatiosTakenWithinEachRun) {
    // Ratio of the medians would be 12 / 10 = 1.2; the runs' own ratios are 1, 2, 3.
    samples.Add("pair", Measured(10, 10));
    samples.Add("pair", Measured(20, 10));
    samples.Add("pair", Measured(12, 4));
    const auto rows = Summarise(samples);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].runs, 3u);
    EXPECT_DOUBLE_EQ(rows[0].oursNs, 12);
    EXPECT_DOUBLE_EQ(rows[0].floorNs, 10);
    EXPECT_DOUBLE_EQ(rows[0].ratio, 2);
}

TEST_F(SummariseTest, JudgesTheGoalAsAnUpperBoundIncludingItself) {
    samples.Add("at", Measured(12, 10, 1.2));
    samples.Add("above", Measured(13, 10, 1.2));
    samples.Add("none", Measured(50, 10));
    const auto rows = Summarise(samples);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].met);
    EXPECT_FALSE(rows[1].met);
    EXPECT_TRUE(rows[2].met);
}

TEST_F(SummariseTest, ListsTheBenchmarksInRegistrationOrderWhateverOrderTheyRanIn) {
    // Interleaved repetitions: family 1 ran before family 0, instance 2 before 1.
    samples.Add("late/2", Measured(1, 1), {1, 2});
    samples.Add("first", Measured(1, 1), {0, 0});
    samples.Add("late/1", Measured(1, 1), {1, 1});
    samples.Add("late/2", Measured(1, 1), {1, 2});
    samples.Add("same rank, came later", Measured(1, 1), {0, 0});
    std::vector<std::string> names;
    for (const auto& row : Summarise(samples)) names.push_back(row.name);
    EXPECT_EQ(names, (std::vector<std::string>{"first", "same rank, came later", "late/1",
                                                "late/2"}));
    EXPECT_EQ(Summarise(samples)[3].runs, 2u);
}

TEST_F(SummariseTest, GivesTheCostPerItemOfAScalingBenchmark) {
    samples.Add("sized", Measured(5000, 2500, 0, 1000));
    samples.Add("unsized", Measured(5000, 2500));
    const auto rows = Summarise(samples);
    EXPECT_DOUBLE_EQ(rows[0].nsPerItem, 5);
    EXPECT_DOUBLE_EQ(rows[1].nsPerItem, 0);
}

TEST_F(SummariseTest, RelatesTheOursTimesOfTwoBenchmarks) {
    samples.Add("off", Measured(40, 2));
    samples.Add("off", Measured(60, 2));
    samples.Add("line", Measured(5000, 4000));
    const auto rows = SummariseCrossRatios(
        samples, {{"off", "line", 0.01}, {"off", "absent", 0.5}, {"line", "off", 0}});
    ASSERT_EQ(rows.size(), 2u);  // a ratio with a side that did not run is left out
    EXPECT_EQ(rows[0].name, "off / line");
    EXPECT_DOUBLE_EQ(rows[0].ratio, 0.01);
    EXPECT_TRUE(rows[0].met);
    EXPECT_DOUBLE_EQ(rows[1].ratio, 100);
    EXPECT_TRUE(rows[1].met);  // no goal: informative
}

TEST_F(SummariseTest, PrintsAMissedGoalSoThatItStandsOut) {
    samples.Add("slow", Measured(30, 10, 1.2));
    samples.Add("fast", Measured(10, 10, 1.2));
    std::ostringstream out;
    PrintSummary(out, Summarise(samples), {});
    const std::string text = out.str();
    const auto slow = text.find("slow");
    const auto fast = text.find("fast");
    ASSERT_NE(slow, std::string::npos);
    ASSERT_NE(fast, std::string::npos);
    EXPECT_NE(text.substr(slow, fast - slow).find("MISSED"), std::string::npos);
    EXPECT_EQ(text.substr(fast).find("MISSED"), std::string::npos);
}

// ---- the reporter collects only what the summary may use ----
class SummaryReporterTest : public testing::Test {
protected:
    SummaryReporterTest() {
        reporter.SetOutputStream(&console);
        reporter.SetErrorStream(&console);
    }

    static benchmark::BenchmarkReporter::Run PairRun(const std::string& name, double ours,
                                                     double floor) {
        benchmark::BenchmarkReporter::Run run;
        run.run_name.function_name = name;
        run.family_index = 0;
        run.per_family_instance_index = 0;
        run.iterations = 10;
        run.repetitions = 1;
        run.counters[kOursCounter] = ours;
        run.counters[kFloorCounter] = floor;
        run.counters[kRatioCounter] = ours / floor;
        return run;
    }

    std::ostringstream console;
    SummaryReporter reporter;
};

TEST_F(SummaryReporterTest, KeepsPairedIterationRunsAndPassesEverythingToTheConsole) {
    auto aggregate = PairRun("pair", 99, 1);
    aggregate.run_type = benchmark::BenchmarkReporter::Run::RT_Aggregate;
    aggregate.aggregate_name = "median";
    auto failed = PairRun("pair", 77, 1);
    failed.error_occurred = true;
    failed.error_message = "no line";
    auto unpaired = PairRun("plain", 1, 1);
    unpaired.counters.clear();
    reporter.ReportRuns({PairRun("pair", 4, 2), aggregate, failed, unpaired});

    const Samples& collected = reporter.Collected();
    ASSERT_EQ(collected.order, std::vector<std::string>{"pair"});
    ASSERT_EQ(collected.byName.at("pair").size(), 1u);
    EXPECT_DOUBLE_EQ(collected.byName.at("pair")[0].oursNs, 4);
    EXPECT_DOUBLE_EQ(collected.byName.at("pair")[0].ratio, 2);
    EXPECT_NE(console.str().find("plain"), std::string::npos);
}

// ---- the paired measurement, run through the library's own runner ----
TEST(MeasurePairTest, CallsBothSidesEquallyAndPublishesTheirRatio) {
    int oursCalls = 0;
    int floorCalls = 0;
    benchmark::RegisterBenchmark("PairProbe", [&](benchmark::State& state) {
        MeasurePair(state, 3, [&] { ++oursCalls; }, [&] { ++floorCalls; }, 42);
    })->Iterations(5);
    std::ostringstream console;
    SummaryReporter reporter;
    reporter.SetOutputStream(&console);
    reporter.SetErrorStream(&console);
    benchmark::RunSpecifiedBenchmarks(&reporter, "PairProbe");

    EXPECT_EQ(oursCalls, 15);
    EXPECT_EQ(floorCalls, 15);
    const auto& runs = reporter.Collected().byName;
    ASSERT_EQ(runs.count("PairProbe/iterations:5"), 1u);
    const Sample& sample = runs.at("PairProbe/iterations:5").front();
    EXPECT_DOUBLE_EQ(sample.ratio, sample.floorNs > 0 ? sample.oursNs / sample.floorNs : 0);
    EXPECT_DOUBLE_EQ(sample.items, 42);
}

}  // namespace
}  // namespace bench
