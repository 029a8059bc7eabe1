// Every export and front function under every backend, run undisturbed and then with each
// Win32, Terminal Services and wfapi.dll call it makes failing in turn and with each of
// its heap allocations failing in turn, each run in a child process on a fresh machine.
// A run ends with its report, answers as undisturbed, as the Terminal Services backend
// would (a failed product query leaves it the machine) or fails cleanly (outcome "0":
// false, outputs untouched or emptied); it lets no exception out where none may pass (an
// allocation failure leaves only the Citrix backend's own code, never a trace or a
// conversion) and gives everything back.
#include "fake_wfapi.h"
#include "reliability.h"

#include <dll_main.h>
#include <environment.h>
#include <ssolog/trace.h>
#include <test_support/machine_fixture.h>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

namespace reliability {
namespace {

using sessionctrl::SessionCtrl;

// The front functions keep the caller's last error.
#define FRONT(expression) CALL((SetLastError(1234), expression, GetLastError() == 1234))

// citrixLetsOut: an allocation failure passes the Citrix backend (or its re-initialisation) and the
// facade. steered: under VMware a failed read is a value absent, which steers the answer.
const struct Row { const char* name; long (*call)(Outputs&); bool citrixLetsOut, steered; } kRows[] = {
    {"IsLocalSession", CALL(SessionCtrl::IsLocalSession()), false, true},
    {"SessionLock", CALL(SessionCtrl::SessionLock()), false, false},
    {"Disconnect", CALL(SessionCtrl::Disconnect(5, false)), false, false},
    {"DisconnectForce", CALL(SessionCtrl::DisconnectForce(5, true)), false, false},
    {"LogoffSession", CALL(SessionCtrl::LogoffSession(5, false)), false, false},
    {"IsConnected", CALL(SessionCtrl::IsConnected(5)), false, false},
    {"GetStatus", CALL(SessionCtrl::GetStatus(5, o.state)), false, false},
    {"GetLoggedOnWinDomain(5)", CALL(SessionCtrl::GetLoggedOnWinDomain(5, o.text)), true, false},
    {"GetLoggedOnWinDomain", CALL(SessionCtrl::GetLoggedOnWinDomain(o.text)), true, false},
    {"GetWinStationName(5)", CALL(SessionCtrl::GetWinStationName(5, o.text)), false, false},
    {"GetWinStationName", CALL(SessionCtrl::GetWinStationName(o.text)), false, false},
    {"GetAllWinStationName", CALL(SessionCtrl::GetAllWinStationName(o.sessions)), false, false},
    {"GetUserToken", CALL(SessionCtrl::GetUserToken(5, o.holder)), false, false},
    {"GetSessionUserName", CALL(SessionCtrl::GetSessionUserName(5, o.text)), true, false},
    {"GetClientAddress", CALL(SessionCtrl::GetClientAddress(5, o.text, o.isLocal)), false, true},
    {"IsPCoIPConnect", CALL(SessionCtrl::IsPCoIPConnect()), false, true},
    {"GetCurrentSessionID", CALL(static_cast<long>(SessionCtrl::GetCurrentSessionID())), false, false},
    {"FindProcess", CALL(SessionCtrl::FindProcess(0, L"EXPLORER.EXE")), false, false},
    {"Release+IsConnected", CALL((SessionCtrl::IsConnected(5), SessionCtrl::Release(), SessionCtrl::IsConnected(5))), true, false},
    {"front functions", FRONT((ssolog::TraceMessage(L"message"), ssolog::TraceNumber(L"number", 42), ssolog::TraceResult(L"result >", L"detail"),
                               ssolog::TraceNumberNarrow("narrow", 7), (void)ssolog::IsTraceEnabled(), [] { ssolog::TraceScope scope(L"scope"); }())), false, false},
};

// Where an allocation failure may leave the Citrix backend: copying the domain or user out,
// locating wfapi.dll or the lock's service; never from a trace or a conversion.
const std::regex kCitrixLetsOut("escaped bad_alloc from sessionctrl::(LocateWfapi|XenDesktopCtrl::(LaunchSessionLock|GetLoggedOnWinDomain|"
                                "GetSessionUserName)|\\(anonymous namespace\\)::(QueryTerminalServicesText|ReadInstallLocation))\\b.*");

// Calls that cannot fail, and those giving a resource back: failing them would leave it
// with Windows, which the accounting rightly counts.
const std::set<std::string> kInfallible = {"RegCloseKey", "CloseHandle", "FreeLibrary", "LocalFree", "RevertToSelf", "GetLocalTime",
    "timeGetTime", "Sleep", "InitializeCriticalSection", "EnterCriticalSection", "LeaveCriticalSection", "DeleteCriticalSection",
    "WTSFreeMemory", "WTSFreeMemoryExW", "WTSCloseServer", "GetCurrentProcessId", "GetCurrentThreadId", "_wcsicmp", "_wtoi", "wsprintfW"};

HINSTANCE__ g_library{};
std::atomic<unsigned> g_armed{0}, g_counted{0}, g_failAt{0};
void* g_thrower[64];  // the stack of the allocation made to fail
int g_throwerDepth = 0;
// backtrace loads its unwinder on first use, which must not happen inside the hook.
const int g_warmUp = [] { void* frame[1]; return backtrace(frame, 1); }();

// The library's heap allocations are counted and the nth made to throw while armed; what
// winsim or the fake wfapi.dll allocate stands for Windows, whose APIs do not throw.
// backtrace and dladdr allocate with malloc only, so they do not come back here.
bool ThrowsNow() {
    if (!g_armed.load()) return false;
    void* frames[64];
    Dl_info info{};
    const int depth = backtrace(frames, 64);
    for (int i = 0; i < depth; ++i) {
        if (dladdr(frames[i], &info) != 0 && info.dli_fname && (std::strstr(info.dli_fname, "libwinsim") || std::strstr(info.dli_fname, "fake_wfapi")))
            return false;
    }
    if (++g_counted != g_failAt.load()) return false;
    g_throwerDepth = static_cast<int>(std::copy(frames, frames + depth, g_thrower) - g_thrower);
    return true;
}

// The library's functions in this program, from its symbol table: start -> end, name.
const auto g_functions = [] {
    std::uintptr_t base = 0;  // the program's, the first object listed
    dl_iterate_phdr([](dl_phdr_info* object, std::size_t, void* into) { return *static_cast<std::uintptr_t*>(into) = object->dlpi_addr, 1; }, &base);
    std::map<std::uintptr_t, std::pair<std::uintptr_t, std::string>> functions;
    const std::string command = "nm --defined-only -S -C /proc/" + std::to_string(getpid()) + "/exe";
    const std::unique_ptr<FILE, int (*)(FILE*)> nm(popen(command.c_str(), "r"), pclose);
    const std::regex library("^(ssolog|sessionctrl)::");
    char line[8192];
    unsigned long start = 0, size = 0;
    int name = 0;
    while (nm && std::fgets(line, sizeof line, nm.get())) {
        if (std::sscanf(line, "%lx %lx %*c %n", &start, &size, &name) == 2 && std::regex_search(line + name, library))
            functions[base + start] = {base + start + size, std::string(line + name, std::strcspn(line + name, "\n"))};
    }
    return functions;
}();

// The library's function that made the allocation made to fail: the innermost on its stack.
std::string Thrower() {
    for (int i = 0; i < g_throwerDepth; ++i) {
        const auto address = reinterpret_cast<std::uintptr_t>(g_thrower[i]) - 1;  // within the call
        const auto function = g_functions.upper_bound(address);
        if (function != g_functions.begin() && address < std::prev(function)->second.first) return std::prev(function)->second.second;
    }
    return "outside the library";
}

// The lines `body` gives in a forked child; a child that crashes or ends without them fails
// the test, as the run `what`.
std::vector<std::string> InChild(const std::function<std::string()>& body, const std::string& what) {
    const std::string path = winsim::HostPath(L"C:\\child.txt");
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());  // drive C may be empty yet
    if (fork() == 0) _exit(std::ofstream(path) << body() << std::flush ? 0 : 1);  // the statics are the parent's picture
    int status = 0;
    std::ifstream file((wait(&status), path));
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) lines.push_back(line);
    if (status == 0 && !lines.empty()) return lines;
    ADD_FAILURE() << what << ": the child crashed or ended without its report, status " << status;
    return {"CRASH"};
}

