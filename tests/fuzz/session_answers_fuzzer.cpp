// What the session backends take from outside the process, on arbitrary bytes.
// - The input as a 20-byte address array and a length, through FormatIPv4Address and
//   FormatIPv6Address, against the text rules: IPv4 is bytes 2-5 as "%d.%d.%d.%d"; IPv6 is
//   bytes 2-17 as eight big-endian groups in lowercase hex without leading zeros, the leading
//   zero groups replaced by "::" and nothing else compressed, "::" for all zeros. Any other
//   length gives false and leaves the text.
// - The rest after the first byte as the answer of session 5 to the Terminal Services
//   queries (user, domain, station name, connect state, client-address record) and to the
//   Citrix ones (station name, connect state, client-address record), handed out exactly as
//   long and reporting a count the first byte shortens; as a process record's name; as the
//   VMware version text and the PCoIP server's path. Nothing is read past what was handed
//   out (AddressSanitizer watches), a text fits its count and holds no NUL, a state needs
//   exactly 4 bytes and an address a whole record, and every buffer and key goes back.
#include "fake_wfapi.h"

#include <environment.h>
#include <ordered_statics.h>
#include <rdp_ctrl.h>
#include <terminal_services.h>
#include <vmware_view.h>
#include <xendesktop_ctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckAnswers(sessionctrl::ISessionCtrl& backend, DWORD count, bool withNames) {
    std::wstring text;
    int state = -1;
    bool local = false;
    const auto fits = [&](bool answered) {
        Require(!answered || text == L"Console" ||
                (text.size() <= count / sizeof(WCHAR) && text.find(L'\0') == std::wstring::npos));
    };
    fits(backend.GetWinStationName(5, text));
    if (withNames) fits(backend.GetLoggedOnWinDomain(5, text)), fits(backend.GetSessionUserName(5, text));
    Require(backend.GetStatus(5, state) == (count == sizeof(DWORD)));
    Require(!backend.GetClientAddress(5, text, local) || local || count >= sizeof(WTS_CLIENT_ADDRESS));
}

void CheckAddressFormats(const uint8_t* data, size_t size) {
    // Exactly 20 bytes on the heap, so that any read past them is caught.
    auto bytes = std::make_unique<unsigned char[]>(20);
    std::memcpy(bytes.get(), data, size < 20 ? size : 20);
    const DWORD length = size > 20 ? data[20] : 20;
    char ipv4[16], ipv6[48] = "::";
    std::snprintf(ipv4, sizeof ipv4, "%d.%d.%d.%d", bytes[2], bytes[3], bytes[4], bytes[5]);
    int first = 0;
    while (first < 8 && bytes[2 + 2 * first] == 0 && bytes[3 + 2 * first] == 0) ++first;
    if (first == 0) ipv6[0] = '\0';
    for (int g = first; g < 8; ++g)
        std::snprintf(ipv6 + std::strlen(ipv6), 8, g > first ? ":%x" : "%x", bytes[2 + 2 * g] << 8 | bytes[3 + 2 * g]);
    std::wstring v4 = L"untouched", v6 = L"untouched";
    namespace ts = sessionctrl::terminal_services;
    const bool ok4 = ts::FormatIPv4Address(bytes.get(), length, v4);
    const bool ok6 = ts::FormatIPv6Address(bytes.get(), length, v6);
    const auto wide = [](const char* text) { return std::wstring(text, text + std::strlen(text)); };
    if (length != 20 ? ok4 || ok6 || v4 != L"untouched" || v6 != L"untouched"
                     : !ok4 || !ok6 || v4 != wide(ipv4) || v6 != wide(ipv6))
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static sessionctrl::XenDesktopCtrl citrix;
    static const bool ready = (winsim::Reset(), sessionctrl::InitializeEnvironmentLock(),
                               winsim::RegisterModule(L"C:\\Citrix\\wfapi.dll", fake_wfapi::Exports()),
                               winsim::SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Citrix\\PortICA\\Install",
                                                 L"Location", L"C:\\Citrix"),
                               citrix.Initialize());
    CheckAddressFormats(data, size);
    if (size == 0 || !ready) return 0;
    const std::vector<BYTE> bytes(data + 1, data + size);
    const auto count = static_cast<DWORD>(bytes.size() - data[0] % (bytes.size() + 1));
    winsim::SessionSpec session;
    session.id = 5;
    for (const int info : {WTSUserName, WTSDomainName, WTSWinStationName, WTSConnectState, WTSClientAddress})
        session.rawInfo[info] = bytes, session.reportedBytes[info] = count;
    winsim::AddSession(session);
    sessionctrl::RDPCtrl terminalServices;
    CheckAnswers(terminalServices, count, true);
    // The Citrix domain and user come from Terminal Services and are read up to their NUL.
    fake_wfapi::Reset();
    for (const char* call : {"Query 5 6", "Query 5 8", "Query 5 14"}) fake_wfapi::Answers()[call] = {TRUE, bytes, count};
    CheckAnswers(citrix, bytes.empty() ? 0 : count, false);
    Require(fake_wfapi::Leftovers().empty());

    const std::wstring text(bytes.begin(), bytes.end());
    winsim::AddProcess({100, 1, text});
    const wchar_t* const names[] = {text.c_str()};
    Require(sessionctrl::vmware::FindProcessInOwnSession(names, 1) == 0);
    winsim::RemoveProcess(100);
    Require(sessionctrl::vmware::MajorVersionOf(text) == 0 || text.find_first_of(L"123456789") != std::wstring::npos);
    sessionctrl::vmware::PCoIPServerNameCache().clear();
    winsim::SetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Teradici\\PCoIP", L"TeraHostPath", {REG_SZ, bytes});
    Require(sessionctrl::vmware::GetPCoIPServerProcessName().find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos);
    const winsim::Outstanding left = winsim::CountOutstanding();
    Require(left.buffers == 0 && left.keys == 0);
    return 0;
}
