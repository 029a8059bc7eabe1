#include "sweep_machine.h"

#include "fake_wfapi.h"
#include "wfapi_faults.h"

#include <dll_main.h>
#include <environment.h>
#include <tessark/tessark.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace reliability {

const std::array<BackendCase, 6> kBackends = {{
    {"Plain", Product::Plain},
    {"XenApp", Product::XenApp},
    {"HorizonBelow7", Product::HorizonBelow7},
    {"Horizon7", Product::Horizon7},
    {"XenDesktop", Product::XenDesktop},
    {"XenDesktop7", Product::XenDesktop7},
}};

namespace {

constexpr const wchar_t* kBobSid = L"S-1-5-21-1000-2000-3000-1002";
constexpr const wchar_t* kLibraryPath =
    L"C:\\Program Files\\Corvane Keywarden\\HalcyonSessionCtrl.dll";
constexpr const wchar_t* kVdmKey = L"SOFTWARE\\VMware, Inc.\\VMware VDM";
constexpr const wchar_t* kCitrixKey = L"SOFTWARE\\Citrix\\PortICA\\Install";
constexpr const wchar_t* kCitrixDirectory = L"C:\\Program Files\\Citrix\\ICA Client";

void InstallProduct(const wchar_t* product) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, product, 1);
}

void DescribeVMware(const wchar_t* version) {
    InstallProduct(L"VMwareHorizon");
    winsim::SetString(HKEY_LOCAL_MACHINE, kVdmKey, L"ProductVersion", version);
    for (DWORD session : {kOwnSession, kOtherSession}) {
        const std::wstring key =
            std::wstring(kVdmKey) + L"\\SessionData\\" + std::to_wstring(session);
        winsim::SetString(HKEY_LOCAL_MACHINE, key, L"ViewClient_IP_Address", L"10.9.8.7");
        winsim::SetString(HKEY_LOCAL_MACHINE, key, L"ViewClient_Protocol", L"PCoIP");
    }
    winsim::SetString(HKEY_USERS, std::wstring(kBobSid) + L"\\Volatile Environment",
                      L"ViewClient_IP_Address", L"10.9.8.6");
    winsim::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Teradici\\PCoIP", L"TeraHostPath",
                      L"C:\\Program Files\\Teradici\\pcoip_server_win32.exe");
    winsim::AddProcess({9100, kOwnSession, L"pcoip_server_win32.exe"});
}

void AnswerCitrixSession(DWORD session, const std::wstring& station, const std::wstring& user,
                         const std::array<BYTE, 20>& address) {
    fake_wfapi::AnswerQuery(session, WTSWinStationName, fake_wfapi::Text(station));
    fake_wfapi::AnswerQuery(session, WTSUserName, fake_wfapi::Text(user));
    fake_wfapi::AnswerQuery(session, WTSDomainName, fake_wfapi::Text(L"CORVANE"));
    fake_wfapi::AnswerQuery(session, WTSConnectState, fake_wfapi::ConnectState(WTSActive));
    fake_wfapi::AnswerQuery(session, WTSClientAddress,
                            fake_wfapi::AddressRecord(AF_INET, address));
}

void DescribeCitrix(const wchar_t* product) {
    InstallProduct(product);
    winsim::SetString(HKEY_LOCAL_MACHINE, kCitrixKey, L"Location", kCitrixDirectory);
    winsim::RegisterModule(std::wstring(kCitrixDirectory) + L"\\wfapi.dll",
                           wfapi_faults::Exports());
    AnswerCitrixSession(kOwnSession, L"ICA-TCP#1", L"alice", {{0, 0, 10, 1, 2, 3}});
    AnswerCitrixSession(kOtherSession, L"ICA-TCP#5", L"bob", {{0, 0, 10, 1, 2, 5}});
    fake_wfapi::AnswerEnumeration(TRUE, true, 2);
}

winsim::SessionSpec Session(DWORD id, const wchar_t* station, const wchar_t* user,
                            const winsim::ClientAddress& address) {
    winsim::SessionSpec session;
    session.id = id;
    session.station = station;
    session.user = user;
    session.domain = L"CORVANE";
    session.clientAddress = address;
    return session;
}

}  // namespace

void PrepareMachine(Product product, const std::string& fileRoot) {
    winsim::Reset();
    fake_wfapi::Reset();
    wfapi_faults::ClearFaults();
    wfapi_faults::ForgetCalls();
    winsim::SetFileRoot(fileRoot);
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 1);
    winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", kLogDirectory);
    winsim::AddUser(L"bob", kBobSid);
    winsim::AddSession(Session(kOwnSession, L"RDP-Tcp#1", L"alice", winsim::IPv4(10, 1, 2, 3)));
    winsim::AddSession(Session(kOtherSession, L"RDP-Tcp#5", L"bob",
                               winsim::IPv6({0xfd00, 0, 0, 0, 0, 0, 0, 5})));
    winsim::AddProcess({9000, kOtherSession, L"explorer.exe"});
    switch (product) {
        case Product::Plain: break;
        case Product::XenApp: InstallProduct(L"XenApp"); break;
        case Product::HorizonBelow7: DescribeVMware(L"6.2.0"); break;
        case Product::Horizon7: DescribeVMware(L"7.13.0"); break;
        case Product::XenDesktop: DescribeCitrix(L"XenDesktop"); break;
        case Product::XenDesktop7: DescribeCitrix(L"XenDesktop7"); break;
    }
}

AttachedLibrary::AttachedLibrary() : module_(winsim::RegisterModule(kLibraryPath, {})) {
    DllMain(module_, DLL_PROCESS_ATTACH, nullptr);
}

AttachedLibrary::~AttachedLibrary() {
    sessionctrl::InstallBackend(nullptr);
    DllMain(module_, DLL_PROCESS_DETACH, nullptr);
}

std::string Leftovers(const winsim::Outstanding& baseline) {
    std::ostringstream out;
    const winsim::Outstanding now = winsim::CountOutstanding();
    if (now != baseline) out << "outstanding: " << now.Describe() << "\n";
    for (const std::string& misuse : winsim::Misuses()) out << "misuse: " << misuse << "\n";
    if (fake_wfapi::OutstandingBlocks() != 0) out << "wfapi blocks not given back\n";
    for (const std::string& misuse : fake_wfapi::Misuses()) out << "wfapi misuse: " << misuse << "\n";
    return out.str();
}

std::string RunInChild(const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) return "CRASH: no pipe";
    const pid_t child = fork();
    if (child < 0) return "CRASH: no fork";
    if (child == 0) {
        close(pipeEnds[0]);
        std::string text;
        try {
            text = body();
        } catch (...) {
            text = "CRASH: exception out of the scenario\n";
        }
        for (std::size_t written = 0; written < text.size();) {
            const ssize_t n = write(pipeEnds[1], text.data() + written, text.size() - written);
            if (n <= 0) break;
            written += static_cast<std::size_t>(n);
        }
        close(pipeEnds[1]);
        // The library's statics belong to the parent's picture of the process.
        _exit(0);
    }
    close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        text += "CRASH: child status " + std::to_string(status) + "\n";
    return text;
}

void AssertFirstUseInProcess() {
    static int uses = 0;
    ASSERT_EQ(++uses, 1) << "run one test per process, as ctest does";
}

TempDirectory::TempDirectory() {
    char pattern[] = "/tmp/reliability-XXXXXX";
    if (mkdtemp(pattern) != nullptr) path_ = pattern;
}

TempDirectory::~TempDirectory() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}

}  // namespace reliability
