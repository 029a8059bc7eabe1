// The VMware backend and display-protocol detection on simulated Horizon machines. Each row
// describes a machine in words, names a call, and gives the whole outcome: the answers,
// then every text of session.log in order, then every Sleep.
#include <test_support/library_fixture.h>

#include <sessionctrl/IUserTokenHolder.h>
#include <sessionctrl/SessionCtrl.h>
#include <tessark/tessark.h>
#include <vmview_ctrl.h>
#include <vmware_view.h>

#include <map>
#include <memory>
#include <optional>
#include <sstream>

namespace vmware_test {
namespace {

namespace vm = sessionctrl::vmware;
using sessionctrl::VMViewCtrl;

const std::wstring kVdm = L"SOFTWARE\\VMware, Inc.\\VMware VDM";
const std::wstring kSessions = kVdm + L"\\SessionData\\";
const std::wstring kBob = L"S-1-5-21-1000-2000-3000-1002";
const wchar_t* const kAddress = L"ViewClient_IP_Address";

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }
std::string Narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Registry words: key (followed by the word's session id) and value; no value: the key alone.
const std::map<std::string, std::pair<std::wstring, const wchar_t*>> kRegWords = {
    {"ver", {kVdm, L"ProductVersion"}}, {"verx", {kVdm, L"ProductVersion"}},
    {"key", {kSessions, nullptr}}, {"addr", {kSessions, kAddress}},
    {"proto", {kSessions, L"ViewClient_Protocol"}}, {"tera", {L"SOFTWARE\\Teradici\\PCoIP", L"TeraHostPath"}},
    {"rde", {L"SOFTWARE\\VMware, Inc.\\Vmware Blast\\Vvc\\Plugins\\blastRdeStub", L"rdepath"}},
    {"volbob", {kBob + L"\\Volatile Environment", kAddress}},
    {"volalice", {L"S-1-5-21-1000-2000-3000-1001\\Volatile Environment", kAddress}}};

class VMwareFixture : public test_support::LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        test_support::InstallProduct(L"VMwareHorizon");
    }
    // Every key the backend opens asks for KEY_READ, plus KEY_WOW64_64KEY under WOW64.
    void TearDown() override {
        for (const auto& open : winsim::KeyOpens()) {
            if (open.subKey.rfind(L"SOFTWARE\\Corvane", 0) == 0) continue;  // log and tessark
            EXPECT_EQ(open.access, KEY_READ | (wow64_ ? KEY_WOW64_64KEY : 0)) << Narrow(open.subKey);
        }
        LibraryFixture::TearDown();
    }

