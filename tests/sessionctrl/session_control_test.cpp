// The session-control core on one simulated machine: every export with its answers and its
// whole session.log, the product and its cache, the WOW64 answer, the backend's life, the
// Terminal Services backend's own rules and the token holder.
#include "dll_main.h"
#include "environment.h"
#include "rdp_ctrl.h"
#include <test_support/library_fixture.h>

#include <sessionctrl/SessionCtrl.h>
#include <ssolog/trace.h>
#include <tessark/tessark.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <thread>

namespace sessionctrl_test {
namespace {

using namespace test_support;
using namespace sessionctrl;
using S = SessionCtrl;

winsim::SessionSpec Session(DWORD id, const wchar_t* station, const wchar_t* user, WTS_CONNECTSTATE_CLASS state) {
    winsim::SessionSpec session;
    session.id = id, session.station = station, session.user = user, session.state = state;
    session.domain = id == 1 ? L"" : L"CORP";
    return session;
}

// Session 1 is the caller's console: no domain, no client. 4 is a connected IPv6 client of
// address zero; 5 a disconnected IPv4 client; 6 an IPv6 client nobody is logged on to, listed
// without a station name; 7 refuses every query; 8 is shadowed, with a client of no known
// family, whose byte counts stop short of its texts (3 characters and a byte of its station
// name, 2 of its user, 1 byte of its domain); 9 answers its state in 8 bytes, its station
// name in none and its client in a record too short to read.
class Core : public LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        winsim::AddUser(L"bob", L"S-1-5-21-7");
        std::vector<winsim::SessionSpec> s = {
            Session(1, L"", L"alice", WTSActive),          Session(4, L"RDP-Tcp#0", L"alice", WTSConnected),
            Session(5, L"RDP-Tcp#1", L"bob", WTSDisconnected), Session(6, L"RDP-Tcp#2", L"", WTSConnectQuery),
            Session(7, L"RDP-Tcp#3", L"carol", WTSActive),  Session(8, L"RDP-Tcp#4", L"dave", WTSShadow),
            Session(9, L"RDP-Tcp#5", L"erin", WTSActive)};
        s[1].clientAddress = winsim::IPv6({});
        s[2].clientAddress = winsim::IPv4(192, 0, 2, 10);
        s[3].clientAddress = winsim::IPv6({0, 0xa, 0x100, 0x1000, 0xdb8, 0, 0, 1});
        s[3].nullStationInList = true;
        for (int info : {WTSUserName, WTSWinStationName, WTSDomainName, WTSConnectState, WTSClientAddress})
            s[4].failingInfo[info] = ERROR_ACCESS_DENIED;
        s[5].clientAddress = winsim::ClientAddress{AF_UNSPEC, {0, 0, 10, 0, 0, 1}};
        s[5].reportedBytes = {{WTSWinStationName, 3 * sizeof(WCHAR) + 1}, {WTSUserName, 2 * sizeof(WCHAR)}, {WTSDomainName, 1}};
        s[6].rawInfo[WTSConnectState].resize(8);
        s[6].rawInfo[WTSWinStationName] = {};
        s[6].rawInfo[WTSClientAddress] = {AF_INET, 0, 0, 0, 0, 0, 192, 0};
        for (const auto& session : s) winsim::AddSession(session);
        winsim::AddProcess({100, 1, L"explorer.exe"});
        winsim::AddProcess({200, 5, L"Pcoip_Server_Win32.EXE"});
    }

    // The whole of session.log, lines apart by "|".
    std::string Log() const {
        std::string log;
        for (const std::string& line : LoggedTexts()) log += (log.empty() ? "" : "|") + line;
        return log;
    }
};

#define START "Initialize..., RDP|Session control [Default],"

// What the calls of a row are given to fill; Show renders their results and, once, all
// that changed.
struct Out {
    std::wstring text = L"prior";
    int state = -1;
    bool isLocal = false;
    std::list<ISessionCtrl::SESSION_INFO> list{{70, L"mine", 9}};
    UserTokenHolder holder;

