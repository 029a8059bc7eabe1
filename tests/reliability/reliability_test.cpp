// What a careless host passes the exports, one row per input, under every backend; and
// the log written at once by eight threads across a configuration refresh and a move to
// the backup, and by two processes across the move: every line whole, none lost, each
// writer's in order.
#include "fake_wfapi.h"
#include "reliability.h"

#include <environment.h>
#include <ssolog/trace.h>
#include <test_support/library_fixture.h>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <thread>

namespace reliability {
namespace {

using sessionctrl::SessionCtrl;

// Every question about session ids no session has (0xFFFFFFFF is WTS_CURRENT_SESSION, a
// real one); the address counts ten.
long NoSuchSession(Outputs& o) {
    long answers = 0;
    for (unsigned long id : {0xFFFFFFFEul, 0x7FFFFFFFul, 65536ul})
        answers += SessionCtrl::IsConnected(id) + SessionCtrl::GetStatus(id, o.state) + SessionCtrl::GetUserToken(id, o.holder) +
                   SessionCtrl::GetLoggedOnWinDomain(id, o.text) + SessionCtrl::GetWinStationName(id, o.text) +
                   SessionCtrl::GetSessionUserName(id, o.text) + 10 * SessionCtrl::GetClientAddress(id, o.text, o.isLocal);
    return answers;
}

// "$" stands for the backend's station prefix; "?" for "30" under VMware, which answers
// the address from its own records (none for a session means local), and "0" elsewhere.
const struct Case { const char* name; long (*call)(Outputs&); const char* outcome; } kCases[] = {
    {"FindProcess null name", CALL(SessionCtrl::FindProcess(0, nullptr) + SessionCtrl::FindProcess(5, nullptr) +
                                   10 * (winsim::CallCount("WTSEnumerateProcessesExW") != 0)), "0"},
    {"FindProcess sessions", CALL(SessionCtrl::FindProcess(WTS_ANY_SESSION, L"explorer.exe") + SessionCtrl::FindProcess(0, L"explorer.exe") +
                                  SessionCtrl::FindProcess(5, L"explorer.exe") + 10 * SessionCtrl::FindProcess(1, L"explorer.exe")), "3"},
    {"current session", CALL(SessionCtrl::GetWinStationName(WTS_CURRENT_SESSION, o.text) + SessionCtrl::IsConnected(WTS_CURRENT_SESSION)), "2 text=$1"},
    {"current user", CALL(SessionCtrl::GetSessionUserName(WTS_CURRENT_SESSION, o.text)), "1 text=alice"},
    {"user replaces", CALL(SessionCtrl::GetSessionUserName(5, o.text)), "1 text=bob"},
    {"domain replaces", CALL(SessionCtrl::GetLoggedOnWinDomain(5, o.text)), "1 text=CORVANE"},
    {"station replaces", CALL(SessionCtrl::GetWinStationName(5, o.text)), "1 text=$5"},
    {"list appends", CALL(SessionCtrl::GetAllWinStationName(o.sessions)), "1 +2"},
    {"no such session", NoSuchSession, "?"},
};

struct Reliability : test_support::LibraryFixture, testing::WithParamInterface<int> {
    void TearDown() override { sessionctrl::InstallBackend(nullptr), LibraryFixture::TearDown(); }
};

TEST_P(Reliability, BadInputIsAnsweredAsDocumented) {
    const auto product = static_cast<Product>(GetParam());
    DescribeMachine(product);
    // wfapi.dll takes WTS_CURRENT_SESSION for the caller's session and knows no other.
    fake_wfapi::Answers()["Query 4294967295 6"] = fake_wfapi::Text(L"ICA-TCP#1");
    for (const char* id : {"4294967294", "2147483647", "65536"})
        fake_wfapi::Answers()["Query " + std::string(id) + " 14"] = {FALSE, {}, 0, ERROR_CTX_WINSTATION_NOT_FOUND, false};
    for (const Case& row : kCases) {
        Outputs outputs;
        const long answer = row.call(outputs);
        std::string expected = row.outcome;
        for (std::size_t at; (at = expected.find_first_of("$?")) != std::string::npos;)
            expected.replace(at, 1, expected[at] == '$' ? (IsCitrix(product) ? "ICA-TCP#" : "RDP-Tcp#") : IsVMware(product) ? "30" : "0");
        EXPECT_EQ(Outcome(answer, outputs), expected) << row.name;
    }
    EXPECT_EQ(fake_wfapi::Leftovers(), "");
}

INSTANTIATE_TEST_SUITE_P(Backend, Reliability, testing::Range(0, 6), ProductName());

// The texts of session.log's backup and then session.log by writing process or thread
// (header field 1 or 2); a line without its whole header and CR LF (torn) is kept under -1.
std::map<long, std::vector<std::string>> LinesByWriter(int field) {
    static const std::regex header(R"(^\d{4}/\d\d/\d\dT\d\d:\d\d:\d\d\.\d{3}, SID:\d{6,}, PID:(\d{6,}), TID:(\d{6,}), (.*)\r$)");
    static const std::regex duration(" - \\d+ \\[msec\\]$");  // other threads move the clock meanwhile
    std::map<long, std::vector<std::string>> lines;
    const std::string log = winsim::HostPath(test_support::kSessionLog);
    for (const std::string& path : {log + ".bak", log}) {
        std::ifstream file(path, std::ios::binary);
        std::smatch match;
        for (std::string line; std::getline(file, line);)
            std::regex_match(line, match, header) ? lines[std::stol(match[field])].push_back(std::regex_replace(match[3].str(), duration, ""))
                                                  : lines[-1].push_back(line);
    }
    return lines;
}

// Round r of thread t: a front function or scope around an export, and the texts they log.
std::vector<std::string> Round(int t, int r, bool call) {
    const std::wstring tag = L"W" + std::to_wstring(t) + L" " + std::to_wstring(r);
    const std::string name(tag.begin(), tag.end());
    std::wstring text;
    if (call && r % 3 == 0) ssolog::TraceMessage(tag.c_str()), SessionCtrl::GetSessionUserName(5, text);
    if (call && r % 3 == 1) ssolog::TraceNumberNarrow(name.c_str(), 0), SessionCtrl::GetLoggedOnWinDomain(5, text);
    if (call && r % 3 == 2) ssolog::TraceScope(tag.c_str()), SessionCtrl::GetWinStationName(5, text);
    if (r % 3 == 0) return {name + ",", "GetSessionUserName >, bob"};
    if (r % 3 == 1) return {name + ", 0 (0x0)", "GetLoggedOnWinDomain >, CORVANE"};
    return {name + ", >> in", "GetWinStationName2 >, RDP-Tcp#5", name + ", << out"};
}

TEST_F(Reliability, EightThreadsLoseNoLineAcrossARefreshAndARotation) {
    DescribeMachine(Product::Plain);
    // Each round adds 10 ms: over the run's 16 s the configuration and the size are due
    // once more, with the file then past the limit; one backup keeps every line.
    winsim::SetDword(HKEY_LOCAL_MACHINE, test_support::kLogKey, L"OutputLogSize", 64 * 1024);
    winsim::SetCurrentThreadId(6999);
    ASSERT_TRUE(SessionCtrl::IsConnected(5));  // the backend comes first
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([t] { winsim::SetCurrentThreadId(7000 + t); for (int r = 0; r < 200; ++r) winsim::AdvanceMs(10), Round(t, r, true); });
    for (std::thread& thread : threads) thread.join();
    std::map<long, std::vector<std::string>> expected = {{6999, {"Initialize..., RDP", "Session control [Default],", "IsConnected >, true"}}};
    for (int t = 0; t < 8; ++t)
        for (int r = 0; r < 200; ++r) for (std::string& text : Round(t, r, false)) expected[7000 + t].push_back(text);
    EXPECT_EQ(LinesByWriter(2), expected);
    const auto opens = winsim::KeyOpens();  // the configuration is read at the first line and once more
    EXPECT_EQ(std::count_if(opens.begin(), opens.end(), [](const winsim::KeyOpen& open) { return open.subKey == test_support::kLogKey; }), 2);
    EXPECT_TRUE(std::ifstream(winsim::HostPath(test_support::kSessionLog) + ".bak").good()) << "never moved to its backup";
}

TEST_F(Reliability, TwoProcessesLoseNoLineAcrossARotation) {
    // Each writer's clock spans 15 s: its size check comes due once more, the file past the
    // limit. The directory is there before: a writer that loses the race to make it is
    // switched off for two seconds.
    winsim::SetDword(HKEY_LOCAL_MACHINE, test_support::kLogKey, L"OutputLogSize", 256 * 1024);
    std::filesystem::create_directories(winsim::HostPath(L"C:\\Logs\\DebugSSO"));
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        if ((writers[w] = fork()) != 0) continue;
        winsim::SetCurrentProcessId(20000 + w);
        for (int n = 0; n < 3000; ++n) winsim::AdvanceMs(5), ssolog::TraceMessage((L"P" + std::to_wstring(n)).c_str());
        _exit(0);
    }
    std::vector<std::string> expected;
    for (int n = 0; n < 3000; ++n) expected.push_back("P" + std::to_string(n) + ",");
    int status = -1;
    for (pid_t writer : writers) EXPECT_EQ(waitpid(writer, &status, 0) == writer ? status : -1, 0);
    EXPECT_EQ(LinesByWriter(1), (std::map<long, std::vector<std::string>>{{20000, expected}, {20001, expected}}));
}

}  // namespace
}  // namespace reliability
