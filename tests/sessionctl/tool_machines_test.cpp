// Every shipped machine file, run through sessionctl and the real library: the backend
// chosen and the answers the library's rules give for that product.
#include "json.h"
#include "run_tool.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sessionctl {
namespace {

using sessionctl_test::MachineFile;
using sessionctl_test::ReadText;
using sessionctl_test::RunTool;
using sessionctl_test::ScratchDirectory;
using sessionctl_test::ToolRun;

struct ShippedMachine {
    const char* file;
    const char* backend;         // detail of the "Initialize..." trace
    const char* sessionControl;  // the backend's own initialisation trace
    bool local;
    bool pcoip;
    const char* pcoipTrace;      // "" when IsPCoIPConnect traces nothing
    const char* callerClient;    // `info` of the caller's session: "local" or the address
    bool callerConnected = true; // false for the services session
};

void PrintTo(const ShippedMachine& machine, std::ostream* out) { *out << machine.file; }

class ShippedMachines : public ::testing::TestWithParam<ShippedMachine> {
protected:
    ToolRun Run(std::vector<std::string> arguments) {
        std::vector<std::string> all = {"--machine", MachineFile(GetParam().file), "--trace", trace_.Path()};
        all.insert(all.end(), arguments.begin(), arguments.end());
        return RunTool(all);
    }
    std::string Log() const { return ReadText(trace_.Path() + "/C/DebugSSO/session.log"); }

