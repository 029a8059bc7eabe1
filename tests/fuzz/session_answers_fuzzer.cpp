// What the session backends take from outside the process, on arbitrary bytes: the Terminal
// Services answers of a session (user, domain, station name, connect state, client-address
// record) and the Citrix ones (station name, connect state, client-address record), each
// handed out exactly as long as the bytes and reporting a count of at most that many (the
// first byte shortens it); the names of the process records of the caller's session; the
// VMware version text and the PCoIP server's path. Nothing is read past what was handed out
// (AddressSanitizer watches), no text is longer than its count or holds a NUL, a record or
// state is only read from a count that holds it, and every buffer and key goes back.
#include "fake_wfapi.h"

#include <environment.h>
#include <ordered_statics.h>
#include <rdp_ctrl.h>
#include <vmware_view.h>
#include <xendesktop_ctrl.h>

#include <cstdint>
#include <cstdlib>

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool Fits(const std::wstring& text, DWORD bytes) {
    return text.size() <= bytes / sizeof(WCHAR) && text.find(L'\0') == std::wstring::npos;
}

// The answers of session 5 to every question both backends ask.
void CheckAnswers(sessionctrl::ISessionCtrl& backend, DWORD count, bool asksForNames) {
    std::wstring text;
    int state = -1;
    bool local = false;
    if (asksForNames && backend.GetSessionUserName(5, text)) Require(Fits(text, count));
    if (asksForNames && backend.GetLoggedOnWinDomain(5, text)) Require(Fits(text, count));
    if (backend.GetWinStationName(5, text)) Require(text == L"Console" || Fits(text, count));
    Require(backend.GetStatus(5, state) == (count == sizeof(DWORD)));
    const bool addressed = backend.GetClientAddress(5, text, local);
    Require(!addressed || local || count >= sizeof(WTS_CLIENT_ADDRESS));
}

// The caller's session (1) runs the pieces of `names` between "|" in turn with session 2;
// the first two are looked for.
void CheckProcessSearch(const std::wstring& names) {
    std::vector<std::wstring> pieces{L""};
    for (const wchar_t c : names) {
        if (c == L'|') pieces.emplace_back();
        else pieces.back().push_back(c);
    }
    const std::size_t processes = pieces.size();
    for (std::size_t i = 0; i < processes; ++i)
        winsim::AddProcess({static_cast<DWORD>(100 + i), i % 2 == 0 ? 1u : 2u, pieces[i]});
    pieces.resize(2);
    const wchar_t* const wanted[] = {pieces[0].c_str(), pieces[1].c_str()};
    const int found = sessionctrl::vmware::FindProcessInOwnSession(wanted, 2);
    Require(found >= -1 && found < 2);
    for (std::size_t i = 0; i < processes; ++i) winsim::RemoveProcess(static_cast<DWORD>(100 + i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static sessionctrl::XenDesktopCtrl& citrix = [] () -> sessionctrl::XenDesktopCtrl& {
        winsim::Reset();
        sessionctrl::InitializeEnvironmentLock();
        winsim::RegisterModule(L"C:\\Citrix\\wfapi.dll", fake_wfapi::Exports());
        winsim::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Citrix\\PortICA\\Install", L"Location", L"C:\\Citrix");
        static sessionctrl::XenDesktopCtrl ctrl;
        Require(ctrl.Initialize());
        return ctrl;
    }();
    if (size == 0) return 0;
    const std::vector<BYTE> bytes(data + 1, data + size);
    const auto count = static_cast<DWORD>(bytes.size() - data[0] % (bytes.size() + 1));

    winsim::SessionSpec session;
    session.id = 5;
    for (const int info : {WTSUserName, WTSDomainName, WTSWinStationName, WTSConnectState, WTSClientAddress}) {
        session.rawInfo[info] = bytes;
        session.reportedBytes[info] = count;
    }
    winsim::AddSession(session);
    sessionctrl::RDPCtrl terminalServices;
    CheckAnswers(terminalServices, count, true);

    fake_wfapi::Reset();
    for (const char* call : {"Query 5 6", "Query 5 8", "Query 5 14"}) fake_wfapi::Answers()[call] = {TRUE, bytes, count};
    CheckAnswers(citrix, bytes.empty() ? 0 : count, false);
    Require(fake_wfapi::Leftovers().empty());

    const std::wstring text(bytes.begin(), bytes.end());
    CheckProcessSearch(text);
    const int major = sessionctrl::vmware::MajorVersionOf(text);
    Require(major == 0 || text.find_first_of(L"0123456789") != std::wstring::npos);
    sessionctrl::vmware::PCoIPServerNameCache().clear();
    winsim::SetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Teradici\\PCoIP", L"TeraHostPath", {REG_SZ, bytes});
    const std::wstring server = sessionctrl::vmware::GetPCoIPServerProcessName();
    Require(server.find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos);

    const winsim::Outstanding outstanding = winsim::CountOutstanding();
    Require(outstanding.buffers == 0 && outstanding.keys == 0);
    return 0;
}
