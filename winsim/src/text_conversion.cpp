// MultiByteToWideChar / WideCharToMultiByte for UTF-8 with the Win32 counting rules.
// Wide text on Linux is UTF-32 (one wchar_t per code point); a UTF-16 surrogate pair
// in wide input is still combined, and an unpaired surrogate becomes U+FFFD as on Windows.
#include "machine_state.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Decodes UTF-8; each maximal invalid subpart becomes one U+FFFD. False when `strict`
// and the input is not valid UTF-8.
bool DecodeUtf8(const unsigned char* text, size_t length, bool strict, std::u32string& out) {
    size_t i = 0;
    while (i < length) {
        const unsigned char lead = text[i];
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        size_t need = 0;
        char32_t code = 0;
        unsigned char low = 0x80, high = 0xBF;  // bounds of the second byte
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1, code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2, code = lead & 0x0F;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;  // no encoded surrogates
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3, code = lead & 0x07;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            if (strict) return false;
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        size_t taken = 1;
        bool valid = true;
        for (; taken <= need; ++taken) {
            if (i + taken >= length) {
                valid = false;
                break;
            }
            const unsigned char next = text[i + taken];
            const unsigned char min = taken == 1 ? low : 0x80;
            const unsigned char max = taken == 1 ? high : 0xBF;
            if (next < min || next > max) {
                valid = false;
                break;
            }
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid) {
            if (strict) return false;
            out.push_back(kReplacement);
            i += taken;
            continue;
        }
        out.push_back(code);
        i += need + 1;
    }
    return true;
}

std::u32string CodePointsOfWide(const wchar_t* text, size_t length) {
    std::u32string out;
    for (size_t i = 0; i < length; ++i) {
        auto c = static_cast<char32_t>(text[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
            auto next = static_cast<char32_t>(text[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                out.push_back(0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        out.push_back(IsSurrogate(c) || c > 0x10FFFF ? kReplacement : c);
    }
    return out;
}

std::string EncodeUtf8(const std::u32string& codes) {
    std::string out;
    for (char32_t c : codes) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

bool SupportedCodePage(UINT codePage) { return codePage == CP_UTF8 || codePage == CP_ACP; }

}  // namespace

namespace winsim::detail {

std::string Narrow(const std::wstring& text) {
    return EncodeUtf8(CodePointsOfWide(text.data(), text.size()));
}

std::wstring Widen(const std::string& text) {
    std::u32string codes;
    DecodeUtf8(reinterpret_cast<const unsigned char*>(text.data()), text.size(), false, codes);
    return std::wstring(codes.begin(), codes.end());
}

}  // namespace winsim::detail

using namespace winsim;
using namespace winsim::detail;

extern "C" int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte,
                                   int multiByteCount, LPWSTR wide, int wideCount) {
    if (auto fault = Enter("MultiByteToWideChar")) return Fail(*fault, 0);
    if (!SupportedCodePage(codePage) || multiByte == nullptr || multiByteCount == 0 ||
        multiByteCount < -1 || wideCount < 0 || (wide == nullptr && wideCount != 0) ||
        (flags & ~static_cast<DWORD>(MB_ERR_INVALID_CHARS)) != 0) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    // -1: the terminator is converted and counted too.
    const size_t length =
        multiByteCount == -1 ? std::strlen(multiByte) + 1 : static_cast<size_t>(multiByteCount);
    std::u32string codes;
    if (!DecodeUtf8(reinterpret_cast<const unsigned char*>(multiByte), length,
                    (flags & MB_ERR_INVALID_CHARS) != 0, codes)) {
        return Fail(ERROR_NO_UNICODE_TRANSLATION, 0);
    }
    const auto needed = static_cast<int>(codes.size());
    if (wideCount == 0) return needed;
    if (wideCount < needed) return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
    for (size_t i = 0; i < codes.size(); ++i) wide[i] = static_cast<wchar_t>(codes[i]);
    return needed;
}

extern "C" int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount,
                                   LPSTR multiByte, int multiByteCount, LPCSTR defaultChar,
                                   PBOOL usedDefaultChar) {
    if (auto fault = Enter("WideCharToMultiByte")) return Fail(*fault, 0);
    // UTF-8 takes neither a default character nor flags.
    if (!SupportedCodePage(codePage) || wide == nullptr || wideCount == 0 || wideCount < -1 ||
        multiByteCount < 0 || (multiByte == nullptr && multiByteCount != 0) || flags != 0 ||
        defaultChar != nullptr || usedDefaultChar != nullptr) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    const size_t length =
        wideCount == -1 ? std::wcslen(wide) + 1 : static_cast<size_t>(wideCount);
    const std::string bytes = EncodeUtf8(CodePointsOfWide(wide, length));
    const auto needed = static_cast<int>(bytes.size());
    if (multiByteCount == 0) return needed;
    if (multiByteCount < needed) return Fail(ERROR_INSUFFICIENT_BUFFER, 0);
    bytes.copy(multiByte, bytes.size());
    return needed;
}