    // Blank-separated words; N is a session id. Registry words (kRegWords) take "=text" (ver
    // as REG_SZ, verx as REG_EXPAND_SZ, HKEY_USERS for vol*, else HKEY_LOCAL_MACHINE), where
    // "~" is a blank, "c*N" N times c, and a final "!" leaves out the NUL. procN=image runs a
    // process, pcoipN the default PCoIP server (pids in word order). alice is on the console
    // (session 1), bob on "RDP-Tcp#3" (session 5, disconnected; bob=ts: with the Terminal
    // Services client record 192.0.2.10). remote, wow (WOW64), own=N and product=P set how
    // Windows sees the caller and what is installed. fail=Function[@n] makes that call fail
    // with ERROR_ACCESS_DENIED (on the nth call only): taken only when `faults` is true.
    void Machine(const std::string& words, bool faults = false) {
        std::istringstream in(words);
        for (std::string word; in >> word;) {
            const std::size_t equals = std::min(word.find('='), word.size());
            const std::size_t digits = std::min(word.find_first_of("0123456789"), equals);
            const std::string kind = word.substr(0, digits), id = word.substr(digits, equals - digits);
            std::string text = word.substr(std::min(equals + 1, word.size()));
            if (faults != (kind == "fail")) continue;
            std::replace(text.begin(), text.end(), '~', ' ');
            for (std::size_t star; (star = text.find('*')) != std::string::npos;) {
                std::size_t end = 0;
                const std::size_t count = std::stoul(text.substr(star + 1), &end);
                text.replace(star - 1, end + 2, std::string(count, text[star - 1]));
            }
            const bool terminated = text.empty() || text.back() != '!';
            const std::wstring data =
                Wide(text.substr(0, text.size() - !terminated)) + (terminated ? std::wstring(1, L'\0') : L"");
            const auto reg = kRegWords.find(kind);
            if (reg != kRegWords.end()) {
                const HKEY root = kind.rfind("vol", 0) == 0 ? HKEY_USERS : HKEY_LOCAL_MACHINE;
                const auto* bytes = reinterpret_cast<const BYTE*>(data.data());
                const winsim::RegValue value{static_cast<DWORD>(kind == "verx" ? REG_EXPAND_SZ : REG_SZ),
                                             {bytes, bytes + data.size() * sizeof(WCHAR)}};
                const std::wstring key = reg->second.first + Wide(id);
                winsim::CreateKey(root, key);
                if (reg->second.second != nullptr) winsim::SetValue(root, key, reg->second.second, value);
            } else if (kind == "proc" || kind == "pcoip") {
                const std::string image = kind == "pcoip" ? "pcoip_server_win32.exe" : text;
                winsim::AddProcess({nextPid_++, static_cast<DWORD>(std::stoul(id)), Wide(image)});
            } else if (kind == "alice") {
                winsim::AddSession({1, L"Console", L"alice", L"CORP", WTSActive, std::nullopt, false, {}, {}, {}});
            } else if (kind == "bob") {
                winsim::AddUser(L"bob", kBob);
                const auto ts = text == "ts" ? std::optional(winsim::IPv4(192, 0, 2, 10)) : std::nullopt;
                winsim::AddSession({5, L"RDP-Tcp#3", L"bob", L"LAB", WTSDisconnected, ts, false, {}, {}, {}});
            } else if (kind == "remote" || kind == "wow") {
                kind == "remote" ? winsim::SetRemoteSession(true) : winsim::SetWow64(wow64_ = true);
            } else if (kind == "own") {
                winsim::SetCurrentSession(static_cast<DWORD>(std::stoul(text)));
            } else if (kind == "product") {
                winsim::DeleteKey(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey);
                if (!text.empty()) test_support::InstallProduct(Wide(text).c_str());
            } else if (kind == "fail") {
                const std::size_t at = std::min(text.find('@'), text.size());
                const unsigned nth = at < text.size() ? std::stoul(text.substr(at + 1)) : 0;
                winsim::FailCall(text.substr(0, at), ERROR_ACCESS_DENIED, nth);
            } else {
                ADD_FAILURE() << "unknown machine word " << word;
            }
        }
    }

    bool wow64_ = false;
    DWORD nextPid_ = 9000;
};

// Overrides that show which calls GetClientAddress makes through the virtual table.
class ProbedVMViewCtrl : public VMViewCtrl {
public:
    bool IsLocalSession() override { return true; }
    bool FormatIPv4Address(const unsigned char*, DWORD, std::wstring& text) override {
        text = L"by override";
        return true;
    }
};

struct Row {
    const char *name, *machine, *call;
    std::string outcome;
};
void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

class VMwareTest : public VMwareFixture, public testing::WithParamInterface<Row> {
protected:
    // "PCoIP name,Blast name"; the registry is read under the environment lock.
    std::string Names() {
        const std::size_t start = winsim::CallLog().size();
        const std::string names = Narrow(vm::GetPCoIPServerProcessName() + L"," + vm::GetBlastServerProcessName());
        const auto calls = winsim::CallLog();
        int held = 0;
        for (std::size_t i = start; i < calls.size(); ++i) {
            held += calls[i] == "EnterCriticalSection" ? 1 : calls[i] == "LeaveCriticalSection" ? -1 : 0;
            EXPECT_TRUE(calls[i] != "RegQueryValueExW" || held > 0) << "call " << i;
        }
        return names;
    }