    std::string Show(std::initializer_list<bool> results) const {
        std::ostringstream shown;
        for (bool result : results) shown << std::boolalpha << result << " ";
        shown << (text != L"prior" ? "text=" + ssolog::WideToUtf8(text.c_str()) + " " : "");
        shown << (state != -1 ? "state=" + std::to_string(state) + " " : "");
        shown << (isLocal ? "local " : "") << (holder.GetToken() != nullptr ? "token " : "");
        for (const auto& info : list)
            if (list.size() != 1) shown << info.SessionId << ":" << ssolog::WideToUtf8(info.WinStationName.c_str()) << ":" << info.State << " ";
        for (const winsim::Action& action : winsim::Actions())
            shown << action.function << ":" << action.sessionId << ":" << action.wait << " ";
        return shown.str();
    }
};

void RemoveSessions() {
    for (const auto& session : winsim::Sessions()) winsim::RemoveSession(session.id);
}

// Asks twice whether the process runs under WOW64, the machine turning the other way in
// between: each answer with the registry access it gives, then how often Windows was asked.
std::string Wow64Twice(bool wow64, bool exported, bool probeFails) {
    winsim::SetWow64(wow64);
    winsim::SetIsWow64ProcessExported(exported);
    if (probeFails) winsim::FailCall("IsWow64Process", ERROR_ACCESS_DENIED, 1);
    std::ostringstream answers;
    for (int ask = 0; ask < 2; ++ask) {
        const bool answer = IsRunningUnderWow64();
        answers << answer << ":" << std::hex << BackendRegistryAccess() << " ";
        winsim::SetWow64(!answer);
        winsim::SetIsWow64ProcessExported(true);
    }
    return answers.str() + std::to_string(winsim::CallCount("IsWow64Process"));
}

// Each row runs in a process of its own, from a cold start.
struct Row { const char* name; std::function<std::string(Out&)> call; const char* answer, *log; };
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

#define C(...) [](Out & o) { return o.Show({__VA_ARGS__}); }
#define ADDRESS(id) S::GetClientAddress(id, o.text, o.isLocal)