// One run with `fault`: none (""), "C <Win32 function> <nth call>", "W <wfapi.dll call>" or
// "A <nth allocation>". Gives the outcome, then "A <allocations>", "C <Win32 call>" and
// "W <wfapi.dll call>" lines, then whatever was left or misused.
std::vector<std::string> RunOnce(const Row& row, Product product, const std::string& fault) {
    return InChild([&] {
        std::filesystem::remove_all(winsim::HostPath(L"C:\\Logs"));  // as if no child had run before it
        DescribeMachine(product);
        // The log writer is the same under every backend: swept with the plain one only.
        if (product != Product::Plain) test_support::SwitchTracingOff();
        const winsim::Outstanding baseline = winsim::CountOutstanding();
        DllMain(&g_library, DLL_PROCESS_ATTACH, nullptr);
        const std::size_t before = winsim::CallLog().size();
        fake_wfapi::Calls(true);
        const std::string what = fault.substr(std::min<std::size_t>(2, fault.size()));
        if (fault[0] == 'C') winsim::FailCall(what.substr(0, what.find(' ')), ERROR_ACCESS_DENIED, std::stoul(what.substr(what.find(' '))));
        if (fault[0] == 'W') fake_wfapi::Answers()[what] = {FALSE, {}, 0, ERROR_ACCESS_DENIED, false};
        std::ostringstream report;
        {
            Outputs outputs;
            long answer = 0;
            int escaped = 0;  // 1: bad_alloc, 2: anything else
            g_counted = 0, g_failAt = fault[0] == 'A' ? std::stoul(what) : 0, g_armed = true;
            try { answer = row.call(outputs); } catch (const std::bad_alloc&) { escaped = 1; } catch (...) { escaped = 2; }
            g_armed = false;
            winsim::ClearFaults();
            report << (escaped == 1 ? "escaped bad_alloc from " + Thrower() : escaped == 2 ? "escaped something" : Outcome(answer, outputs))
                   << "\nA " << g_counted << "\n";
        }
        const auto calls = winsim::CallLog();
        for (std::size_t i = before; i < calls.size(); ++i) report << "C " << calls[i] << "\n";
        for (const std::string& call : fake_wfapi::Calls()) report << "W " << call.substr(0, call.find(" server")) << "\n";
        sessionctrl::InstallBackend(nullptr);  // everything the library took must be back after this and the detach
        DllMain(&g_library, DLL_PROCESS_DETACH, nullptr);
        if (winsim::CountOutstanding() != baseline) report << "outstanding: " << winsim::CountOutstanding().Describe() << "\n";
        for (const std::string& misuse : winsim::Misuses()) report << "misuse: " << misuse << "\n";
        return report.str() + fake_wfapi::Leftovers();
    }, std::string(row.name) + (fault.empty() ? " undisturbed" : " with " + fault + " failing") + " under " + kProducts[static_cast<int>(product)]);
}