    ScratchDirectory trace_;
};

TEST_P(ShippedMachines, BackendAndAnswersFollowTheProduct) {
    const ShippedMachine& machine = GetParam();

    ToolRun local = Run({"is-local", "--json"});
    EXPECT_EQ(local.exitCode, machine.local ? 0 : 1) << local.err;
    EXPECT_EQ(local.out, std::string("{\"local\":") + (machine.local ? "true" : "false") + "}\n");
    std::string log = Log();
    EXPECT_NE(log.find(std::string("Initialize..., ") + machine.backend + "\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find(std::string(machine.sessionControl) + ",\r\n"), std::string::npos) << log;
    EXPECT_NE(local.err.find("trace: " + trace_.Path() + "/C/DebugSSO/session.log"), std::string::npos) << local.err;

    ToolRun pcoip = Run({"pcoip"});
    EXPECT_EQ(pcoip.exitCode, machine.pcoip ? 0 : 1);
    EXPECT_EQ(pcoip.out, machine.pcoip ? "true\n" : "false\n");
    std::string afterPcoip = Log().substr(log.size());
    if (*machine.pcoipTrace) {
        EXPECT_NE(afterPcoip.find(machine.pcoipTrace), std::string::npos) << afterPcoip;
    } else {
        EXPECT_EQ(afterPcoip.find("Connect >"), std::string::npos) << afterPcoip;
    }

    ToolRun info = Run({"info", "--json"});
    ASSERT_EQ(info.exitCode, 0) << info.out << info.err;
    JsonValue answer = ParseJson(info.out, "info");
    EXPECT_EQ(answer.Find("client")->text, machine.callerClient);
    EXPECT_EQ(answer.Find("connected")->boolean, machine.callerConnected);
}

INSTANTIATE_TEST_SUITE_P(
    Products, ShippedMachines,
    ::testing::Values(
        ShippedMachine{"terminal-services.json", "RDP", "Session control [Default]", false, false, "", "192.0.2.10"},
        ShippedMachine{"xenapp.json", "RDP(XenApp)", "Session control [Default]", false, false, "", "198.51.100.23"},
        ShippedMachine{"horizon6-pcoip.json", "VMware View", "Session control [VMware]", true, true,
                       "PCoIP Connect >, true", "local"},
        ShippedMachine{"horizon7-pcoip.json", "VMware View", "Session control [VMware]", false, true,
                       "PCoIP Connect >, true", "10.20.30.41"},
        ShippedMachine{"horizon7-blast.json", "VMware View", "Session control [VMware]", false, true,
                       "Blast Connect >, true", "10.20.30.42"},
        ShippedMachine{"xendesktop.json", "XenDesktop", "Session control [WFAPI]", false, false, "", "203.0.113.5"},
        ShippedMachine{"xendesktop7.json", "XenDesktop", "Session control [WFAPI]", true, false, "", "local", false},
        ShippedMachine{"xendesktop-broken.json", "XenDesktop", "Session control [Default]", true, false, "",
                       "203.0.113.7"}),
    [](const ::testing::TestParamInfo<ShippedMachine>& param) {
        std::string name = param.param.file;
        name = name.substr(0, name.find('.'));
        for (char& c : name) c = c == '-' ? '_' : c;
        return name;
    });

class ToolActions : public ::testing::Test {
protected:
    static JsonValue Json(const ToolRun& run) { return ParseJson(run.out, "output"); }
    static std::vector<std::string> Machine(const JsonValue& answer) {
        std::vector<std::string> actions;
        for (const JsonValue& item : answer.Find("machine")->items) actions.push_back(item.text);
        return actions;
    }
};

TEST_F(ToolActions, XenDesktop7DisconnectFromServicesSessionStartsTheLockService) {
    ToolRun run = RunTool({"--machine", MachineFile("xendesktop7.json"), "--json", "disconnect", "2"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    auto actions = Machine(Json(run));
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_NE(actions[0].find("CorvaneKwardenService.exe\" \"-lock\", user alice, session 2"), std::string::npos)
        << actions[0];
}

TEST_F(ToolActions, DisconnectGoesThroughCitrixUnlessForced) {
    ToolRun citrix = RunTool({"--machine", MachineFile("xendesktop.json"), "--json", "disconnect", "1", "--wait"});
    EXPECT_EQ(Machine(Json(citrix)), (std::vector<std::string>{"WFDisconnectSession(session 1, wait yes)"}));
    ToolRun forced = RunTool({"--machine", MachineFile("xendesktop.json"), "--json", "disconnect", "1", "--force"});
    EXPECT_EQ(Machine(Json(forced)), (std::vector<std::string>{"WTSDisconnectSession(session 1, wait no)"}));
    EXPECT_EQ(Json(forced).Find("force")->boolean, true);
}

TEST_F(ToolActions, LogoffAndLockOnTheDefaultMachine) {
    ToolRun logoff = RunTool({"--json", "logoff", "3", "--wait"});
    EXPECT_EQ(logoff.exitCode, 0);
    EXPECT_EQ(Machine(Json(logoff)), (std::vector<std::string>{"WTSLogoffSession(session 3, wait yes)"}));
    ToolRun lock = RunTool({"lock"});
    EXPECT_EQ(lock.exitCode, 0);
    EXPECT_EQ(lock.out, "lock: done\n  machine: LockWorkStation()\n");
}

TEST_F(ToolActions, QueriesOfTheDefaultMachine) {
    ToolRun sessions = RunTool({"--json", "sessions"});
    ASSERT_EQ(sessions.exitCode, 0);
    JsonValue list = Json(sessions);
    EXPECT_EQ(list.Find("current")->number, 2);
    ASSERT_EQ(list.Find("sessions")->items.size(), 5u);
    const JsonValue& bob = list.Find("sessions")->items[3];
    EXPECT_EQ(bob.Find("user")->text, "bob");
    EXPECT_EQ(bob.Find("state")->text, "Disc");
    EXPECT_EQ(bob.Find("client")->text, "2001:db8:0:0:0:0:0:7");

    ToolRun sid = RunTool({"token-sid", "3"});
    EXPECT_EQ(sid.exitCode, 0);
    EXPECT_EQ(sid.out, "S-1-5-21-1000-2000-3000-1003\n");
    EXPECT_EQ(RunTool({"token-sid", "0"}).exitCode, 1);

    EXPECT_EQ(RunTool({"find-process", "0", "OUTLOOK.EXE"}).exitCode, 0);
    EXPECT_EQ(RunTool({"find-process", "3", "outlook.exe"}).exitCode, 1);
    EXPECT_EQ(RunTool({"current-session"}).out, "2\n");
    EXPECT_EQ(RunTool({"info", "99"}).exitCode, 1);
}

TEST_F(ToolActions, RegFileReplayChangesWhatTheLibraryDecides) {
    ScratchDirectory dir;
    std::string reg = dir.Write("customer.reg",
                                "Windows Registry Editor Version 5.00\r\n\r\n"
                                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData\\2]\r\n"
                                "\"ViewClient_Protocol\"=\"blast\"\r\n");
    ToolRun run = RunTool({"--machine", MachineFile("horizon7-pcoip.json"), "--reg", reg, "--trace", dir.Path(), "pcoip"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(ReadText(dir.Path() + "/C/DebugSSO/session.log").find("Blast Connect >, true"), std::string::npos);

    std::string removal = dir.Write("removal.reg",
                                    "Windows Registry Editor Version 5.00\r\n\r\n"
                                    "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData]\r\n");
    EXPECT_EQ(RunTool({"--machine", MachineFile("horizon7-pcoip.json"), "--reg", removal, "pcoip"}).exitCode, 1);
}

}  // namespace
}  // namespace sessionctl
