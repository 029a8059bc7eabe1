// FormatIPv4Address / FormatIPv6Address on arbitrary 20-byte address arrays (and
// arbitrary lengths), against a reference written from the text rules alone: IPv4 is
// bytes 2-5 as "%d.%d.%d.%d"; IPv6 is bytes 2-17 as eight big-endian groups in lowercase
// hex without leading zeros, the leading zero groups replaced by "::", no other
// compression, "::" for all zeros. Any other length gives false and leaves the text.
#include <terminal_services.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

std::wstring ReferenceIPv4(const unsigned char* bytes) {
    std::wstring text;
    for (int i = 2; i <= 5; ++i) {
        if (i > 2) text += L'.';
        text += std::to_wstring(bytes[i]);
    }
    return text;
}

std::wstring Hex(unsigned value) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return text;
}

std::wstring ReferenceIPv6(const unsigned char* bytes) {
    unsigned groups[8];
    for (int g = 0; g < 8; ++g) groups[g] = bytes[2 + 2 * g] * 256u + bytes[3 + 2 * g];
    int first = 0;
    while (first < 8 && groups[first] == 0) ++first;
    if (first == 8) return L"::";
    std::wstring text = first > 0 ? L"::" : L"";
    for (int g = first; g < 8; ++g) {
        if (g > first) text += L':';
        text += Hex(groups[g]);
    }
    return text;
}

void Require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace ts = sessionctrl::terminal_services;
    // Exactly 20 bytes on the heap, so that any read past them is caught.
    auto bytes = std::make_unique<unsigned char[]>(20);
    std::memcpy(bytes.get(), data, size < 20 ? size : 20);
    const DWORD length = size > 20 ? data[20] : 20;

    std::wstring text = L"untouched";
    if (length != 20) {
        Require(!ts::FormatIPv4Address(bytes.get(), length, text) && text == L"untouched");
        Require(!ts::FormatIPv6Address(bytes.get(), length, text) && text == L"untouched");
        return 0;
    }
    Require(ts::FormatIPv4Address(bytes.get(), 20, text));
    Require(text == ReferenceIPv4(bytes.get()));
    Require(ts::FormatIPv6Address(bytes.get(), 20, text));
    Require(text == ReferenceIPv6(bytes.get()) && text.size() <= 39);
    return 0;
}
