// What sessionctl says and returns for bad usage and bad input files.
#include "run_tool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sessionctl {
namespace {

using sessionctl_test::MachineFile;
using sessionctl_test::RunTool;
using sessionctl_test::ScratchDirectory;
using sessionctl_test::ToolRun;

class ToolBadInput : public ::testing::Test {
protected:
    // Exit code 2, nothing on stdout, one message that starts with the expected text.
    static void ExpectRejected(const std::vector<std::string>& arguments, const std::string& message) {
        ToolRun run = RunTool(arguments);
        EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("sessionctl: " + message, 0), 0u) << run.err;
    }
    ScratchDirectory dir_;
};

// The parsers' own tables cover every fault; here one of each reaches the user.
TEST_F(ToolBadInput, InputFileFaultsNameFileAndLine) {
    std::string bad = dir_.Write("bad.json", "{\n  \"product\": \"none\",\n  \"colour\": \"blue\"\n}\n");
    ExpectRejected({"--machine", bad, "sessions"}, bad + ":3: unknown field \"colour\"");
    std::string reg = dir_.Write("bad.reg", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\S]\r\n"
                                            "\"x\"=dword:xyz\r\n");
    ExpectRejected({"--reg", reg, "sessions"}, reg + ":4: dword:");
    ExpectRejected({"--machine", dir_.Path() + "/none.json", "sessions"}, dir_.Path() + "/none.json: cannot open");
    ExpectRejected({"--reg", dir_.Path() + "/none.reg", "sessions"}, dir_.Path() + "/none.reg: cannot open");
    ExpectRejected({"log", "stats", dir_.Path() + "/none.log"}, dir_.Path() + "/none.log: no such file");
}

TEST_F(ToolBadInput, UsageErrors) {
    ExpectRejected({"frobnicate"}, "unknown command \"frobnicate\"");
    ExpectRejected({"token-sid"}, "usage: sessionctl token-sid ID");
    ExpectRejected({"token-sid", "12x"}, "\"12x\" is not a session id");
    ExpectRejected({"info", "--wait"}, "--wait belongs to disconnect and logoff");
    ExpectRejected({"logoff", "2", "--force"}, "--force belongs to disconnect");
    ExpectRejected({"sessions", "--colour"}, "unknown option --colour");
    ExpectRejected({"--machine"}, "--machine needs a value");
    ExpectRejected({"log", "tail"}, "unknown command \"log tail\"");
}

TEST_F(ToolBadInput, HelpForEveryCommandSucceeds) {
    for (const char* command : {"sessions", "info", "is-local", "pcoip", "token-sid", "find-process",
                                "current-session", "lock", "disconnect", "logoff"}) {
        ToolRun run = RunTool({command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_EQ(run.out.rfind(std::string("usage: sessionctl [options] ") + command, 0), 0u) << run.out;
    }
    ToolRun logHelp = RunTool({"log", "stats", "--help"});
    EXPECT_EQ(logHelp.exitCode, 0);
    EXPECT_NE(logHelp.out.find(".bak"), std::string::npos);
    EXPECT_EQ(RunTool({}).exitCode, 2);
    EXPECT_EQ(RunTool({"--help"}).exitCode, 0);
}

TEST_F(ToolBadInput, LogLinesOutsideTheFormatAreReportedNotFatal) {
    std::string log = dir_.Write("session.log", "not a log line\r\n"
                                                "2026/12/04T09:05:03.042, SID:000001, PID:004711, TID:005120, x,\r\n");
    ToolRun run = RunTool({"log", "stats", log});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("2 lines, 1 not in the log format (line 1)"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace sessionctl
