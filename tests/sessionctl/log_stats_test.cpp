// The log-line reader and the statistics, on hand-made lines and on a log that the
// library itself wrote during a sessionctl run.
#include "json.h"
#include "log_line.h"
#include "log_report.h"
#include "log_stats.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <numeric>
#include <optional>

namespace sessionctl {
namespace {

using sessionctl_test::ReadText;
using sessionctl_test::RunTool;
using sessionctl_test::ScratchDirectory;

const std::string kHead = "2026/12/04T09:05:03.042, SID:000002, PID:004711, TID:005120, ";

std::string Line(int pid, int tid, const std::string& rest) {
    char head[96];
    std::snprintf(head, sizeof head, "2026/12/04T09:05:03.042, SID:000001, PID:%06d, TID:%06d, ", pid, tid);
    return head + rest + "\r\n";
}

struct LineCase {
    std::string line;
    std::string text;
    std::optional<std::string> detail;
};

class LogLineReading : public ::testing::TestWithParam<LineCase> {};

TEST_P(LogLineReading, SplitsTextAndDetail) {
    auto line = ParseLogLine(GetParam().line);
    ASSERT_TRUE(line) << GetParam().line;
    EXPECT_EQ(line->text, GetParam().text);
    EXPECT_EQ(line->detail, GetParam().detail);
}

INSTANTIATE_TEST_SUITE_P(
    TraceKinds, LogLineReading,
    ::testing::Values(
        LineCase{kHead + "Session control [Default],", "Session control [Default]", std::nullopt},
        LineCase{kHead + "Initialize..., XenDesktop\r", "Initialize...", std::string("XenDesktop")},
        LineCase{kHead + "Disconnect, 5 (0x5)", "Disconnect", std::string("5 (0x5)")},
        LineCase{kHead + "GetSessionUserName >, ", "GetSessionUserName >", std::string("")},
        LineCase{kHead + ",", "", std::nullopt},
        LineCase{kHead + "+ WFAPIDll::IWFFreeMemory, >> in", "+ WFAPIDll::IWFFreeMemory", std::string(">> in")},
        LineCase{kHead + "a, b, << out - 1500 [msec]", "a, b", std::string("<< out - 1500 [msec]")},
        LineCase{kHead + "C:\\Program Files (x86)\\Citrix, Inc\\wfapi.dll,",
                 "C:\\Program Files (x86)\\Citrix, Inc\\wfapi.dll", std::nullopt},
        LineCase{"2026/12/04T09:05:03.042, SID:000001, PID:1234567, TID:12345678, x,", "x", std::nullopt}));

TEST(LogLineFormat, LinesOutsideTheFormatAreRejected) {
    for (const std::string& bad :
         {std::string("hello"), std::string(""), std::string("2026/12/04 09:05:03.042, SID:1, PID:2, TID:3, x,"),
          std::string("2026/12/04T09:05:03.042, PID:000001, SID:000001, TID:000001, x,"),
          std::string("2026/12/04T09:05:03.042, SID:000001, PID:000001, TID:000001, no comma here"),
          std::string("2026/12/04T09:05:03.042, SID:000001, PID:00000x, TID:000001, x,")}) {
        EXPECT_FALSE(ParseLogLine(bad)) << bad;
    }
}

TEST(LogLineFormat, ScopeExitAndErrors) {
    auto exit = ParseLogLine(kHead + "op, << out - 42 [msec]");
    ASSERT_TRUE(exit);
    EXPECT_EQ(ScopeExitMilliseconds(*exit), 42);
    EXPECT_FALSE(IsScopeEntry(*exit));
    EXPECT_FALSE(ScopeExitMilliseconds(*ParseLogLine(kHead + "op, << out - x [msec]")));
    for (const char* error : {"LoadLibrary error.,", "registry not found.,", "WTSOpenServer error, 5 (0x5)",
                              "GetUserToken >, error", " Initialization of XenDesktop's wfapi library failed, so it will be initialized for RDP.,"}) {
        EXPECT_TRUE(IsErrorTrace(*ParseLogLine(kHead + error))) << error;
    }
    for (const char* fine : {"success.,", "GetClientAddress >, local", "[VM]VDM Process found., x.exe"}) {
        EXPECT_FALSE(IsErrorTrace(*ParseLogLine(kHead + fine))) << fine;
    }
}

class LogStatisticsTest : public ::testing::Test {
protected:
    const OperationStats& Operation(int64_t pid, const std::string& name) const {
        return stats_.Processes().at(pid).operations.at(name);
    }
    LogStatistics stats_;
};

TEST_F(LogStatisticsTest, ScopesMatchPerThreadNotAcrossThreads) {
    // Thread 20 leaves a scope it never entered while thread 10 has one open.
    std::string log = Line(1, 10, "op, >> in") + Line(1, 20, "op, << out - 9 [msec]") + Line(1, 20, "op, >> in") +
                      Line(1, 30, "op, >> in") + Line(1, 20, "op, << out - 7 [msec]") +
                      Line(1, 30, "op, << out - 3 [msec]");
    stats_.AddFile("session.log", log);
    stats_.Finish();
    const OperationStats& op = Operation(1, "op");
    EXPECT_EQ(op.lines, 6u);
    EXPECT_EQ(op.scopeMilliseconds, (std::vector<int64_t>{7, 3}));
    EXPECT_EQ(op.unmatchedExits, 1u);
    EXPECT_EQ(op.unclosedEntries, 1u);
}

TEST_F(LogStatisticsTest, NestedScopesAndUnclosedEntries) {
    std::string log = Line(1, 10, "outer, >> in") + Line(1, 10, "inner, >> in") +
                      Line(1, 10, "inner, << out - 1 [msec]") + Line(1, 10, "outer, << out - 5 [msec]") +
                      Line(1, 10, "outer, >> in") + Line(2, 10, "outer, << out - 4 [msec]");
    stats_.AddFile("session.log", log);
    stats_.Finish();
    EXPECT_EQ(Operation(1, "inner").scopeMilliseconds, (std::vector<int64_t>{1}));
    EXPECT_EQ(Operation(1, "outer").scopeMilliseconds, (std::vector<int64_t>{5}));
    EXPECT_EQ(Operation(1, "outer").unclosedEntries, 1u);
    EXPECT_EQ(Operation(2, "outer").unmatchedExits, 1u);
}

TEST_F(LogStatisticsTest, PerProcessCountsErrorsAndSessions) {
    std::string log = Line(1, 10, "LoadLibrary error., 126 (0x7e)") + Line(1, 10, "success.,") +
                      "2026/12/04T09:05:04.000, SID:000003, PID:000001, TID:000010, success.,\r\n" +
                      Line(2, 10, "GetUserToken >, error");
    stats_.AddFile("kwarden.log", log);
    stats_.Finish();
    const ProcessStats& first = stats_.Processes().at(1);
    EXPECT_EQ(first.lines, 3u);
    EXPECT_EQ(first.errors, 1u);
    EXPECT_EQ(first.sessions, (std::vector<int64_t>{1, 3}));
    EXPECT_EQ(first.lastTime, "2026/12/04T09:05:04.000");
    EXPECT_EQ(Operation(1, "success.").lines, 2u);
    EXPECT_EQ(stats_.Processes().at(2).errors, 1u);
}

TEST_F(LogStatisticsTest, MalformedLinesAreCountedNotFatal) {
    std::string log = "garbage\r\n" + Line(1, 10, "a,") + "\r\n" + Line(1, 10, "b,") + "tail without end";
    stats_.AddFile("session.log", log);
    ASSERT_EQ(stats_.Files().size(), 1u);
    EXPECT_EQ(stats_.Files()[0].lines, 5u);
    EXPECT_EQ(stats_.Files()[0].malformed, 3u);
    EXPECT_EQ(stats_.Files()[0].malformedLines, (std::vector<uint64_t>{1, 3, 5}));
    EXPECT_EQ(stats_.Processes().at(1).lines, 2u);
}

TEST_F(LogStatisticsTest, ScopeSpanningTheRotationMatchesWhenBackupComesFirst) {
    ScratchDirectory dir;
    dir.Write("session.log.bak", Line(1, 10, "op, >> in"));
    dir.Write("session.log", Line(1, 10, "op, << out - 12 [msec]"));
    dir.Write("kwarden.log", Line(1, 10, "k,"));
    auto files = LogFilesToRead({dir.Path()});
    ASSERT_EQ(files, (std::vector<std::string>{dir.Path() + "/session.log.bak", dir.Path() + "/session.log",
                                               dir.Path() + "/kwarden.log"}));
    for (const std::string& file : files) stats_.AddFile(file, ReadText(file));
    stats_.Finish();
    EXPECT_EQ(Operation(1, "op").scopeMilliseconds, (std::vector<int64_t>{12}));
    EXPECT_EQ(LogFilesToRead({dir.Path() + "/session.log"}).front(), dir.Path() + "/session.log.bak");
}

TEST(LogPercentiles, NearestRank) {
    std::vector<int64_t> values(20);
    std::iota(values.rbegin(), values.rend(), 1);  // 20 .. 1, unsorted on purpose
    Percentiles p = Summarize(values);
    EXPECT_EQ(p.count, 20u);
    EXPECT_EQ(p.p50, 10);
    EXPECT_EQ(p.p95, 19);
    EXPECT_EQ(p.max, 20);
    Percentiles one = Summarize({7});
    EXPECT_EQ(one.p50, 7);
    EXPECT_EQ(one.p95, 7);
    EXPECT_EQ(Summarize({}).count, 0u);
}

// A real log: the library traces a Citrix run; every wrapper scope must pair up.
TEST(LogStatsOnLibraryTrace, CitrixRunHasPairedScopesAndNoStrayLines) {
    ScratchDirectory trace;
    for (const char* command : {"sessions", "info"}) {
        ASSERT_EQ(RunTool({"--machine", sessionctl_test::MachineFile("xendesktop.json"), "--trace", trace.Path(),
                           command}).exitCode, 0);
    }
    auto run = RunTool({"log", "stats", "--json", trace.Path() + "/C/DebugSSO"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    JsonValue report = ParseJson(run.out, "report");
    const JsonValue& file = report.Find("files")->items.at(0);
    EXPECT_GT(file.Find("lines")->number, 20);
    EXPECT_EQ(file.Find("malformed")->number, 0);
    const JsonValue& process = report.Find("processes")->items.at(0);
    EXPECT_EQ(process.Find("pid")->number, 4711);
    EXPECT_EQ(process.Find("errors")->number, 0);
    bool sawQuery = false;
    for (const JsonValue& op : process.Find("operations")->items) {
        EXPECT_EQ(op.Find("unclosed")->number, 0) << op.Find("operation")->text;
        EXPECT_EQ(op.Find("unmatchedExits")->number, 0) << op.Find("operation")->text;
        if (op.Find("operation")->text == "+ WFAPIDll::IWFQuerySessionInformationW") {
            sawQuery = true;
            EXPECT_EQ(op.Find("scopes")->number * 2, op.Find("lines")->number);
            EXPECT_GE(op.Find("scopes")->number, 3);
        }
        if (op.Find("operation")->text == "Initialize...") {
            EXPECT_EQ(op.Find("lines")->number, 2);  // one per run
        }
    }
    EXPECT_TRUE(sawQuery);
}

TEST(LogStatsOnLibraryTrace, BrokenCitrixInstallShowsItsErrors) {
    ScratchDirectory trace;
    ASSERT_EQ(RunTool({"--machine", sessionctl_test::MachineFile("xendesktop-broken.json"), "--trace", trace.Path(),
                       "info"}).exitCode, 0);
    auto run = RunTool({"log", "stats", trace.Path() + "/C/DebugSSO/session.log"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("2 errors"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("LoadLibrary error."), std::string::npos) << run.out;
}

}  // namespace
}  // namespace sessionctl
