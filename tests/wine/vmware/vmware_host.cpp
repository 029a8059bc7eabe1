// Asks HalcyonSessionCtrl.dll what it makes of this machine as a VMware Horizon
// desktop, optionally while a stand-in display-protocol server runs.
//   wine_vmware_host.exe [server.exe]
// Prints name=value lines for the script: the session, what Wine's process enumeration
// reports for the server, IsLocalSession, IsPCoIPConnect and the client address.
#include <sessionctrl/SessionCtrl.h>

#include <windows.h>
#include <wtsapi32.h>

#include <cstring>
#include <memory>
#include <string>

#include "wine_check.h"

using sessionctrl::SessionCtrl;

namespace {

// The image name of `path`: what the process enumeration reports for it.
std::wstring ImageName(const char* path) {
    const char* slash = std::strrchr(path, '\\');
    const std::string name = slash != nullptr ? slash + 1 : path;
    return std::wstring(name.begin(), name.end());  // the paths here are ASCII
}

// The session the enumeration reports for a process of that image name; false when
// no such process is listed. (Wine's WTSEnumerateProcessesA lists nothing.)
bool ListedSession(const std::wstring& imageName, DWORD& session) {
    WTS_PROCESS_INFOW* processes = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateProcessesW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &processes, &count)) {
        return false;
    }
    bool found = false;
    for (DWORD i = 0; i < count && !found; ++i) {
        if (processes[i].pProcessName != nullptr &&
            _wcsicmp(processes[i].pProcessName, imageName.c_str()) == 0) {
            session = processes[i].SessionId;
            found = true;
        }
    }
    WTSFreeMemory(processes);
    return found;
}

class StandInServer {
public:
    explicit StandInServer(const char* path) {
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        std::string commandLine = std::string("\"") + path + "\"";
        started_ = CreateProcessA(path, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                  nullptr, &startup, &process_) != FALSE;
    }
    ~StandInServer() {
        if (!started_) return;
        TerminateProcess(process_.hProcess, 0);
        WaitForSingleObject(process_.hProcess, 10000);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;
    bool Started() const { return started_; }

private:
    PROCESS_INFORMATION process_{};
    bool started_ = false;
};

// Waits up to 10 s until the enumeration lists the server.
bool WaitUntilListed(const std::wstring& imageName, DWORD& session) {
    for (int tries = 0; tries < 100; ++tries) {
        if (ListedSession(imageName, session)) return true;
        Sleep(100);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned long session = SessionCtrl::GetCurrentSessionID();
    winecheck::Value("session", session);
    DWORD ownListed = 0;
    if (ListedSession(ImageName(argv[0]), ownListed)) {
        winecheck::Value("host_listed_session", ownListed);
    }

    std::unique_ptr<StandInServer> server;
    if (argc > 1) {
        server = std::make_unique<StandInServer>(argv[1]);
        DWORD serverSession = 0;
        if (WINE_CHECK(server->Started()) &&
            WINE_CHECK(WaitUntilListed(ImageName(argv[1]), serverSession))) {
            winecheck::Value("server_listed_session", serverSession);
        }
    }

    winecheck::Value("local", SessionCtrl::IsLocalSession() ? 1ul : 0ul);
    winecheck::Value("pcoip", SessionCtrl::IsPCoIPConnect() ? 1ul : 0ul);
    std::wstring address = L"(untouched)";
    bool isLocal = false;
    const bool haveAddress = SessionCtrl::GetClientAddress(session, address, isLocal);
    winecheck::Value("address_ok", haveAddress ? 1ul : 0ul);
    if (haveAddress) {
        winecheck::Value("address_local", isLocal ? 1ul : 0ul);
        winecheck::Value("address", address);
    }
    server.reset();
    return winecheck::ExitCode();
}