    // The answers of the call, then " | " and each logged text, then each Sleep.
    std::string Run(const std::string& call) {
        Machine(GetParam().machine);
        std::unique_ptr<VMViewCtrl> backend(call.find("probe") != std::string::npos ? new ProbedVMViewCtrl
                                                                                  : new VMViewCtrl);
        if (call == "local" || call.rfind("addr", 0) == 0) {
            EXPECT_TRUE(backend->Initialize());
            ForgetLog();
        }
        Machine(GetParam().machine, true);
        std::string out;
        if (call == "version" || call == "names") {  // asked, and again once the registry says else
            const auto ask = [&] { return call == "names" ? Names() : std::to_string(vm::GetVdmMajorVersion()); };
            out = ask();
            Machine(call == "names" ? "tera=C:\\B\\later.exe rde=C:\\B\\later.exe" : "ver=9.0");
            out += " " + ask();
        } else if (call.rfind("find", 0) == 0) {  // findN: the first N names of the list
            const wchar_t* const names[] = {L"a.exe", L"b.exe", nullptr, L"c.exe"};
            out = std::to_string(vm::FindProcessInOwnSession(names, static_cast<WORD>(call[4] - '0')));
        } else if (call == "local") {
            out = std::to_string(backend->IsLocalSession());
        } else if (call.rfind("addr", 0) == 0) {  // of session 5 (then 1: "both"): result, isLocal, address
            for (const DWORD session : {5u, 1u}) {
                if (session == 1 && call.find("both") == std::string::npos) break;
                std::wstring address = L"keep";
                bool local = call.find("local") != std::string::npos;
                out += (out.empty() ? "" : ", ") + std::to_string(backend->GetClientAddress(session, address, local));
                out += " " + std::to_string(local) + " " + Narrow(address);
            }
        } else if (call == "connect") {  // IsPCoIPConnect, IsPCoIPSession, IsBlastSession
            out = std::to_string(sessionctrl::SessionCtrl::IsPCoIPConnect());
            out += " " + std::to_string(vm::IsPCoIPSession());
            out += " " + std::to_string(vm::IsBlastSession());
        } else if (call == "init") {  // initialised before, Initialize, after; version; released
            out = std::to_string(backend->IsInitialized());
            out += " " + std::to_string(backend->Initialize());
            out += " " + std::to_string(backend->IsInitialized());
            winsim::DeleteKey(HKEY_LOCAL_MACHINE, kVdm);
            out += " " + std::to_string(vm::GetVdmMajorVersion());
            backend->Release();
            out += " " + std::to_string(backend->IsInitialized());
        }
        winsim::ClearFaults();
        for (const auto& text : LoggedTexts()) out += " | " + text;
        for (const DWORD ms : winsim::Sleeps()) out += " | slept " + std::to_string(ms);
        return out;
    }
};

TEST_P(VMwareTest, Outcome) { EXPECT_EQ(Run(GetParam().call), GetParam().outcome); }

const std::string kHorizon = " | Initialize..., VMware View | Session control [VMware],";
const std::string kNo = kHorizon + " | PCoIP Connect >, false";
const std::string kPCoIP = kHorizon + " | PCoIP Connect >, true";
const std::string kBlast = kHorizon + " | Blast Connect >, true";
const std::string kFound = " | [VM]VDM Process found., ";
const std::string kNotFound = " | [VM]VDM Process not found.,";
const std::string kRetry = " | [VM]Registry not found.(SessionData) retry:, ";
const std::string kEnumError = " | [VM]WTSEnumerateProcesses Error >, 5 (0x5)";

