// sessionctl: what its readers make of registry exports and machine descriptions, and
// the tool run as a user runs it, one row per command line with its exit code and its
// whole stdout and stderr.
#include "input_error.h"
#include "machine_model.h"
#include "reg_file.h"
#include "text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

namespace sessionctl {
namespace {

std::string Utf16WithByteOrderMark(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) bytes += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    return bytes;
}

// One line per operation: source line, kind (Key, Deleted key, Set, Value deleted), key,
// value name, type:data (texts decoded with NULs as '|', other data in hexadecimal).
std::string Dump(const std::vector<RegOperation>& operations) {
    std::string dump;
    for (const RegOperation& op : operations) {
        std::string data = IsTextType(op.type) ? ToUtf8(Utf16LeToWide(op.data)) : "";
        std::replace(data.begin(), data.end(), '\0', '|');
        for (size_t i = 0; !IsTextType(op.type) && i < op.data.size(); ++i) {
            data += {"0123456789abcdef"[op.data[i] >> 4], "0123456789abcdef"[op.data[i] & 15]};
        }
        dump += std::to_string(op.line) + " " + "KDSV"[static_cast<int>(op.kind)] + " " + ToUtf8(RootName(op.path.root)) +
                (op.path.view32 ? "(32)\\" : "\\") + ToUtf8(op.path.key) + " [" + ToUtf8(op.name) + "] " +
                std::to_string(op.type) + ":" + data + "\n";
    }
    return dump;
}

TEST(SessionctlRegFile, Utf16Version5AndEightBitRegedit4) {
    EXPECT_EQ(Dump(ParseRegFile(Utf16WithByteOrderMark(uR"(Windows Registry Editor Version 5.00

; exported by support
[HKEY_LOCAL_MACHINE\SOFTWARE\Wow6432Node\T]
"Über \"hi\""="C:\\Program Files\\"
@="default"
"OutputLog"=dword:0000a01f
"Path"=hex(2):25,00,54,00,00,00
"List"=hex(7):61,00,00,00,\
  62,00,00,00,00,00
"Blob"=hex:de,AD
"Gone"=-

[-HKEY_CURRENT_USER\Volatile Environment]
)"), "x")),
              R"(4 K HKEY_LOCAL_MACHINE(32)\SOFTWARE\T [] 0:
5 S HKEY_LOCAL_MACHINE(32)\SOFTWARE\T [Über "hi"] 1:C:\Program Files\|
6 S HKEY_LOCAL_MACHINE(32)\SOFTWARE\T [] 1:default|
7 S HKEY_LOCAL_MACHINE(32)\SOFTWARE\T [OutputLog] 4:1fa00000
8 S HKEY_LOCAL_MACHINE(32)\SOFTWARE\T [Path] 2:%T|
9 S HKEY_LOCAL_MACHINE(32)\SOFTWARE\T [List] 7:a|b||
11 S HKEY_LOCAL_MACHINE(32)\SOFTWARE\T [Blob] 3:dead
12 V HKEY_LOCAL_MACHINE(32)\SOFTWARE\T [Gone] 0:
14 D HKEY_CURRENT_USER\Volatile Environment [] 0:
)");
    EXPECT_EQ(Dump(ParseRegFile("REGEDIT4\r\n\r\n[HKU\\S-1-5-18]\r\n\"P\"=hex(2):25,54,00\r\n", "x")),
              "3 K HKEY_USERS\\S-1-5-18 [] 0:\n4 S HKEY_USERS\\S-1-5-18 [P] 2:%T|\n");
}

struct Rejection {
    char reader;  // 'm' machine description, 'r' .reg body after its header, 'f' whole .reg file
    std::string text;
    int line;
    std::string message;  // the start of it
};

class SessionctlRejection : public ::testing::TestWithParam<Rejection> {};

TEST_P(SessionctlRejection, NamesFileLineAndFault) {
    const Rejection& row = GetParam();
    std::string expected = "x:" + std::to_string(row.line) + ": " + row.message, seen = "accepted";
    try {
        row.reader == 'm' ? (void)ParseMachine(row.text, "x")
                          : (void)ParseRegFile((row.reader == 'r' ? "REGEDIT4\n\n" : "") + row.text, "x");
    } catch (const InputError& error) {
        seen = std::string(error.what()).substr(0, expected.size());
    }
    EXPECT_EQ(seen, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SessionctlRejection,
    ::testing::Values(
        Rejection{'m', "{\n \"product\": \"none\",\n}", 3, "expected a member name"},
        Rejection{'m', "{\n  \"sesions\": []\n}", 2, "unknown field \"sesions\" in the machine description"},
        Rejection{'m', "{\"sessions\": [\n {\"id\": 1,\n  \"stat\": \"Active\"}]}", 3, "unknown field \"stat\" in session"},
        Rejection{'m', R"({"sessions": [{"id": 1, "state": "Busy"}]})", 1, "unknown session state \"Busy\""},
        Rejection{'m', "{\"sessions\": [\n\n {\"station\": \"x\"}]}", 3, "session needs the field \"id\""},
        Rejection{'m', R"({"sessions": [{"id": 1.5}]})", 1, "session: expected a whole number"},
        Rejection{'m', "{\"caller\": {\"pid\": -1\n}}", 1, "\"caller\": expected a whole number"},
        Rejection{'m', "{\"sessions\": [{\"id\": 1},\n {\"id\": 1}]}", 2, "session 1 is described twice"},
        Rejection{'m', R"({"sessions": [{"id": 1, "client": "1::2::3"}]})", 1, "\"client\": expected an IPv4 or IPv6"},
        Rejection{'m', R"({"product": ["XenApp", "Horizon"]})", 1, "unknown product \"Horizon\""},
        Rejection{'m', R"({"registry": {"HKXX\\S": {}}})", 1, "registry key \"HKXX\\S\""},
        Rejection{'m', R"({"registry": {"HKLM\\S": {"v": {"type": "REG_BINARY", "value": "0g"}}}})", 1, "registry value \"v\": expected bytes"},
        Rejection{'m', "{\n\"product\": \"none\",\n\"product\": \"XenApp\"}", 3, "duplicate member \"product\""},
        Rejection{'r', "[HKLM\\S]\n\"x\"=dword:123456789\n", 4, "dword: needs 1 to 8 hexadecimal digits"},
        Rejection{'r', "[HKLM\\S]\n\"x\"=hex:01,\\\n 02,,03\n", 4, "bad byte \"\""},
        Rejection{'r', "[-HKLM\\S]\n\"x\"=\"y\"\n", 4, "value under a deleted key"},
        Rejection{'f', "\n[HKLM\\S]\n", 2, "not a registry file"}));

// A command line run in a fresh directory holding the files below; "m" are the shipped
// machines. Expected texts ending in "..." compare only their start; $D is the directory.
struct Run {
    std::vector<std::string> arguments;
    int exitCode;
    std::string out;
    std::string err = "";
};

void PrintTo(const Run& run, std::ostream* out) { for (const std::string& word : run.arguments) *out << word << ' '; }

std::string Line(int pid, int tid, const std::string& rest) {
    char head[80];
    std::snprintf(head, sizeof head, "2026/12/04T09:05:03.042, SID:000001, PID:%06d, TID:%06d, ", pid, tid);
    return head + rest + "\r\n";
}

class SessionctlRun : public ::testing::TestWithParam<Run> {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/sessionctl-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        std::filesystem::create_directory_symlink(SESSIONCTL_MACHINES, dir_ + "/m");
        Write("gone.reg", Utf16WithByteOrderMark(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                                 u"[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData]\r\n"));
        Write("bad.json", "{\n  \"product\": \"none\",\n  \"colour\": \"blue\"\n}\n");
        Write("log.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog]\n"
                         "\"OutputLog\"=\"1\"\n\"OutputLogDir\"=\"\"\n\"OutputLogSize\"=dword:0\n");
        Write("deep/a/b/c/d/DebugSSO/session.log", Line(1, 10, "x,"));
        // The backup holds the older lines: a scope entered before the rotation, left after it.
        Write("logs/C/DebugSSO/session.log.bak", Line(1, 10, "GetStatus, >> in"));
        std::string log = "not a log line\r\n" + Line(1, 10, "GetStatus, << out - 12 [msec]") + Line(1, 20, "Lock, >> in") +
                          Line(1, 10, "Lock, << out - 5 [msec]") + Line(1, 20, "Lock, << out - 7 [msec]") +
                          Line(1, 10, "LoadLibrary error., 126 (0x7e)") + Line(1, 10, "GetUserToken >, error") +
                          Line(1, 10, "CreateProcessAsUserW failed.,") + Line(2, 30, "outer, >> in") + Line(2, 31, "Wait, >> in");
        for (int ms = 20; ms >= 1; --ms) log += Line(2, 30, "Wait, >> in") + Line(2, 30, "Wait, << out - " + std::to_string(ms) + " [msec]");
        Write("logs/C/DebugSSO/session.log", log + Line(2, 30, "outer, << out - 99 [msec]") + "cut short");
        Write("logs/C/DebugSSO/kwarden.log",
              Line(1, 40, "op, >> in") + "2026/12/04T09:05:04.500, SID:000003, PID:000001, TID:000040, op, << out - 4 [msec]\r\n");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void Write(const std::string& name, const std::string& content) const {
        std::filesystem::create_directories(std::filesystem::path(dir_ + "/" + name).parent_path());
        std::ofstream(dir_ + "/" + name, std::ios::binary) << content;
    }

    std::string dir_;
};

TEST_P(SessionctlRun, ExitCodeAndWholeOutput) {
    std::string command = "cd '" + dir_ + "' && '" SESSIONCTL_BINARY "'";
    for (const std::string& argument : GetParam().arguments) command += " '" + argument + "'";
    int status = std::system((command + " >out 2>err").c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, GetParam().exitCode);
    for (const auto& [file, expected] : {std::pair{"out", GetParam().out}, {"err", GetParam().err}}) {
        std::ostringstream content;
        content << std::ifstream(dir_ + "/" + file, std::ios::binary).rdbuf();
        std::string wanted = expected, seen = content.str();
        for (size_t at; (at = wanted.find("$D")) != std::string::npos;) wanted.replace(at, 2, dir_);
        if (wanted.size() >= 3 && wanted.compare(wanted.size() - 3, 3, "...") == 0) {
            wanted.resize(wanted.size() - 3);
            seen = seen.substr(0, wanted.size());
        }
        EXPECT_EQ(seen, wanted) << file;
    }
}

const std::string kSeeHelp = "\n(see sessionctl --help)\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, SessionctlRun,
    ::testing::Values(
        Run{{"--json", "sessions"}, 0, R"({"current":2,"sessions":[{"id":0,"station":"Services","state":"Disc","user":null,)"
            R"("client":"local","local":true},{"id":1,"station":"Console","state":"Active","user":"Administrator","client":"local",)"
            R"("local":true},{"id":2,"station":"RDP-Tcp#5","state":"Active","user":"alice","client":"192.0.2.10","local":false},)"
            R"({"id":3,"station":"RDP-Tcp#7","state":"Disc","user":"bob","client":"2001:db8:0:0:0:0:0:7","local":false},)"
            R"({"id":65536,"station":"RDP-Tcp","state":"Listen","user":null,"client":"local","local":true}]})" "\n"},
        Run{{"info", "99"}, 1, "session    99\nuser       -\ndomain     -\nstation    -\nstate      -\nconnected  no\nclient     -\n"},
        Run{{"is-local"}, 1, "remote\n"},
        Run{{"--machine", "m/horizon6-pcoip.json", "pcoip"}, 0, "true\n"},
        Run{{"--machine", "m/horizon7-pcoip.json", "--reg", "gone.reg", "pcoip"}, 1, "false\n"},
        Run{{"token-sid", "3"}, 0, "S-1-5-21-1000-2000-3000-1003\n"},
        Run{{"--json", "find-process", "3", "outlook.exe"}, 1, "{\"session\":3,\"process\":\"outlook.exe\",\"found\":false}\n"},
        Run{{"current-session", "--trace", "t"}, 0, "2\n",
            "trace: $D/t/C/DebugSSO/session.log (C:\\DebugSSO\\session.log on the simulated machine)\n"},
        Run{{"lock"}, 0, "lock: done\n  machine: LockWorkStation()\n"},
        Run{{"logoff", "3", "--wait"}, 0, "logoff 3: done\n  machine: WTSLogoffSession(session 3, wait yes)\n"},
        Run{{"--machine", "m/xendesktop.json", "--json", "disconnect", "1", "--wait"}, 0,
            R"x({"action":"disconnect","session":1,"wait":true,"force":false,"result":true,"machine":["WFDisconnectSession(session 1, wait yes)"]})x" "\n"},
        Run{{"--machine", "m/xendesktop.json", "disconnect", "1", "--force"}, 0,
            "disconnect 1: done\n  machine: WTSDisconnectSession(session 1, wait no)\n"},
        Run{{"--machine", "m/xendesktop7.json", "disconnect", "2"}, 0,
            "disconnect 2: done\n  machine: CreateProcessAsUserW(\"C:\\Program Files\\Corvane\\Keywarden\\"
            "CorvaneKwardenService.exe\" \"-lock\", user alice, session 2)\n"},
        Run{{"log", "stats", "logs"}, 0, R"(read logs/C/DebugSSO/session.log.bak: 1 line, 0 not in the log format
read logs/C/DebugSSO/session.log: 52 lines, 2 not in the log format (line 1, 52)
read logs/C/DebugSSO/kwarden.log: 2 lines, 0 not in the log format

process 1 (session 1, 3): 10 lines, 3 errors, 2026/12/04T09:05:03.042 .. 2026/12/04T09:05:04.500
  operation                      lines errors scopes    p50    p95    max
  CreateProcessAsUserW failed.       1      1
  GetStatus                          2      0      1     12     12     12
  GetUserToken >                     1      1
  LoadLibrary error.                 1      1
  Lock                               3      0      1      7      7      7  (0 unclosed, 1 unmatched exits)
  op                                 2      0      1      4      4      4

process 2 (session 1): 43 lines, 0 errors, 2026/12/04T09:05:03.042 .. 2026/12/04T09:05:03.042
  operation   lines errors scopes    p50    p95    max
  Wait           41      0     20     10     19     20  (1 unclosed, 0 unmatched exits)
  outer           2      0      1     99     99     99
)"},
        Run{{"log", "stats", "--json", "logs/C/DebugSSO/kwarden.log"}, 0,
            R"({"files":[{"path":"logs/C/DebugSSO/kwarden.log","lines":2,"malformed":0,"malformedLines":[]}],"processes":[{"pid":1,)"
            R"("sessions":[1,3],"lines":2,"errors":0,"first":"2026/12/04T09:05:03.042","last":"2026/12/04T09:05:04.500","operations":)"
            R"([{"operation":"op","lines":2,"errors":0,"scopes":1,"p50":4,"p95":4,"max":4,"unclosed":0,"unmatchedExits":0}]}]})" "\n"},
        Run{{"log", "stats", "deep"}, 2, "", "sessionctl: deep: no session.log or kwarden.log here nor in a DebugSSO folder below\n"},
        Run{{"log", "stats", "none.log"}, 2, "", "sessionctl: none.log: no such file or directory\n"},
        Run{{"--machine", "bad.json", "sessions"}, 2, "", "sessionctl: bad.json:3: unknown field \"colour\"..."},
        Run{{"--reg", "log.reg", "log", "show"}, 0, R"(key HKEY_LOCAL_MACHINE\SOFTWARE\Corvane Systems K.K.\Corvane Keywarden\SSOLog (64-bit view)
  OutputLog      REG_SZ "1"                 ignored (not REG_DWORD): log off
  OutputLogDir   REG_SZ ""                  ignored (empty): folder C:\DebugSSO
  OutputLogSize  REG_DWORD 0                ignored (zero): limit 10485760 bytes (the default)
the library writes no log
)"},
        Run{{"--json", "log", "on", "--dir", "D:\\Logs\\", "--size", "5000"}, 0,
            R"({"wrote":{"OutputLog":1,"OutputLogDir":"D:\\Logs\\","OutputLogSize":5000},"seenWithinSeconds":2,"configuration":)"
            R"({"key":"HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog","view":"64-bit view",)"
            R"("found":true,"values":[{"name":"OutputLog","type":"REG_DWORD","data":1,"ignored":null},{"name":"OutputLogDir",)"
            R"("type":"REG_SZ","data":"D:\\Logs\\","ignored":null},{"name":"OutputLogSize","type":"REG_DWORD","data":5000,)"
            R"("ignored":null}],"on":true,"folder":"D:\\Logs\\DebugSSO","sizeLimit":5000}})" "\n"},
        Run{{"log", "off"}, 0, "wrote OutputLog = 0 (REG_DWORD)\nrunning processes switch their log off at their next trace, within 10 seconds\n..."},
        Run{{"log", "on", "--dir", "logs"}, 2, "", "sessionctl: --dir: \"logs\" is not an absolute folder (for example D:\\Logs or \\\\server\\logs)" + kSeeHelp},
        Run{{"log", "on", "--size", "0"}, 2, "", "sessionctl: --size: \"0\" is not a size in bytes (a number from 1 to 4294967295)" + kSeeHelp},
        Run{{}, 2, "", "sessionctl: no command given (usage: sessionctl [options] COMMAND [operands])" + kSeeHelp},
        Run{{"--help"}, 0, "usage: sessionctl [options] COMMAND [operands]\n\n..."},
        Run{{"frobnicate"}, 2, "", "sessionctl: unknown command \"frobnicate\"" + kSeeHelp},
        Run{{"token-sid"}, 2, "", "sessionctl: usage: sessionctl token-sid ID" + kSeeHelp},
        Run{{"info", "3x"}, 2, "", "sessionctl: \"3x\" is not a session id (a number from 0 to 4294967295)" + kSeeHelp},
        Run{{"logoff", "2", "--force"}, 2, "", "sessionctl: --force belongs to disconnect" + kSeeHelp},
        Run{{"sessions", "--colour"}, 2, "", "sessionctl: unknown option --colour" + kSeeHelp}));

}  // namespace
}  // namespace sessionctl