// The fixture's machine, fresh and left untouched in this process, is each child's.
class FaultSweep : public test_support::MachineFixture, public testing::WithParamInterface<int> {};

// HALCYON_SWEEP_STRIDE=n makes only every nth faulted run: under the sanitizers a fork
// costs far more, so their runs sample the sweep that the plain build makes whole.
TEST_P(FaultSweep, EveryCallAndAllocationFailingInTurnIsHandled) {
    const auto product = static_cast<Product>(GetParam());
    const int stride = std::max(1, std::atoi(std::getenv("HALCYON_SWEEP_STRIDE") ? std::getenv("HALCYON_SWEEP_STRIDE") : ""));
    static const std::regex accounted("[ACW] .*");
    int planned = 0;
    for (const Row& row : kRows) {
        const std::vector<std::string> clean = RunOnce(row, product, "");
        const std::string plain = RunOnce(row, Product::Plain, "")[0];
        ASSERT_EQ(clean[0].find("escaped"), std::string::npos) << row.name << " undisturbed";
        std::vector<std::string> faults;
        std::map<std::string, unsigned> seen;
        for (auto line = clean.begin() + 1; line != clean.end(); ++line) {
            const std::string what = line->substr(2, line->find(" unlocked") - 2);
            if ((*line)[0] == 'A') for (unsigned nth = 1; nth <= std::stoul(what); ++nth) faults.push_back("A " + std::to_string(nth));
            else if ((*line)[0] == 'C' && kInfallible.count(what) == 0) faults.push_back(*line + " " + std::to_string(++seen[what]));
            else if ((*line)[0] == 'W' && what.rfind("Close", 0) != 0 && what != "Free" && ++seen[what] == 1) faults.push_back("W " + what);
            else ASSERT_TRUE(std::regex_match(*line, accounted)) << row.name << " undisturbed: " << *line;
        }
        for (const std::string& fault : faults) {
            if (planned++ % stride != 0) continue;
            const std::vector<std::string> run = RunOnce(row, product, fault);
            const std::string with = std::string(row.name) + " with " + fault + " failing: " + run[0];
            const bool escaped = run[0].rfind("escaped", 0) == 0;
            for (auto line = run.begin() + 1; line != run.end(); ++line) EXPECT_TRUE(std::regex_match(*line, accounted)) << with << "; " << *line;
            EXPECT_TRUE(escaped ? row.citrixLetsOut && IsCitrix(product) && std::regex_match(run[0], kCitrixLetsOut)
                                : (row.steered && IsVMware(product)) || run[0] == clean[0] || run[0] == "0" || run[0] == plain)
                << with << " (undisturbed: " << clean[0] << ")";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backend, FaultSweep, testing::Range(0, 6), ProductName());

}  // namespace
}  // namespace reliability

// On malloc and free, so that the sanitizers see matching pairs; the array and nothrow
// forms of the standard library come here too.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    void* block = reliability::ThrowsNow() ? nullptr : std::malloc(size == 0 ? 1 : size);
    return block != nullptr ? block : throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