const Row kRows[] = {
    // The version: read once, the 0 of a failed read included; "ProductVersion" gets 510 bytes.
    {"VersionRelease", "ver=7.5.1", "version", "7 7"},
    {"VersionNotANumber", "ver=abc", "version", "0 0"},
    {"VersionMissing", "", "version", "0 0"},
    {"VersionExpandString", "verx=7.5.1", "version", "0 0"},
    {"VersionWow64", "wow ver=7.2", "version", "7 7"},
    {"VersionFillsBuffer", "ver=7.9*253!", "version", "7 7"},
    {"VersionOverflows", "ver=7.9*253", "version", "0 0"},
    // Server names: after the last backslash, kept once found; paths get 1024 bytes.
    {"NamesFromPaths", "tera=D:\\Tools\\server.exe rde=C:\\rde\\Rde.exe", "names", "server.exe,Rde.exe server.exe,Rde.exe"},
    {"NamesNoBackslash", "tera=server.exe", "names", "server.exe, server.exe,later.exe"},
    {"NamesTrailingBackslash", "tera=C:\\Teradici\\ rde=C:\\x\\", "names", ", later.exe,later.exe"},
    {"NamesPathFillsBuffer", "tera=C:\\d*503\\s.exe!", "names", "s.exe, s.exe,later.exe"},
    {"NamesPathOverflows", "tera=C:\\d*503\\s.exe", "names", ", later.exe,later.exe"},
    // The process search in the caller's session over {a.exe, b.exe, null, c.exe}.
    {"FindAnyCase", "proc1=B.EXE", "find2", "1"},
    {"FindOwnSessionOnly", "own=2 proc0=a.exe proc2=b.exe", "find2", "1"},
    {"FindProcessOrder", "proc1=b.exe proc1=a.exe", "find2", "1"},
    {"FindCount", "proc1=b.exe", "find1", "-1"},
    {"FindNullEndsList", "proc1=c.exe", "find4", "-1"},
    {"FindEnumerationFails", "proc1=a.exe fail=WTSEnumerateProcessesW", "find1", "-1" + kEnumError},
    {"FindOwnSessionUnknown", "proc0=a.exe fail=ProcessIdToSessionId", "find1", "-1"},
    // IsLocalSession: Windows' remote flag, then below 7 the PCoIP server, from 7 on the
    // per-session key (three tries 200 ms apart once "SessionData" exists) or any server.
    {"LocalRemoteBelow7", "remote ver=6.2.0 pcoip1", "local", "0"},
    {"LocalRemoteFrom7", "remote ver=7.5.1", "local", "0"},
    {"LocalBelow7Server", "ver=abc pcoip1", "local", "1"},
    {"LocalBelow7ServerElsewhere", "ver=6.2.0 pcoip3", "local", "0"},
    {"LocalBelow7ConfiguredServer", "ver=6.2.0 tera=D:\\x\\s.exe pcoip1", "local", "0"},
    {"LocalBelow7EnumerationFails", "ver=6.2.0 pcoip1 fail=WTSEnumerateProcessesW", "local", "0" + kEnumError},
    {"LocalFrom7PCoIPServer", "ver=7.5.1 pcoip1", "local", "0" + kFound + "pcoip_server_win32.exe"},
    {"LocalFrom7RdeServer", "ver=10.0 proc1=VMwareView-RdeServer.exe", "local", "0" + kFound + "VMwareView-RdeServer.exe"},
    {"LocalFrom7ConfiguredServers", "ver=7.5.1 tera=C:\\T\\tera.exe rde=C:\\B\\rde.exe pcoip1 "
     "proc1=VMwareView-RdeServer.exe proc1=RDE.exe", "local", "0" + kFound + "rde.exe"},
    {"LocalFrom7NothingRuns", "ver=7.5.1 pcoip3", "local", "1" + kNotFound},
    {"LocalFrom7SessionKey", "wow ver=10.0 key1", "local", "0"},
    {"LocalFrom7OtherSessionsKey", "ver=7.5.1 own=4 key1", "local",
     "1" + kRetry + "1 (0x1)" + kRetry + "2 (0x2)" + kNotFound + " | slept 200 | slept 200 | slept 200"},
    {"LocalFrom7KeyOnSecondTry", "ver=7.5.1 key1 fail=RegOpenKeyExW@2", "local", "0" + kRetry + "1 (0x1) | slept 200"},
    {"LocalFrom7OwnSessionUnknown", "ver=7.5.1 fail=ProcessIdToSessionId", "local", "0"},
    // GetClientAddress of session 5 (the caller is in session 1): "addr local" starts with
    // isLocal set, "probe" asks a ProbedVMViewCtrl; the address starts as "keep".
    {"AddressFrom7Record", "ver=7.5.1 addr5=192.0.2.7 addr1=198.51.100.1", "addr local", "1 0 192.0.2.7"},
    {"AddressFrom7NoRecord", "ver=7.5.1 remote bob=ts", "addr", "1 1 keep"},
    {"AddressFrom7EmptyRecord", "ver=10.0 addr5=", "addr", "1 1 keep"},
    {"AddressBelow7Remote", "ver=6.2.0 remote bob=ts", "addr local", "1 0 192.0.2.10"},
    {"AddressBelow7RemoteNoSession", "ver=6.2.0 remote", "addr local", "0 1 "},
    {"AddressBelow7PCoIPServer", "ver=6.2.0 bob volbob=10.9.8.7 pcoip1", "addr", "1 1 "},
    {"AddressBelow7Volatile", "ver=6.2.0 bob volbob=10.9.8.7 volalice=172.16.0.1 pcoip5", "addr local", "1 0 10.9.8.7"},
    // Each user's own volatile environment, whoever the process asked first.
    {"AddressBelow7TwoUsers", "ver=6.2.0 alice bob volbob=10.9.8.7 volalice=172.16.0.1", "addr both",
     "1 0 10.9.8.7, 1 0 172.16.0.1"},
    {"AddressBelow7EmptyVolatile", "ver=6.2.0 bob volbob=", "addr local", "1 0 "},
    {"AddressBelow7NoVolatile", "ver=6.2.0 bob volalice=172.16.0.1", "addr local", "0 0 "},
    {"AddressBelow7VolatileOverflows", "ver=6.2.0 bob volbob=1*255", "addr local", "0 0 "},
    {"AddressBelow7NoToken", "verx=7.5.1 bob volbob=10.9.8.7 fail=WTSQueryUserToken", "addr local", "0 0 "},
    {"AddressBelow7NotImpersonated", "ver=6.2.0 bob volbob=10.9.8.7 volalice=172.16.0.1 fail=ImpersonateLoggedOnUser",
     "addr local", "1 0 172.16.0.1"},
    {"AddressBelow7LocalByOverride", "ver=6.2.0 bob volbob=10.9.8.7", "addr probe", "1 1 "},
    {"AddressBelow7FormatByOverride", "ver=6.2.0 remote bob=ts", "addr local probe", "1 0 by override"},
    // IsPCoIPConnect, then IsPCoIPSession and IsBlastSession, for the caller's session.
    {"ConnectRemote", "remote ver=7.5.1 addr1=192.0.2.1 proto1=BLAST pcoip1", "connect", "0 0 0" + kNo},
    {"ConnectBelow7Server", "ver=6.2.0 pcoip1", "connect", "1 1 0" + kPCoIP},
    {"ConnectBelow7RecordsIgnored", "ver=6.2.0 addr1=192.0.2.1 proto1=BLAST", "connect", "0 0 0" + kNo},
    {"ConnectBlast", "ver=7.5.1 addr1=192.0.2.1 proto1=BLAST", "connect", "1 1 1" + kBlast},
    {"ConnectBlastAnyCase", "ver=10.0 addr1=192.0.2.1 proto1=bLast", "connect", "1 1 1" + kBlast},
    {"ConnectBlastAndBlank", "ver=7.5.1 addr1=192.0.2.1 proto1=BLAST~", "connect", "1 1 0" + kPCoIP},
    {"ConnectNoProtocol", "ver=7.5.1 addr1=192.0.2.1", "connect", "1 1 0" + kPCoIP},
    {"ConnectBlastWithoutAddress", "ver=7.5.1 proto1=BLAST", "connect", "0 0 1" + kNo},
    {"ConnectFrom7ServerOnly", "ver=7.5.1 pcoip1", "connect", "0 0 0" + kNo},
    {"ConnectOwnSessionMoved", "own=2 ver=7.5.1 addr2=192.0.2.1 proto2=BLAST", "connect", "1 1 1" + kBlast},
    {"ConnectOwnSessionUnknown", "ver=7.5.1 addr0=192.0.2.1 proto0=BLAST fail=ProcessIdToSessionId", "connect",
     "0 0 0" + kNo},
    {"ConnectNoProduct", "product= ver=7.5.1 addr1=1.2.3.4", "connect", "0 1 0 | Initialize..., RDP | Session control [Default],"},
    {"ConnectXenApp", "product=XenApp ver=7.5.1 addr1=1.2.3.4", "connect",
     "0 1 0 | Initialize..., RDP(XenApp) | Session control [Default],"},
    // Initialize traces, probes the server and fixes the version before anyone asks.
    {"InitProbeAnswers", "ver=6.2.0", "init", "0 1 1 6 0 | Session control [VMware],"},
    {"InitProbeFails", "ver=7.5.1 fail=WTSOpenServerW", "init", "0 1 1 7 0 | Session control [VMware], | WTSOpenServer error, 5 (0x5)"},
};
INSTANTIATE_TEST_SUITE_P(Horizon, VMwareTest, testing::ValuesIn(kRows), test_support::RowName());