const Row kRows[] = {
    {"IsLocalSession", C(S::IsLocalSession(), (winsim::SetRemoteSession(true), S::IsLocalSession())), "true false ",
     START "|IsLocalSession >, local|IsLocalSession >, remote"},
    {"SessionLock", C(S::SessionLock()), "true LockWorkStation:1:0 ", "SessionLock,|" START},
    {"Disconnect", C(S::Disconnect(5, true)), "true WTSDisconnectSession:5:1 ", "Disconnect, 5 (0x5)|" START},
    {"DisconnectForce", C(S::DisconnectForce(6, false)), "true WTSDisconnectSession:6:0 ",
     "DisconnectForce, 6 (0x6)|" START},
    {"LogoffSession", C(S::LogoffSession(6, true), S::LogoffSession(99, false)), "true false WTSLogoffSession:6:1 ",
     "LogoffSession, 6 (0x6)|" START "|LogoffSession, 99 (0x63)"},
    {"IsConnected", C(S::IsConnected(1), S::IsConnected(4), S::IsConnected(6), S::IsConnected(5), S::IsConnected(8), S::IsConnected(9)),
     "true true true false false false ", START "|IsConnected >, true|IsConnected >, true|IsConnected >, true"
                                                "|IsConnected >, false|IsConnected >, false|IsConnected >, false"},
    {"GetStatus", C(S::GetStatus(5, o.state), S::GetStatus(7, o.state), S::GetStatus(9, o.state)), "true false false state=4 ",
     START "|GetStatus >, true|GetStatus >, false|GetStatus >, false"},
    {"GetWinStationName2", C(S::GetWinStationName(5, o.text), S::GetWinStationName(9, o.text), S::GetWinStationName(7, o.text)),
     "true false false text=RDP-Tcp#1 ", START "|GetWinStationName2 >, RDP-Tcp#1|GetWinStationName2 >, |GetWinStationName2 >, "},
    {"TextsWithinTheirByteCount", C(S::GetWinStationName(8, o.text), S::GetLoggedOnWinDomain(8, o.text), S::GetSessionUserName(8, o.text)),
     "true false true text=da ", START "|GetWinStationName2 >, RDP|GetLoggedOnWinDomain >, |GetSessionUserName >, da"},
    {"GetWinStationName", C(S::GetWinStationName(o.text)), "true text=Console ", START "|GetWinStationName >, Console"},
    {"GetLoggedOnWinDomain2", C(S::GetLoggedOnWinDomain(5, o.text), S::GetLoggedOnWinDomain(7, o.text)),
     "true false text=CORP ", START "|GetLoggedOnWinDomain >, CORP|GetLoggedOnWinDomain >, "},
    // The caller's own session: 6, then the console, which has no domain.
    {"GetLoggedOnWinDomain",
     C((winsim::SetCurrentSession(6), S::GetLoggedOnWinDomain(o.text)),
       (winsim::SetCurrentSession(1), S::GetLoggedOnWinDomain(o.text))),
     "true false text= ", START "|GetLoggedOnWinDomain >, CORP|GetLoggedOnWinDomain >, "},
    {"GetSessionUserName",
     C(S::GetSessionUserName(6, o.text), S::GetSessionUserName(5, o.text), S::GetSessionUserName(7, o.text)),
     "false true false text=bob ", START "|GetSessionUserName >, |GetSessionUserName >, bob|GetSessionUserName >, "},
    {"GetAllWinStationName",
     C(S::GetAllWinStationName(o.list), (winsim::FailCall("WTSEnumerateSessionsW", 5, 1), S::GetAllWinStationName(o.list)),
       (RemoveSessions(), S::GetAllWinStationName(o.list))),
     "true false false 70:mine:9 1::0 4:RDP-Tcp#0:1 5:RDP-Tcp#1:4 6::2 7:RDP-Tcp#3:0 8:RDP-Tcp#4:3 9:RDP-Tcp#5:0 ",
     START "|GetAllWinStationName count >, 8 (0x8)|GetAllWinStationName count >, 0 (0x0)"
           "|GetAllWinStationName count >, 0 (0x0)"},
    {"GetUserToken", C(S::GetUserToken(5, o.holder), S::GetUserToken(6, o.holder)), "true false token ",
     START "|GetUserToken >, 5 (0x5)|GetUserToken >, "},
    // The flag is set for a session without a client and kept by a failed query.
    {"GetClientAddress", C(ADDRESS(5), ADDRESS(6), ADDRESS(4), ADDRESS(9), ADDRESS(1), ADDRESS(7)),
     "true true true false true false text= local ",
     START "|GetClientAddress >, 192.0.2.10|GetClientAddress >, ::a:100:1000:db8:0:0:1|GetClientAddress >, ::"
           "|GetClientAddress >, |GetClientAddress >, local|GetClientAddress >, "},
    {"ClientOfNoKnownFamily", C(ADDRESS(1), ADDRESS(8)), "true false text= ",
     START "|GetClientAddress >, local|GetClientAddress >, "},
    {"GetCurrentSessionID", C(S::GetCurrentSessionID() == 1, (winsim::FailCall("ProcessIdToSessionId", 5), S::GetCurrentSessionID() == 0)),
     "true true ", ""},
    {"FindProcess",
     C(S::FindProcess(5, L"pcoip_server_win32.exe"), S::FindProcess(1, L"PCOIP_SERVER_WIN32.exe"),
       S::FindProcess(0, L"Pcoip_Server_Win32.exe"), S::FindProcess(6, L"explorer.exe"), S::FindProcess(0, nullptr)),
     "true false true false false ", ""},
    // Threads come and go unnoticed. Released, then asked again: the same object starts
    // again, nothing is detected again.
    {"Release",
     C(DllMain(ModuleInstance(), DLL_THREAD_ATTACH, nullptr) + DllMain(ModuleInstance(), DLL_THREAD_DETACH, nullptr) == 2,
       (S::Release(), S::IsConnected(1)),
       (InstallProduct(L"XenApp"), winsim::AdvanceMs(60000), S::Release(), S::IsConnected(1))),
     "true true true ", START "|IsConnected >, true|Session control [Default],|IsConnected >, true"},
    {"XenApp", C((InstallProduct(L"VMwareHorizon"), InstallProduct(L"XenApp"), S::IsConnected(1))), "true ",
     "Initialize..., RDP(XenApp)|Session control [Default],|IsConnected >, true"},
    {"ServerProbeFails", C((winsim::FailCall("WTSOpenServerW", 5), S::IsConnected(1))), "true ",
     START "|WTSOpenServer error, 5 (0x5)|IsConnected >, true"},
    {"Wow64", [](Out&) { return Wow64Twice(true, true, false); }, "1:20119 1:20119 1", ""},
    {"NotWow64", [](Out&) { return Wow64Twice(false, true, false); }, "0:20019 0:20019 1", ""},
    {"NoWow64Probe", [](Out&) { return Wow64Twice(true, false, false); }, "0:20019 0:20019 0", ""},
    {"Wow64ProbeFails", [](Out&) { return Wow64Twice(true, true, true); }, "0:20019 0:20019 1", ""},
};

