// What the reliability tests share: a machine per backend, and what a caller hands an
// export and how its outcome reads.
#pragma once

#include "fake_wfapi.h"

#include <platform/win32.h>
#include <sessionctrl/SessionCtrl.h>
#include <test_support/machine_fixture.h>
#include <winsim/machine.h>

#include <list>
#include <string>

namespace reliability {

enum class Product { Plain, XenApp, HorizonBelow7, Horizon7, XenDesktop, XenDesktop7 };
inline constexpr const char* kProducts[] = {"Plain", "XenApp", "HorizonBelow7", "Horizon7", "XenDesktop", "XenDesktop7"};
inline bool IsCitrix(Product product) { return product >= Product::XenDesktop; }
inline bool IsVMware(Product product) { return product == Product::HorizonBelow7 || product == Product::Horizon7; }
// Names a case parameterised by product.
struct ProductName { template <class Info> std::string operator()(const Info& row) const { return kProducts[row.param]; } };

// Adds to the machine sessions 1 (alice, IPv4 client) and 5 (bob, IPv6 client,
// explorer.exe) and what the product's backend reads: the VMware View keys, or the Citrix
// install with the fake wfapi.dll.
inline void DescribeMachine(Product product) {
    winsim::AddUser(L"bob", L"S-1-5-21-1000-2000-3000-1002");
    for (DWORD id : {1, 5}) {
        winsim::SessionSpec session;
        session.id = id, session.station = L"RDP-Tcp#" + std::to_wstring(id), session.user = id == 1 ? L"alice" : L"bob";
        session.domain = L"CORVANE", session.clientAddress = id == 1 ? winsim::IPv4(10, 1, 2, 3) : winsim::IPv6({0xfd00, 0, 0, 0, 0, 0, 0, 5});
        winsim::AddSession(session);
    }
    winsim::AddProcess({9000, 5, L"explorer.exe"});
    static const wchar_t* const installed[] = {nullptr, L"XenApp", L"VMwareHorizon", L"VMwareHorizon", L"XenDesktop", L"XenDesktop7"};
    if (const wchar_t* name = installed[static_cast<int>(product)]) test_support::InstallProduct(name);
    const std::wstring vdm = L"SOFTWARE\\VMware, Inc.\\VMware VDM";
    if (IsVMware(product)) {
        winsim::SetString(HKEY_LOCAL_MACHINE, vdm, L"ProductVersion", product == Product::Horizon7 ? L"7.13.0" : L"6.2.0");
        winsim::SetString(HKEY_LOCAL_MACHINE, vdm + L"\\SessionData\\5", L"ViewClient_IP_Address", L"10.9.8.7");
        winsim::AddProcess({9100, 1, L"pcoip_server_win32.exe"});
    }
    fake_wfapi::Reset();
    if (!IsCitrix(product)) return;
    winsim::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Citrix\\PortICA\\Install", L"Location", L"C:\\Citrix");
    winsim::RegisterModule(L"C:\\Citrix\\wfapi.dll", fake_wfapi::Exports());
    for (BYTE id : {1, 5}) {
        fake_wfapi::Answers()["Query " + std::to_string(id) + " 6"] = fake_wfapi::Text(L"ICA-TCP#" + std::to_wstring(id));
        fake_wfapi::Answers()["Query " + std::to_string(id) + " 8"] = {TRUE, {WTSActive, 0, 0, 0}, 4, 0, false};
        fake_wfapi::Answers()["Query " + std::to_string(id) + " 14"] = {TRUE, {AF_INET, 0, 0, 0, 0, 0, 10, 1, 2, id}, 24, 0, false};
    }
    fake_wfapi::Answers()["Enumerate 0 1"] = {TRUE, {0}, 2, 0, false};  // two sessions
}

// What a caller hands the exports, filled beforehand.
inline constexpr const wchar_t* kPrefilled = L"old";  // short, so that an answer needs a new buffer
struct Outputs {
    std::wstring text = kPrefilled;
    int state = -7;  // as the connection state
    bool isLocal = true;
    sessionctrl::UserTokenHolder holder;
    std::list<sessionctrl::ISessionCtrl::SESSION_INFO> sessions{{77, kPrefilled, 0}};
};
// The answer and what changed in the outputs ("1 text=bob"); a clean failure reads "0".
inline std::string Outcome(long answer, const Outputs& outputs) {
    std::string text = std::to_string(answer);
    if (outputs.text != kPrefilled && !outputs.text.empty()) text += " text=" + std::string(outputs.text.begin(), outputs.text.end());
    if (outputs.state != -7) text += " state=" + std::to_string(outputs.state);
    if (answer != 0 && !outputs.isLocal) text += " remote";
    if (outputs.holder.GetToken() != nullptr) text += " token";
    if (outputs.sessions.front().SessionId != 77 || outputs.sessions.front().WinStationName != kPrefilled) text += " caller's entry lost";
    return text + (answer != 0 && outputs.sessions.size() > 1 ? " +" + std::to_string(outputs.sessions.size() - 1) : "");
}
// An export called on the outputs `o`, as a plain function.
#define CALL(expression) +[](Outputs & o) -> long { return (void)o, (expression); }

}  // namespace reliability
