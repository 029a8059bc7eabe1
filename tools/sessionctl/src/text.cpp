#include "text.h"

#include "input_error.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace sessionctl {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
            return;
        }
    }
    out += static_cast<wchar_t>(cp);
}

// Code points of UTF-16 units, pairing surrogates; a lone surrogate is replaced.
template <typename Unit, typename Sink>
void ForEachUtf16CodePoint(const Unit* units, size_t count, Sink sink) {
    for (size_t i = 0; i < count; ++i) {
        char32_t u = static_cast<char32_t>(units[i]) & 0xFFFF;
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            char32_t low = static_cast<char32_t>(units[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) {
                sink(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        sink(u >= 0xD800 && u <= 0xDFFF ? kReplacement : u);
    }
}

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    if constexpr (sizeof(wchar_t) == 2) {
        ForEachUtf16CodePoint(text.data(), text.size(), [&](char32_t cp) { AppendUtf8(out, cp); });
    } else {
        for (wchar_t c : text) {
            char32_t cp = static_cast<char32_t>(c);
            AppendUtf8(out, cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) ? kReplacement : cp);
        }
    }
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned char lead = static_cast<unsigned char>(text[i]);
        int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        if (extra < 0 || i + extra >= text.size()) {
            AppendWide(out, kReplacement);
            ++i;
            continue;
        }
        char32_t cp = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            unsigned char next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        if (!valid) {
            AppendWide(out, kReplacement);
            ++i;
            continue;
        }
        AppendWide(out, cp);
        i += extra + 1;
    }
    return out;
}

std::wstring DecodeTextFile(const std::string& bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        std::u16string units;
        for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
            units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                           (static_cast<unsigned char>(bytes[i + 1]) << 8));
        }
        std::wstring out;
        ForEachUtf16CodePoint(units.data(), units.size(), [&](char32_t cp) { AppendWide(out, cp); });
        return out;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
        return FromUtf8(bytes.substr(3));
    }
    return FromUtf8(bytes);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw InputError(path, 0, "cannot open the file");
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        throw InputError(path, 0, "cannot read the file");
    }
    return content.str();
}

bool EqualsIgnoreCase(const std::wstring& a, const std::wstring& b) {
    return ToUpperAscii(a) == ToUpperAscii(b);
}

std::wstring ToUpperAscii(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; });
    return text;
}

}  // namespace sessionctl
