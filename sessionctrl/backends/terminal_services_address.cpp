// The client address of a session, and the texts made from the address bytes of a
// client-address record (family, then 20 bytes; the address starts at byte 2).
#include "terminal_services.h"

#include <platform/win32_raii.h>

#include <cstring>

namespace sessionctrl::terminal_services {

namespace {

// The only length any client-address record carries.
constexpr DWORD kAddressBytes = sizeof(WTS_CLIENT_ADDRESS::Address);
constexpr int kIPv6Groups = 8;
// AF_INET and AF_INET6; spelled out so that no socket header is needed.
constexpr DWORD kFamilyIPv4 = 2;
constexpr DWORD kFamilyIPv6 = 23;

void AppendHexGroup(std::wstring& text, unsigned group) {
    static const wchar_t kDigits[] = L"0123456789abcdef";
    wchar_t reversed[4];
    int count = 0;
    do {
        reversed[count++] = kDigits[group & 0xF];
        group >>= 4;
    } while (group != 0);
    while (count > 0) text += reversed[--count];
}

}  // namespace

bool GetClientAddress(ISessionCtrl& self, DWORD sessionId, std::wstring& address,
                      bool& isLocal) {
    try {
        platform::WtsBuffer<WCHAR> buffer;
        DWORD bytes = 0;
        const bool queried = WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, sessionId,
                                                         WTSClientAddress, buffer.Receive(),
                                                         &bytes) != FALSE;
        return ClientAddressFromAnswer(self, queried, buffer.Get(), bytes, address, isLocal);
    } catch (...) {
        return false;
    }
}

bool ClientAddressFromAnswer(ISessionCtrl& self, bool queried, const void* record, DWORD bytes,
                             std::wstring& address, bool& isLocal) {
    address.clear();
    if (!queried) return false;
    // A session without a client (the console) answers with no record.
    if (record == nullptr) {
        isLocal = true;
        return true;
    }
    isLocal = false;
    // Only a whole record can be read; a shorter answer carries no address.
    if (bytes < sizeof(WTS_CLIENT_ADDRESS)) return false;
    WTS_CLIENT_ADDRESS client;
    std::memcpy(&client, record, sizeof(client));
    switch (client.AddressFamily) {
    case kFamilyIPv4:
        return self.FormatIPv4Address(client.Address, kAddressBytes, address);
    case kFamilyIPv6:
        return self.FormatIPv6Address(client.Address, kAddressBytes, address);
    default:
        return false;
    }
}

bool FormatIPv4Address(const unsigned char* bytes, DWORD length, std::wstring& text) {
    try {
        if (length != kAddressBytes) return false;
        WCHAR buffer[16] = {};  // "255.255.255.255" and its terminator
        wsprintfW(buffer, L"%d.%d.%d.%d", bytes[2], bytes[3], bytes[4], bytes[5]);
        text = buffer;
        return true;
    } catch (...) {
        return false;
    }
}

// Leading zero groups collapse into "::"; once a group has been written, zero groups
// are written as "0" (only the leading run is ever compressed).
bool FormatIPv6Address(const unsigned char* bytes, DWORD length, std::wstring& text) {
    try {
        if (length != kAddressBytes) return false;
        std::wstring result;
        bool started = false;
        for (int i = 0; i < kIPv6Groups; ++i) {
            const unsigned group = (unsigned{bytes[2 + 2 * i]} << 8) | bytes[3 + 2 * i];
            if (!started) {
                if (group == 0) continue;
                if (i > 0) result = L"::";
                started = true;
            } else {
                result += L':';
            }
            AppendHexGroup(result, group);
        }
        text = started ? result : L"::";
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace sessionctrl::terminal_services
