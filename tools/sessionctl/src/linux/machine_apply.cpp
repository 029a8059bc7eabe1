#include "machine_apply.h"

#include "fake_wfapi.h"

#include <tessark/tessark.h>
#include <winsim/machine.h>

namespace sessionctl {
namespace {

HKEY RootKey(RegRoot root) {
    switch (root) {
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::Users: return HKEY_USERS;
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    }
    return HKEY_LOCAL_MACHINE;
}

// Windows keeps texts as UTF-16; the simulated registry keeps them as this build's WCHARs.
std::vector<BYTE> SimulatedData(uint32_t type, const std::vector<uint8_t>& data) {
    if (!IsTextType(type)) {
        return {data.begin(), data.end()};
    }
    std::wstring text = Utf16LeToWide(data);
    const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
    return {bytes, bytes + text.size() * sizeof(WCHAR)};
}

}  // namespace

std::wstring WfapiPath(const std::wstring& location) {
    std::wstring directory = location.substr(0, location.find(L'\0'));
    if (!directory.empty() && directory.back() != L'\\') {
        directory += L'\\';
    }
    return directory + L"wfapi.dll";
}

void ApplyRegistry(const std::vector<RegOperation>& operations) {
    for (const RegOperation& op : operations) {
        HKEY root = RootKey(op.path.root);
        winsim::RegView view = op.path.view32 ? winsim::RegView::Wow32 : winsim::RegView::Native;
        switch (op.kind) {
        case RegOperation::Kind::CreateKey:
            winsim::CreateKey(root, op.path.key, view);
            break;
        case RegOperation::Kind::DeleteKey:
            winsim::DeleteKey(root, op.path.key, view);
            break;
        case RegOperation::Kind::SetValue:
            winsim::SetValue(root, op.path.key, op.name, {op.type, SimulatedData(op.type, op.data)}, view);
            break;
        case RegOperation::Kind::DeleteValue:
            winsim::DeleteValue(root, op.path.key, op.name, view);
            break;
        }
    }
}

void ApplyMachine(const MachineModel& model) {
    winsim::SetWindowsVersion(model.windowsMajor, model.windowsMinor, static_cast<WORD>(model.servicePack));
    winsim::SetWow64(model.wow64);
    std::wstring callerUser = model.callerUser;
    for (const MachineSession& session : model.sessions) {
        winsim::SessionSpec simulated;
        simulated.id = session.id;
        simulated.station = session.station;
        simulated.user = session.user;
        simulated.domain = session.domain;
        simulated.state = static_cast<WTS_CONNECTSTATE_CLASS>(session.state);
        if (session.client) {
            winsim::ClientAddress address;
            address.family = session.client->family;
            address.bytes = session.client->bytes;
            simulated.clientAddress = address;
        }
        if (!session.user.empty()) {
            winsim::AddUser(session.user, session.sid);
        }
        winsim::AddSession(simulated);
        if (callerUser.empty() && session.id == model.callerSession) {
            callerUser = session.user;
        }
    }
    for (const MachineProcess& process : model.processes) {
        winsim::AddProcess({process.pid, process.session, process.name});
    }
    if (callerUser.empty()) {
        callerUser = L"SYSTEM";
        winsim::AddUser(callerUser, L"S-1-5-18");
    } else if (!model.callerUser.empty()) {
        bool known = false;
        for (const MachineSession& session : model.sessions) {
            known = known || session.user == model.callerUser;
        }
        if (!known) {
            winsim::AddUser(model.callerUser, L"S-1-5-21-1000-2000-3000-999");
        }
    }
    winsim::SetCurrentProcessId(model.callerPid);
    winsim::SetCurrentSession(model.callerSession);
    winsim::SetProcessUser(callerUser);
    winsim::SetRemoteSession(model.callerRemote);
    // tessark reads the 64-bit view.
    for (const std::wstring& product : model.products) {
        winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, product, 1);
    }
    if (model.citrix) {
        winsim::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Citrix\\PortICA\\Install", L"Location",
                          model.citrix->location);
        if (model.citrix->wfapi) {
            winsim::RegisterModule(WfapiPath(model.citrix->location), FakeWfapiExports());
        }
    }
    ApplyRegistry(model.registry);
}

}  // namespace sessionctl
