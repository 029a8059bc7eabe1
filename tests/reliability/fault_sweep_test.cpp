// Every export under every backend, with each Win32, Terminal Services and wfapi.dll call
// it makes failing in turn, then with each of its heap allocations failing in turn. Each
// run happens in a child process of its own on a fresh machine; after it the answer must
// be the undisturbed one or the failure answer, outputs untouched or emptied, no
// exception out where none may pass, and nothing left outstanding.
#include "alloc_faults.h"
#include "sweep_machine.h"
#include "wfapi_faults.h"

#include <sessionctrl/SessionCtrl.h>
#include <sessionctrl/IUserTokenHolder.h>
#include <ssolog/trace.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#include <sstream>

namespace reliability {
namespace {

using sessionctrl::SessionCtrl;

// One export call with its caller-side checks. `answer` is what it returned (0 for
// false), `problems` what its outputs showed that they must not.
struct ExportCase {
    const char* name;
    std::function<long(std::string& problems)> call;
    bool frontFunctions = false;  // run under the plain backend only
    // A failed registry read or copy counts as "value absent", which steers the answer
    // (VMware: no per-session data means local) instead of failing it.
    bool faultsSteerAnswer = false;
};

constexpr const wchar_t* kPrefilled = L"prefilled by the caller";

// What the caller put in a string before the call; made outside the library's count.
std::wstring CallersText() {
    alloc_faults::ForeignScope caller;
    return kPrefilled;
}

// A text getter leaves the caller's string as it was, or empty, when it answers false.
ExportCase TextGetter(const char* name, std::function<bool(std::wstring&)> getter) {
    return {name, [getter](std::string& problems) -> long {
                std::wstring text = CallersText();
                const bool answer = getter(text);
                alloc_faults::ForeignScope caller;
                if (!answer && text != kPrefilled && !text.empty())
                    problems += "text half-written on failure\n";
                return answer;
            }};
}

long FrontFunctions(std::string& problems) {
    int step = 0;
    auto check = [&problems, &step]() {
        alloc_faults::ForeignScope caller;
        ++step;
        if (GetLastError() != 1234)
            problems += "front function " + std::to_string(step) + " changed the last error\n";
        SetLastError(1234);
    };
    SetLastError(1234);
    ssolog::TraceMessage(L"message");
    check();
    ssolog::TraceNumber(L"number", 42);
    check();
    ssolog::TraceResult(L"result >", L"detail");
    check();
    ssolog::TraceNumberNarrow("narrow", 7);
    check();
    ssolog::IsTraceEnabled();
    check();
    { ssolog::TraceScope scope(L"scope"); }
    check();
    return 1;
}

const std::vector<ExportCase>& Exports() {
    static const std::vector<ExportCase> cases = {
        {"IsLocalSession", [](std::string&) -> long { return SessionCtrl::IsLocalSession(); },
         false, true},
        {"SessionLock", [](std::string&) -> long { return SessionCtrl::SessionLock(); }},
        {"Disconnect", [](std::string&) -> long { return SessionCtrl::Disconnect(kOtherSession, false); }},
        {"DisconnectForce", [](std::string&) -> long { return SessionCtrl::DisconnectForce(kOtherSession, true); }},
        {"LogoffSession", [](std::string&) -> long { return SessionCtrl::LogoffSession(kOtherSession, false); }},
        {"IsConnected", [](std::string&) -> long { return SessionCtrl::IsConnected(kOtherSession); }},
        {"GetStatus",
         [](std::string& problems) -> long {
             int state = -7;
             const bool known = SessionCtrl::GetStatus(kOtherSession, state);
             alloc_faults::ForeignScope caller;
             if (!known && state != -7 && state != 0) problems += "state half-written on failure\n";
             return known;
         }},
        TextGetter("GetLoggedOnWinDomain(id)",
                   [](std::wstring& text) { return SessionCtrl::GetLoggedOnWinDomain(kOtherSession, text); }),
        TextGetter("GetLoggedOnWinDomain", [](std::wstring& text) { return SessionCtrl::GetLoggedOnWinDomain(text); }),
        TextGetter("GetWinStationName(id)",
                   [](std::wstring& text) { return SessionCtrl::GetWinStationName(kOtherSession, text); }),
        TextGetter("GetWinStationName", [](std::wstring& text) { return SessionCtrl::GetWinStationName(text); }),
        {"GetAllWinStationName",
         [](std::string& problems) -> long {
             std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions;
             {
                 alloc_faults::ForeignScope caller;
                 sessions.resize(1);
                 sessions.front().SessionId = 77;
                 sessions.front().WinStationName = kPrefilled;
             }
             const bool listed = SessionCtrl::GetAllWinStationName(sessions);
             alloc_faults::ForeignScope caller;
             if (sessions.empty() || sessions.front().SessionId != 77 ||
                 sessions.front().WinStationName != kPrefilled)
                 problems += "caller's list entry lost\n";
             return listed;
         }},
        {"GetUserToken",
         [](std::string& problems) -> long {
             sessionctrl::UserTokenHolder holder;
             const bool received = SessionCtrl::GetUserToken(kOtherSession, holder);
             alloc_faults::ForeignScope caller;
             if (!received && holder.GetToken() != nullptr) problems += "token held after failure\n";
             return received;
         }},
        TextGetter("GetSessionUserName",
                   [](std::wstring& text) { return SessionCtrl::GetSessionUserName(kOtherSession, text); }),
        {"GetClientAddress",
         [](std::string& problems) -> long {
             std::wstring address = CallersText();
             bool isLocal = true;
             const bool known = SessionCtrl::GetClientAddress(kOtherSession, address, isLocal);
             alloc_faults::ForeignScope caller;
             if (!known && address != kPrefilled && !address.empty())
                 problems += "address half-written on failure\n";
             return known;
         }},
        {"IsPCoIPConnect", [](std::string&) -> long { return SessionCtrl::IsPCoIPConnect(); }},
        {"GetCurrentSessionID",
         [](std::string&) -> long { return static_cast<long>(SessionCtrl::GetCurrentSessionID()); }},
        {"FindProcess", [](std::string&) -> long { return SessionCtrl::FindProcess(0, L"EXPLORER.EXE"); }},
        // Release, then the re-initialisation the next call makes.
        {"Release+IsConnected",
         [](std::string&) -> long {
             SessionCtrl::IsConnected(kOtherSession);
             SessionCtrl::Release();
             return SessionCtrl::IsConnected(kOtherSession);
         }},
        {"front functions", FrontFunctions, true},
    };
    return cases;
}

bool IsCitrix(Product product) {
    return product == Product::XenDesktop || product == Product::XenDesktop7;
}

// The Citrix backend lets exceptions of these operations pass to the facade, which has
// no handler of its own; everything else catches them.
bool MayLetBadAllocPass(const std::string& exportName, Product product) {
    static const std::set<std::string> catching = {
        "GetStatus", "GetWinStationName(id)", "GetWinStationName", "GetClientAddress",
        "IsPCoIPConnect", "GetCurrentSessionID", "FindProcess", "front functions"};
    return IsCitrix(product) && catching.count(exportName) == 0;
}

// Win32 functions that cannot fail on Windows (winsim logs them but ignores faults), and
// the ones that give a resource back: when those fail the resource stays with Windows,
// which the accounting would rightly count against nobody but the platform.
bool CanFail(const std::string& function) {
    static const std::set<std::string> infallible = {
        "RegCloseKey", "CloseHandle", "FreeLibrary", "LocalFree", "RevertToSelf",
        "GetLocalTime", "timeGetTime", "Sleep", "InitializeCriticalSection",
        "InitializeCriticalSectionAndSpinCount", "EnterCriticalSection", "LeaveCriticalSection",
        "DeleteCriticalSection", "WTSFreeMemory", "WTSFreeMemoryExW", "WTSCloseServer",
        "GetCurrentProcessId", "GetCurrentThreadId", "_wcsicmp", "_wtoi"};
    return infallible.count(function) == 0;
}

enum class FaultKind { None, Win32, Wfapi, Allocation };
struct Fault {
    FaultKind kind = FaultKind::None;
    std::string function;
    unsigned nth = 0;
};

// What one run reported.
struct RunReport {
    long answer = 0;
    bool escaped = false;
    std::string escapedWhat;
    unsigned allocations = 0;
    std::vector<std::string> calls;       // Win32 calls of the export, in order
    std::vector<std::string> wfapiCalls;  // wfapi.dll calls of the export
    std::string problems;
};

std::string Scenario(const ExportCase& exportCase, Product product, const Fault& fault) {
    TempDirectory files;
    PrepareMachine(product, files.path());
    const winsim::Outstanding baseline = winsim::CountOutstanding();
    std::ostringstream out;
    {
        AttachedLibrary library;
        const std::size_t before = winsim::CallLog().size();
        wfapi_faults::ForgetCalls();
        switch (fault.kind) {
            case FaultKind::None: break;
            case FaultKind::Win32: winsim::FailCall(fault.function, ERROR_ACCESS_DENIED, fault.nth); break;
            case FaultKind::Wfapi: wfapi_faults::FailCall(fault.function, fault.nth); break;
            case FaultKind::Allocation: break;
        }
        if (fault.kind == FaultKind::Allocation)
            alloc_faults::FailNth(fault.nth);
        else
            alloc_faults::StartCounting();
        std::string problems;
        long answer = 0;
        std::string escaped;
        try {
            answer = exportCase.call(problems);
        } catch (const std::bad_alloc&) {
            escaped = "bad_alloc";
        } catch (const std::exception& error) {
            escaped = error.what();
        } catch (...) {
            escaped = "unknown";
        }
        const unsigned allocations = alloc_faults::Stop();
        if (escaped.empty())
            out << "ANSWER " << answer << "\n";
        else
            out << "ESCAPED " << escaped << "\n";
        out << "ALLOCATIONS " << allocations << "\n";
        winsim::ClearFaults();
        wfapi_faults::ClearFaults();
        std::istringstream lines(problems);
        for (std::string line; std::getline(lines, line);) out << "PROBLEM " << line << "\n";
        const auto log = winsim::CallLog();
        for (std::size_t i = before; i < log.size(); ++i) out << "CALL " << log[i] << "\n";
        for (const std::string& call : wfapi_faults::CallLog()) out << "WFCALL " << call << "\n";
    }
    std::istringstream leftovers(Leftovers(baseline));
    for (std::string line; std::getline(leftovers, line);) out << "PROBLEM " << line << "\n";
    return out.str();
}

RunReport Parse(const std::string& text) {
    RunReport run;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t space = line.find(' ');
        const std::string tag = line.substr(0, space);
        const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (tag == "ANSWER") run.answer = std::stol(rest);
        else if (tag == "ESCAPED") run.escaped = true, run.escapedWhat = rest;
        else if (tag == "ALLOCATIONS") run.allocations = static_cast<unsigned>(std::stoul(rest));
        else if (tag == "CALL") run.calls.push_back(rest);
        else if (tag == "WFCALL") run.wfapiCalls.push_back(rest);
        else run.problems += line + "\n";
    }
    return run;
}

RunReport RunOnce(const ExportCase& exportCase, Product product, const Fault& fault) {
    return Parse(RunInChild([&] { return Scenario(exportCase, product, fault); }));
}

// How often each function that can fail appears in `calls`, in order of first call.
std::vector<std::pair<std::string, unsigned>> Failable(const std::vector<std::string>& calls,
                                                       bool (*canFail)(const std::string&)) {
    std::vector<std::pair<std::string, unsigned>> counts;
    for (const std::string& call : calls) {
        if (!canFail(call)) continue;
        auto found = std::find_if(counts.begin(), counts.end(),
                                  [&](const auto& entry) { return entry.first == call; });
        if (found == counts.end())
            counts.emplace_back(call, 1);
        else
            ++found->second;
    }
    return counts;
}

struct Row {
    std::string exportName;
    std::string backend;
    std::size_t callsFailed = 0;  // distinct functions made to fail
    unsigned callRuns = 0;
    unsigned allocationRuns = 0;
    unsigned escaped = 0;
};

void Publish(const Row& row) {
    char text[256];
    std::snprintf(text, sizeof text, "| %-26s | %-13s | %5zu | %5u | %5u | %4u |",
                  row.exportName.c_str(), row.backend.c_str(), row.callsFailed, row.callRuns,
                  row.allocationRuns, row.escaped);
    std::printf("%s\n", text);
    if (const char* table = std::getenv("HALCYON_SWEEP_TABLE")) {
        std::ofstream(table, std::ios::app) << text << "\n";
    }
}

class FaultSweepTest : public testing::TestWithParam<BackendCase> {
protected:
    // Checks one faulted run against the undisturbed answer; returns whether it escaped.
    static bool Check(const ExportCase& exportCase, const RunReport& run, long undisturbed,
                      const std::string& what) {
        const Product product = GetParam().product;
        EXPECT_EQ(run.problems, "") << exportCase.name << " with " << what;
        if (run.escaped) {
            EXPECT_TRUE(MayLetBadAllocPass(exportCase.name, product) &&
                        run.escapedWhat == "bad_alloc")
                << exportCase.name << " let " << run.escapedWhat << " out with " << what;
            return true;
        }
        EXPECT_TRUE(exportCase.faultsSteerAnswer || run.answer == undisturbed || run.answer == 0)
            << exportCase.name << " answered " << run.answer << " (undisturbed " << undisturbed
            << ") with " << what;
        return false;
    }
};

// HALCYON_SWEEP_STRIDE=n runs only every nth faulted run: under the sanitizers each
// fork costs far more, so their runs sample the sweep that the plain build runs whole.
unsigned Stride() {
    const char* text = std::getenv("HALCYON_SWEEP_STRIDE");
    const int stride = text != nullptr ? std::atoi(text) : 1;
    return stride > 1 ? static_cast<unsigned>(stride) : 1u;
}

TEST_P(FaultSweepTest, EveryCallAndAllocationFailingInTurnIsHandled) {
    const Product product = GetParam().product;
    unsigned planned = 0;
    auto due = [&planned] { return planned++ % Stride() == 0; };
    for (const ExportCase& exportCase : Exports()) {
        if (exportCase.frontFunctions && product != Product::Plain) continue;
        const RunReport clean = RunOnce(exportCase, product, {});
        ASSERT_EQ(clean.problems, "") << exportCase.name << " without faults";
        ASSERT_FALSE(clean.escaped) << exportCase.name << " without faults";
        Row row{exportCase.name, GetParam().name};
        const auto win32 = Failable(clean.calls, CanFail);
        const auto wfapi = Failable(clean.wfapiCalls, wfapi_faults::CanFail);
        row.callsFailed = win32.size() + wfapi.size();
        for (const auto& [function, count] : win32) {
            for (unsigned nth = 1; nth <= count; ++nth) {
                if (!due()) continue;
                ++row.callRuns;
                const RunReport run = RunOnce(exportCase, product, {FaultKind::Win32, function, nth});
                row.escaped += Check(exportCase, run, clean.answer,
                                     function + " #" + std::to_string(nth) + " failing");
            }
        }
        for (const auto& [function, count] : wfapi) {
            for (unsigned nth = 1; nth <= count; ++nth) {
                if (!due()) continue;
                ++row.callRuns;
                const RunReport run = RunOnce(exportCase, product, {FaultKind::Wfapi, function, nth});
                row.escaped += Check(exportCase, run, clean.answer,
                                     function + " #" + std::to_string(nth) + " failing");
            }
        }
        for (unsigned nth = 1; nth <= clean.allocations; ++nth) {
            if (!due()) continue;
            ++row.allocationRuns;
            const RunReport run = RunOnce(exportCase, product, {FaultKind::Allocation, "", nth});
            row.escaped += Check(exportCase, run, clean.answer,
                                 "allocation #" + std::to_string(nth) + " failing");
        }
        Publish(row);
    }
}

INSTANTIATE_TEST_SUITE_P(Backend, FaultSweepTest, testing::ValuesIn(kBackends),
                         [](const testing::TestParamInfo<BackendCase>& backend) {
                             return std::string(backend.param.name);
                         });

}  // namespace
}  // namespace reliability
