// FormatIPv4Address / FormatIPv6Address on arbitrary 20-byte address arrays and lengths,
// against the text rules: IPv4 is bytes 2-5 as "%d.%d.%d.%d"; IPv6 is bytes 2-17 as eight
// big-endian groups in lowercase hex without leading zeros, the leading zero groups
// replaced by "::" and nothing else compressed, "::" for all zeros. Any other length
// gives false and leaves the text.
#include <terminal_services.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
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
    return 0;
}