TEST_F(VMwareFixture, SharedOperationsAreThoseOfTerminalServices) {
    Machine("alice bob");
    VMViewCtrl b;
    std::wstring domain5, domain, station5, station, user, sid, v4, v6;
    int state = -1;
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> all;
    sessionctrl::UserTokenHolder holder;
    const unsigned char ip4[20] = {0, 0, 192, 0, 2, 10};
    const unsigned char ip6[20] = {0, 0, 0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    const std::vector<bool> results = {
        b.IsConnected(1), b.IsConnected(5), b.GetStatus(5, state), b.GetLoggedOnWinDomain(5, domain5),
        b.GetLoggedOnWinDomain(domain), b.GetWinStationName(5, station5), b.GetWinStationName(station),
        b.GetSessionUserName(5, user), b.GetAllWinStationName(all), b.GetUserToken(5, holder),
        holder.GetTokenSID(sid), b.FormatIPv4Address(ip4, 20, v4), b.FormatIPv6Address(ip6, 20, v6),
        b.Disconnect(5, true), b.DisconnectForce(5, false), b.LogoffSession(1, true), b.SessionLock()};
    EXPECT_EQ(results, std::vector<bool>({1, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}));
    std::wstring texts = std::to_wstring(state);
    for (const auto& text : {domain5, domain, station5, station, user, sid, v4, v6}) texts += L" " + text;
    for (const auto& s : all) texts += L" " + std::to_wstring(s.SessionId) + s.WinStationName + std::to_wstring(s.State);
    EXPECT_EQ(Narrow(texts), "4 LAB CORP RDP-Tcp#3 Console bob " + Narrow(kBob) +
                                 " 192.0.2.10 2001:db8:0:0:0:0:0:1 1Console0 5RDP-Tcp#34");
    std::string actions;
    for (const auto& a : winsim::Actions()) actions += a.function + std::to_string(a.sessionId) + std::to_string(a.wait) + " ";
    EXPECT_EQ(actions, "WTSDisconnectSession51 WTSDisconnectSession50 WTSLogoffSession11 LockWorkStation10 ");
}

}  // namespace
}  // namespace vmware_test