class Rows : public Core, public testing::WithParamInterface<Row> {};

TEST_P(Rows, AnswerAndLog) {
    Out out;
    EXPECT_EQ(GetParam().call(out), GetParam().answer);
    EXPECT_EQ(Log(), GetParam().log);
}

INSTANTIATE_TEST_SUITE_P(Core, Rows, testing::ValuesIn(kRows), RowName());

struct Refusing : RDPCtrl { bool Initialize() override { return false; } };

// Each export is false, fills nothing and asks nothing of the backend or of Windows.
TEST_F(Core, ExportsWhenTheBackendCannotBeMadeReady) {
    InstallBackend(new Refusing);
    Out o;
    EXPECT_EQ(o.Show({S::IsLocalSession(), S::SessionLock(), S::Disconnect(1, false), S::DisconnectForce(1, false),
                      S::LogoffSession(1, false), S::IsConnected(1), S::GetStatus(1, o.state),
                      S::GetLoggedOnWinDomain(1, o.text), S::GetLoggedOnWinDomain(o.text),
                      S::GetWinStationName(1, o.text), S::GetWinStationName(o.text), S::GetAllWinStationName(o.list),
                      S::GetUserToken(1, o.holder), S::GetSessionUserName(1, o.text), (o.isLocal = true, ADDRESS(1))}),
              "false false false false false false false false false false false false false false false local ");
    EXPECT_EQ(Log(), "IsLocalSession >, error|SessionLock,|Disconnect, 1 (0x1)|DisconnectForce, 1 (0x1)"
                     "|LogoffSession, 1 (0x1)|GetLoggedOnWinDomain >, error|GetLoggedOnWinDomain >, error"
                     "|GetWinStationName2 >, error|GetWinStationName >, error|GetAllWinStationName >, error"
                     "|GetUserToken >, error|GetSessionUserName >, error|GetClientAddress >, error");
    for (const std::string& call : winsim::CallLog()) EXPECT_NE(call.rfind("WTS", 0), 0u) << call;
}

// ---- the product, the one backend -------------------------------------------------------------

// How many product switches tessark has read.
unsigned Asked() {
    const auto opens = winsim::KeyOpens();
    return std::count_if(opens.begin(), opens.end(),
                         [](const winsim::KeyOpen& open) { return open.subKey == tessark::kInstalledProductsKey; });
}

TEST_F(Core, FirstInstalledProductIsKeptThirtySecondsFromTheLastAsk) {
    struct Step { __time64_t at; const wchar_t* product; DWORD on; VdiProduct answer; unsigned asked; };
    // Asked in the order that decides and only as far as needed; a clock set back keeps the
    // answer until it passes the last ask plus 30 seconds again. Only a nonzero DWORD counts,
    // read from the 64-bit registry view even by a 32-bit process.
    winsim::SetWow64(true);
    winsim::SetValue(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, L"XenDesktop7", {REG_BINARY, {1, 0, 0, 0}});
    const Step steps[] = {{0, nullptr, 0, None, 4}, {29, L"VMwareHorizon", 1, None, 0}, {30, nullptr, 0, VMwareHorizon, 4},
                          {-3600, L"XenDesktop7", 1, VMwareHorizon, 0}, {59, nullptr, 0, VMwareHorizon, 0},
                          {60, nullptr, 0, XenDesktop7, 3}, {90, L"XenDesktop", 1, XenDesktop, 2},
                          {120, L"XenApp", 1, XenApp, 1}, {150, L"XenApp", 0, XenDesktop, 2}};
    for (const Step& step : steps) {
        winsim::SetTime64(1'800'000'000 + step.at);
        if (step.product) winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, step.product, step.on);
        const unsigned before = Asked();
        EXPECT_EQ(DetectVdiProduct(), step.answer) << step.at;
        EXPECT_EQ(Asked() - before, step.asked) << step.at;
    }
}

