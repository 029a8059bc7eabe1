// The Citrix backend, its wfapi.dll loader and its selection arm on simulated XenDesktop
// machines. Each row describes the machine in words, names the calls, and gives the whole
// outcome: the answers, then every text of session.log in order, with each "+ WFAPIDll::"
// scope folded into the call it made into wfapi.dll ("Query 5 8") or, when it made none,
// into its name in brackets ("(Query)"), then what Windows was told to do (disconnects,
// locks, processes started, waits). Every test also checks that every block wfapi.dll
// handed out went back, how the Citrix key was opened and how libraries were loaded.
#include "fake_wfapi.h"

#include <environment.h>
#include <ssolog/trace.h>
#include <test_support/library_fixture.h>
#include <wfapi_dll.h>
#include <xendesktop_ctrl.h>

#include <sstream>

namespace {

using sessionctrl::WFAPIDll;
using Ctrl = sessionctrl::XenDesktopCtrl;
const std::wstring kCitrixKey = L"SOFTWARE\\Citrix\\PortICA\\Install";

std::ostream& operator<<(std::ostream& out, const std::wstring& text) { return out << std::string(text.begin(), text.end()); }
// Arguments are evaluated in no fixed order: pass values and at most one call.
template <class... T>
std::string Join(const char* separator, const T&... values) {
    std::ostringstream text;
    const char* before = "";
    ((text << before << std::boolalpha << values, before = separator), ...);
    return text.str();
}

// Answers of wfapi.dll: "none" and "empty" succeed without a block (size 4 and 0), "fail"
// fails with one, "throw" throws after handing one out; "list0", "list1" list 0 and 1 sessions.
const std::map<std::string, fake_wfapi::Answer> kAnswers = {
    {"state4", {TRUE, {4}, 4}}, {"ipv4", {TRUE, {2, 0, 0, 0, 9, 9, 192, 0, 2, 10}, 24}}, {"family0", {TRUE, {0}, 24}},
    {"ipv6", {TRUE, {23, 0, 0, 0, 0, 0, 0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 3, 0, 4}, 24}},
    {"list0", {TRUE, {0}, 0}}, {"list1", {TRUE, {0}, 1}}, {"none", {TRUE, {}, 4}}, {"empty", {TRUE, {}, 0}},
    {"false", {FALSE, {}, 0}},
    {"fail", {FALSE, {0}, 4, ERROR_CTX_WINSTATION_NOT_FOUND}}, {"throw", {TRUE, {0}, 4, 0, true}},
    {"8bytes", {TRUE, {0}, 8}}, {"0bytes", {TRUE, {'A', 0, 0, 0, 0, 0, 0, 0}, 0}}};

// Blank-separated words. Call=A: wfapi.dll answers the call of that line (dots for blanks)
// with A from kAnswers, or with the text after "@" (ending in "%C.B": with a count of C
// characters and B bytes). xd, xd7: that product installed; own=N:
// the caller's session; remote: a Remote Desktop session; win=M.m.s: the Windows version;
// wow: a 32-bit process on 64-bit Windows (from before the backend initialises). bob:
// bob's session 5 of domain CORP (bob=blank: without user and domain; bob=fail: its
// domain and user queries fail). loc=T: "Location" is T ("^" a NUL, a final "!" leaves out the
// terminating one), locx=T: the same as REG_EXPAND_SZ; nokey: no Citrix key; lacks=E:
// "Location" names a wfapi.dll without export E; off: tracing switched off;
// fail=Function: that call fails with ERROR_ACCESS_DENIED.
void Machine(const std::string& words, bool early) {
    std::istringstream in(words);
    for (std::string word; in >> word;) {
        const std::size_t equals = std::min(word.find('='), word.size());
        const std::string kind = word.substr(0, equals), value = word.substr(std::min(equals + 1, word.size()));
        std::wstring text(value.begin(), value.end());
        if (early != (kind == "wow")) continue;
        if (std::isupper(kind[0])) {
            std::string call = kind;
            std::replace(call.begin(), call.end(), '.', ' ');
            const std::size_t count = std::min(value.find('%'), value.size());
            auto& answer = fake_wfapi::Answers()[call] = value[0] == '@' ? fake_wfapi::Text(text.substr(1, count - 1))
                                                                         : kAnswers.at(value);
            unsigned chars = 0, bytes = 0;
            if (std::sscanf(value.c_str() + count, "%%%u.%u", &chars, &bytes) == 2) answer.bytes = chars * sizeof(WCHAR) + bytes;
        } else if (kind == "xd" || kind == "xd7") {
            test_support::InstallProduct(kind == "xd" ? L"XenDesktop" : L"XenDesktop7");
        } else if (kind == "own" || kind == "remote" || kind == "wow") {
            kind == "own" ? winsim::SetCurrentSession(std::stoul(value))
                          : kind == "wow" ? winsim::SetWow64(true) : winsim::SetRemoteSession(true);
        } else if (kind == "win") {
            unsigned major = 0, minor = 0, pack = 0;
            std::sscanf(value.c_str(), "%u.%u.%u", &major, &minor, &pack);
            winsim::SetWindowsVersion(major, minor, static_cast<WORD>(pack));
        } else if (kind == "bob") {
            const bool blank = value == "blank";
            const std::map<int, DWORD> failing = {{WTSDomainName, 5}, {WTSUserName, 7022}};
            winsim::AddUser(L"bob", L"S-1-5-21-1000-2000-3000-1105");
            winsim::AddSession({5, L"", blank ? L"" : L"bob", blank ? L"" : L"CORP", WTSActive, std::nullopt, false, {},
                                value == "fail" ? failing : std::map<int, DWORD>{}, {}});
        } else if (kind == "loc" || kind == "locx") {
            std::replace(text.begin(), text.end(), L'^', L'\0');
            text = !text.empty() && text.back() == L'!' ? text.substr(0, text.size() - 1) : text + L'\0';
            const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
            winsim::SetValue(HKEY_LOCAL_MACHINE, kCitrixKey, L"Location", {DWORD(kind == "loc" ? REG_SZ : REG_EXPAND_SZ),
                                                                           {bytes, bytes + text.size() * sizeof(WCHAR)}});
        } else if (kind == "nokey") {
            winsim::DeleteKey(HKEY_LOCAL_MACHINE, kCitrixKey);
        } else if (kind == "lacks") {
            winsim::RegisterModule(L"D:\\Partial\\wfapi.dll", fake_wfapi::Exports(value));
            winsim::SetString(HKEY_LOCAL_MACHINE, kCitrixKey, L"Location", L"D:\\Partial");
        } else if (kind == "off") {
            test_support::SwitchTracingOff();
            winsim::AdvanceMs(10000);  // when the log reads its switch again
        } else if (kind == "fail") {
            winsim::FailCall(value, ERROR_ACCESS_DENIED);
        } else {
            ADD_FAILURE() << "unknown machine word " << word;
        }
    }
}

// Each call gives its answer and outputs (texts start as "old", isLocal as true), or
// nothing; of session 5 unless named "own", waiting unless it ends in 0.
const std::map<std::string, std::string (*)(Ctrl&)> kCalls = {
    {"status", [](Ctrl& c) { int state = 77; const bool r = c.GetStatus(5, state); return Join(" ", r, state); }},
    {"station", [](Ctrl& c) { std::wstring t = L"old"; const bool r = c.GetWinStationName(5, t); return Join(" ", r, t); }},
    {"ownstation", [](Ctrl& c) { std::wstring t = L"old"; const bool r = c.GetWinStationName(t); return Join(" ", r, t); }},
    {"domain", [](Ctrl& c) { std::wstring t = L"old"; const bool r = c.GetLoggedOnWinDomain(5, t); return Join(" ", r, t); }},
    {"owndomain", [](Ctrl& c) { std::wstring t = L"old"; const bool r = c.GetLoggedOnWinDomain(t); return Join(" ", r, t); }},
    {"user", [](Ctrl& c) { std::wstring t = L"old"; const bool r = c.GetSessionUserName(5, t); return Join(" ", r, t); }},
    {"address", [](Ctrl& c) { std::wstring a = L"old"; bool local = true; const bool r = c.GetClientAddress(5, a, local);
                              return Join(" ", r, a, local); }},
    {"logoff", [](Ctrl& c) { return Join("", c.LogoffSession(5, true)); }},
    {"logoff0", [](Ctrl& c) { return Join("", c.LogoffSession(5, false)); }},
    {"disconnect", [](Ctrl& c) { return Join("", c.Disconnect(5, true)); }},
    {"disconnect0", [](Ctrl& c) { return Join("", c.Disconnect(5, false)); }},
    {"force", [](Ctrl& c) { return Join("", c.DisconnectForce(5, true)); }},
    {"local", [](Ctrl& c) { return Join("", c.IsLocalSession()); }},
    {"init", [](Ctrl& c) { return Join("", c.Initialize()); }},
    {"isinit", [](Ctrl& c) { return Join("", c.IsInitialized()); }},
    {"release", [](Ctrl& c) { return c.Release(), std::string(); }},
    // A loader of its own: loaded (how many exports looked up), asked to open and close a
    // server, released by its destructor.
    {"load", [](Ctrl&) {
         WFAPIDll loader;
         const unsigned before = winsim::CallCount("GetProcAddress");
         const bool loaded = loader.Load(), isLoaded = loader.IsLoaded();
         const unsigned lookups = winsim::CallCount("GetProcAddress") - before;
         loader.IWFCloseServer(loader.IWFOpenServerW(nullptr));
         return Join(" ", loaded, isLoaded, lookups);
     }},
    // A loader whose release fails: its FreeLibrary is the one after that of the scope's entry
    // line (a trace gives back a module reference of its own). Then asked to free memory.
    {"badrelease", [](Ctrl&) {
         WFAPIDll loader;
         unsigned before = (loader.Load(), winsim::CallCount("FreeLibrary"));
         ssolog::IsTraceEnabled();
         winsim::FailCall("FreeLibrary", ERROR_INVALID_HANDLE, winsim::CallCount("FreeLibrary") - before + 1);
         loader.Release();
         FreeLibrary(GetModuleHandleW(L"C:\\Citrix\\wfapi.dll"));  // the reference the failed call kept
         loader.IWFFreeMemory(&before);
         return Join("", loader.IsLoaded());
     }},
    {"select", [](Ctrl&) {  // and the backend chosen deleted again, which releases it
         const unsigned before = winsim::CallCount("MultiByteToWideChar");
         const bool ready = sessionctrl::EnsureBackend() && sessionctrl::CurrentBackend()->IsInitialized();
         const unsigned conversions = winsim::CallCount("MultiByteToWideChar") - before;
         sessionctrl::InstallBackend(nullptr);
         return Join(" ", ready, conversions, "conversions");
     }},
};

// The wrappers' scopes and the lines of their calls in the fake.
const std::map<std::string, std::string> kWrappers = {
    {"IWFOpenServerW", "Open"}, {"IWFCloseServer", "Close"}, {"IWFQuerySessionInformationW", "Query"},
    {"IWFDisconnectSession", "Disconnect"}, {"IWFLogoffSession", "Logoff"}, {"IWFFreeMemory", "Free"},
    {"IWFEnumerateSessionsW", "Enumerate"}, {"Release", "Release"}};

struct Row { const char *name, *machine, *calls; std::string outcome; };
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class CitrixTest : public test_support::LibraryFixture, public testing::WithParamInterface<Row> {
protected:
    // Registered apart from the test program: the lock launcher asks for its directory.
    HMODULE LibraryModule() override { return winsim::RegisterModule(L"C:\\Halcyon\\HalcyonSessionCtrl.dll", {}); }
    // A XenDesktopCtrl initialised on the machine (server 1 open); what that did is forgotten.
    void SetUp() override {
        LibraryFixture::SetUp();
        fake_wfapi::Reset();
        winsim::RegisterModule(L"C:\\Citrix\\wfapi.dll", fake_wfapi::Exports());
        winsim::SetString(HKEY_LOCAL_MACHINE, kCitrixKey, L"Location", L"C:\\Citrix");
        Machine(GetParam().machine, true);
        ASSERT_TRUE(ctrl_->Initialize());
        ForgetLog();
        fake_wfapi::Calls(true);
    }
    // The Citrix key is opened read-only, in the 64-bit view under WOW64; wfapi.dll is
    // loaded from its own directory.
    void TearDown() override {
        ctrl_.reset();
        EXPECT_EQ(fake_wfapi::Leftovers(), "");
        const bool wow64 = std::string(GetParam().machine).find("wow") != std::string::npos;
        const REGSAM access = KEY_READ | (wow64 ? KEY_WOW64_64KEY : 0);
        for (const auto& open : winsim::KeyOpens()) {
            if (open.subKey == kCitrixKey) { EXPECT_EQ(open.access, access); }
        }
        for (const auto& load : winsim::LibraryLoads()) EXPECT_EQ(load.flags, LOAD_WITH_ALTERED_SEARCH_PATH);
        LibraryFixture::TearDown();
    }

    std::string Run() {
        Machine(GetParam().machine, false);
        std::istringstream calls(GetParam().calls);
        std::string out;
        for (std::string call; calls >> call;) {
            const std::string answer = kCalls.at(call)(*ctrl_);
            out += (out.empty() || answer.empty() ? "" : ", ") + answer;
        }
        const auto wfapi = fake_wfapi::Calls();
        const auto log = LoggedTexts();
        std::size_t next = 0;
        for (std::size_t i = 0; i < log.size(); ++i) {
            const std::size_t in = std::min(log[i].find(", >> in"), log[i].size());
            const auto wrapper = kWrappers.find(log[i].substr(std::min<std::size_t>(12, in), in - 12));
            if (log[i].rfind("+ WFAPIDll::", 0) != 0 || wrapper == kWrappers.end() || i + 1 == log.size() ||
                log[i + 1] != log[i].substr(0, in) + ", << out - 0 [msec]") {
                out += " | " + log[i];
                continue;
            }
            const bool called = next < wfapi.size() && wfapi[next].rfind(wrapper->second, 0) == 0;
            out += " | " + (called ? wfapi[next++] : "(" + wrapper->second + ")");
            ++i;
        }
        while (next < wfapi.size()) out += " | outside a scope: " + wfapi[next++];
        for (const auto& a : winsim::Actions()) out += " | " + Join(" ", a.function, a.sessionId, a.wait);
        for (const auto& l : winsim::Launches()) {
            out += " | " + Join(" ", l.applicationName, l.commandLine, l.user, l.sessionId, l.creationFlags,
                                L"desktop '" + l.desktop + L"'", l.callerImpersonating);
        }
        for (const auto& wait : winsim::Waits()) out += " | wait " + std::to_string(wait.milliseconds);
        return out;
    }

    std::unique_ptr<Ctrl> ctrl_ = std::make_unique<Ctrl>();
};

TEST_P(CitrixTest, Outcome) { EXPECT_EQ(Run(), GetParam().outcome); }

const std::string kPath = " | C:\\Citrix\\wfapi.dll,", kLoaded = " | success., | Open | Close 2 | (Release)";
const std::string kStationError = " | [WFAPI] GetWinStationName error >, ";
const std::string kLaunch = " | C:\\Halcyon\\CorvaneKwardenService.exe -lock bob 5 48 desktop ''";
const std::string kSelected = " | Initialize..., XenDesktop | Session control [WFAPI],";

const Row kRows[] = {
    // Connection state, station name and client address come from Citrix; blocks go back.
    {"CitrixAnswers", "Query.5.8=state4 Query.5.6=@ICA-CGP#4 Query.5.14=ipv4", "status station address",
     "true 4, true ICA-CGP#4, true 192.0.2.10 false | Query 5 8 | Free | Query 5 6 | Free | Query 5 14 | Free"},
    {"FailedWithBlocks", "Query.5.8=fail Query.5.6=fail Query.5.14=fail", "status station address",
     "false 77, false old, false  true | Query 5 8 | Free | Query 5 6" + kStationError + "7022 (0x1b6e) | Free"
     " | Query 5 14 | Free"},
    {"WithoutBlocks", "Query.5.8=none Query.5.6=none Query.5.14=none", "status station address",
     "false 77, false old, true  true | Query 5 8 | Query 5 6" + kStationError + "0 (0x0) | Query 5 14"},
    {"OddSizes", "Query.5.8=8bytes Query.5.6=0bytes", "status station",
     "false 77, false old | Query 5 8 | Free | Query 5 6" + kStationError + "0 (0x0) | Free"},
    {"TextsWithinTheirByteCount", "own=2 Query.5.6=@ICA-CGP#4%3.1 Query.2.6=@A%0.1", "station ownstation",
     "true ICA, true Console | Query 5 6 | Free | Query 2 6 | Free"},
    {"IPv6Client", "Query.5.14=ipv6", "address", "true fe80:0:0:0:1:2:3:4 false | Query 5 14 | Free"},
    {"OwnEmptyStationIsConsole", "own=2 Query.2.6=@", "ownstation", "true Console | Query 2 6 | Free"},
    {"ThrowingQueries", "Query.5.8=throw Query.5.6=throw Query.5.14=throw Enumerate.0.1=throw win=6.3.0",
     "status station address local", "false 77, false old, false old true, false | Query 5 8 | Free | Query 5 6"
     " | Free | Query 5 14 | Free | Enumerate 0 1 | Free"},
    // Domain and user come from Terminal Services; any text is an answer.
    {"DomainAndUser", "bob", "domain user", "true CORP, true bob"},
    {"EmptyDomainAndUser", "bob=blank own=5", "domain user owndomain", "true , true , true "},
    {"DomainAndUserFail", "bob=fail", "domain user", "false old, false old | [WFAPI] GetLoggedOnWinDomain error >, "
     "5 (0x5) | [WFAPI] GetSessionUserName error >, 7022 (0x1b6e)"},
    // Commands; on XenDesktop 7 a disconnect from the services session locks the session instead.
    {"CitrixCommands", "xd own=0 Logoff.5.0=false Disconnect.5.0=false", "logoff disconnect logoff0 disconnect0",
     "true, true, false, false | Logoff 5 1 | Disconnect 5 1 | Logoff 5 0 | Disconnect 5 0"},
    {"XenDesktop7FromAUserSession", "xd7", "disconnect", "true | Disconnect 5 1"},
    {"XenDesktop7FromServices", "xd7 own=0 bob", "disconnect0 force",
     "true, true | WTSDisconnectSession 5 1" + kLaunch + " true | wait 1000"},
    {"UnknownOwnSessionIsServices", "xd7 bob fail=ProcessIdToSessionId", "disconnect", "true" + kLaunch + " true | wait 1000"},
    {"LockNotImpersonated", "xd7 own=0 bob fail=ImpersonateLoggedOnUser", "disconnect", "true" + kLaunch + " false | wait 1000"},
    {"LockWithoutToken", "xd7 own=0", "disconnect", "true"},
    {"LockProcessNotCreated", "xd7 own=0 bob fail=CreateProcessAsUserW", "disconnect", "true"},
    // Whether the caller's session (1) is local.
    {"LocalRemoteDesktop", "remote", "local", "false"},
    {"LocalWithoutClient", "Query.1.14=none", "local", "true | Query 1 14"},
    {"LocalWithClient", "win=11.0.0 Query.1.14=family0", "local", "false | Query 1 14 | Free"},
    {"LocalQueryFailed", "win=10.1.0 Query.1.14=fail", "local", "true | Query 1 14 | Free"},
    {"LocalOwnSessionUnknown", "fail=ProcessIdToSessionId", "local", "false"},
    {"LocalOlderNoSession", "win=6.3.0 Enumerate.0.1=list0", "local", "true | Enumerate 0 1 | Free"},
    {"LocalOlderOneSession", "win=6.1.1 Enumerate.0.1=list1", "local", "false | Enumerate 0 1 | Free"},
    {"LocalOlderListFailed", "win=6.3.0 Enumerate.0.1=fail", "local", "false | Enumerate 0 1 | Free"},
    {"LocalOlderListWithoutBlock", "win=6.3.0 Enumerate.0.1=empty", "local", "false | Enumerate 0 1"},
    // Life cycle.
    {"SecondInitialize", "", "isinit init release isinit",
     "true, true, false | Session control [WFAPI], | Close 1 | Open | Close 2 | (Release)"},
    {"NullServer", "Open=false", "release init isinit release",
     "true, true | Close 1 | (Release) | Session control [WFAPI]," + kPath + " | success., | Open | (Release)"},
    {"ReleasedAnswersNeutrally", "xd win=6.3.0", "release release isinit disconnect0 logoff0 status address local",
     "false, false, false, false 77, false  true, false | Close 1 | (Release) | (Disconnect) | (Logoff) | (Query)"
     " | (Query) | (Enumerate)"},
    // The loader: where wfapi.dll is, how it is loaded and released.
    {"LocationWithBackslash", "loc=C:\\Citrix\\", "load", "true true 7" + kPath + kLoaded},
    {"LocationWithoutNulUpToNul", "loc=C:\\Citrix^D:\\!", "load", "true true 7" + kPath + kLoaded},
    {"LocationOnlyNul", "loc=", "load", "true true 7 | wfapi.dll," + kLoaded},
    {"LocationExpandString", "locx=C:\\Citrix", "load", "false false 0 | registry not found., | (Open) | (Close)"},
    {"Wow64", "wow", "load", "true true 7" + kPath + kLoaded},
    {"LoadLibraryFails", "fail=LoadLibraryExW", "load", "false false 0" + kPath + " | LoadLibrary error., 5 (0x5) | (Open) | (Close)"},
    {"ExportMissing", "lacks=WFFreeMemory", "load",
     "false false 6 | D:\\Partial\\wfapi.dll, | WFFreeMemory not found., | (Open) | (Close)"},
    {"FreeLibraryFails", "", "badrelease", "false" + kPath + " | success., | + WFAPIDll::Release, >> in"
     " | FreeLibrary error., | + WFAPIDll::Release, << out - 0 [msec] | (Free)"},
    // Backend selection on XenDesktop, and its fallback to RDPCtrl.
    {"SelectsXenDesktopCtrl", "xd", "select", "true 0 conversions" + kSelected + kPath + " | success., | Open | Close 2 | (Release)"},
    {"FallsBackToRDPCtrl", "xd7 nokey", "select", "true 2 conversions" + kSelected + " | registry not found., | "
     " Initialization of XenDesktop's wfapi library failed, so it will be initialized for RDP., | Session control [Default],"},
    {"FallbackUntracedWhileOff", "xd nokey off", "select", "true 0 conversions"},
};
INSTANTIATE_TEST_SUITE_P(Citrix, CitrixTest, testing::ValuesIn(kRows), test_support::RowName());

}  // namespace
