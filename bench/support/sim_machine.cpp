#include "sim_machine.h"

#include "log_machine.h"

#include <dll_main.h>
#include <tessark/tessark.h>
#include <winsim/machine.h>

#include <string>

namespace bench {

void AttachLibrary() {
    static const bool attached = DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr) != FALSE;
    (void)attached;
}

void PrepareSessionMachine(int count) {
    PrepareLogMachine(false);
    for (int id = 1; id <= count; ++id) {
        winsim::SessionSpec session;
        session.id = static_cast<DWORD>(id);
        session.station = L"RDP-Tcp#" + std::to_wstring(id);
        session.user = L"alice";
        session.domain = L"CORP";
        session.state = WTSActive;
        session.clientAddress = winsim::IPv4(192, 0, 2, static_cast<BYTE>(id % 250 + 1));
        winsim::AddSession(session);
    }
}

void AddProcesses(int count, const std::wstring& lastName) {
    constexpr DWORD kFirstPid = 10000;
    for (int i = 0; i < count; ++i) {
        const bool last = i == count - 1;
        winsim::ProcessSpec process;
        process.pid = kFirstPid + static_cast<DWORD>(i) * 4;
        process.sessionId = last ? kCallerSession : static_cast<DWORD>(i % 4 + 1);
        process.name = last ? lastName : L"worker" + std::to_wstring(i) + L".exe";
        winsim::AddProcess(process);
    }
}

void PrepareVMwareMachine(const std::wstring& productVersion) {
    PrepareSessionMachine(1);
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, L"VMwareHorizon", 1);
    winsim::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VMware, Inc.\\VMware VDM",
                      L"ProductVersion", productVersion);
    winsim::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Teradici\\PCoIP", L"TeraHostPath",
                      std::wstring(L"C:\\Program Files\\Teradici\\PCoIP Agent\\bin\\") +
                          kPCoIPServer);
    winsim::SetString(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\VMware, Inc.\\Vmware Blast\\Vvc\\Plugins\\blastRdeStub",
                      L"rdepath",
                      std::wstring(L"C:\\Program Files\\VMware\\VMware View\\Agent\\bin\\") +
                          kBlastServer);
}

}  // namespace bench