// Notes, as it dies, whether it was still the installed backend.
bool g_stillInstalled = true;
struct Replaced : RDPCtrl { ~Replaced() override { g_stillInstalled = CurrentBackend() == this; } };

TEST_F(Core, NewBackendIsInPlaceBeforeTheOldOneDies) {
    InstallBackend(new Replaced);
    InstallBackend(new RDPCtrl);
    EXPECT_FALSE(g_stillInstalled);
}

// Runs `call` on another thread while this one holds `lock`, and `meanwhile` as soon as
// that thread waits for a lock or has read a product switch.
void WhileHeld(CRITICAL_SECTION& lock, const std::function<void()>& call, const std::function<void()>& meanwhile) {
    EnterCriticalSection(&lock);
    const unsigned entered = winsim::CallCount("EnterCriticalSection");
    std::thread other(call);
    while (winsim::CallCount("EnterCriticalSection") == entered && Asked() == 0) std::this_thread::yield();
    meanwhile();
    LeaveCriticalSection(&lock);
    other.join();
}

TEST_F(Core, ProductIsAskedUnderTheEnvironmentLock) {
    VdiProduct product = NotDetected;
    WhileHeld(EnvironmentLock(), [&] { product = DetectVdiProduct(); }, [] {
        EXPECT_EQ(Asked(), 0u);
        InstallProduct(L"XenApp");
    });
    EXPECT_EQ(product, XenApp);
}

TEST_F(Core, FirstCallsThatMeetShareTheBackendBeingCreated) {
    auto* created = new RDPCtrl;
    bool ready = false;
    WhileHeld(BackendCreationLock(), [&] { ready = EnsureBackend(); }, [&] { InstallBackend(created); });
    ASSERT_TRUE(ready && CurrentBackend() == created);
    EXPECT_TRUE(created->IsInitialized());
    EXPECT_EQ(Log(), "Session control [Default],");
}

// ---- the token holder, tessark's module directory -------------------------------------------

TEST_F(Core, TokenHolderOwnsOneHandleAndRendersItsUser) {
    HANDLE alice = nullptr, bob = nullptr, third = nullptr;
    ASSERT_TRUE(WTSQueryUserToken(1, &alice) && WTSQueryUserToken(5, &bob) && WTSQueryUserToken(1, &third));
    // Whether the SID was rendered, how many token queries that took, the caller's text.
    std::wstring sid = L"kept", seen;
    auto render = [&](UserTokenHolder& holder) {
        const unsigned queries = winsim::CallCount("GetTokenInformation");
        seen += holder.GetTokenSID(sid) ? L"+" : L"-";
        seen += std::to_wstring(winsim::CallCount("GetTokenInformation") - queries) + sid + L" ";
    };
    {
        UserTokenHolder holder(alice);
        holder.SetToken(alice);  // its own handle again: kept, not closed
        for (HANDLE next : {bob, HANDLE{}, third}) {
            render(holder);
            holder.SetToken(next);
            EXPECT_EQ(holder.GetToken(), next);
        }
        for (auto [function, nth] : {std::pair<const char*, unsigned>{"GetTokenInformation", 1},
                                     {"GetTokenInformation", 2}, {"ConvertSidToStringSidW", 1}}) {
            winsim::FailCall(function, ERROR_ACCESS_DENIED, nth);
            render(holder);
        }
    }
    EXPECT_EQ(seen, L"+2S-1-5-21-1000-2000-3000-1001 +2S-1-5-21-7 -0S-1-5-21-7 -1S-1-5-21-7 -2S-1-5-21-7 -2S-1-5-21-7 ");
}

TEST_F(Core, ModuleDirectoryKeepsItsBackslashPastMaxPath) {
    for (const std::wstring& path : {std::wstring(L"C:\\Corvane\\"), L"C:\\" + std::wstring(300, L'd') + L"\\"}) {
        std::wstring directory;
        EXPECT_TRUE(tessark::ModuleInfoCtrl::GetDirectory(winsim::RegisterModule(path + L"x.dll", {}), directory));
        EXPECT_EQ(directory, path);
    }
}

}  // namespace
}  // namespace sessionctrl_test
