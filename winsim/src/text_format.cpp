// wsprintfW, sprintf_s, _wcsicmp and _wtoi with their Windows behaviour.
#include "machine_state.h"

#include <cstdarg>
#include <climits>
#include <cwctype>

using namespace winsim;
using namespace winsim::detail;

namespace {

// wsprintfW writes at most this many characters, terminator included.
constexpr size_t kWsprintfLimit = 1024;

struct Directive {
    bool left = false;
    bool zero = false;
    size_t width = 0;
    bool hasPrecision = false;
    size_t precision = 0;
    enum { Default, Short, Long, Int64 } size = Default;
};

void Pad(std::wstring& out, const std::wstring& body, const Directive& directive, wchar_t fill) {
    if (directive.left || body.size() >= directive.width) {
        out += body;
        if (body.size() < directive.width) out.append(directive.width - body.size(), L' ');
        return;
    }
    out.append(directive.width - body.size(), fill);
    out += body;
}

std::wstring Digits(unsigned long long value, unsigned base, bool upper) {
    const wchar_t* symbols = upper ? L"0123456789ABCDEF" : L"0123456789abcdef";
    std::wstring digits;
    do {
        digits.insert(digits.begin(), symbols[value % base]);
        value /= base;
    } while (value != 0);
    return digits;
}

void FormatInteger(std::wstring& out, wchar_t conversion, const Directive& directive, va_list& args) {
    long long value = 0;
    if (directive.size == Directive::Int64) {
        value = va_arg(args, long long);
    } else if (directive.size == Directive::Long) {
        value = va_arg(args, long);
    } else {
        value = va_arg(args, int);
    }
    bool negative = false;
    unsigned long long magnitude = 0;
    if (conversion == L'd' || conversion == L'i') {
        if (directive.size == Directive::Short) value = static_cast<short>(value);
        if (directive.size == Directive::Default) value = static_cast<int>(value);
        negative = value < 0;
        magnitude = negative ? 0ull - static_cast<unsigned long long>(value)
                             : static_cast<unsigned long long>(value);
    } else if (directive.size == Directive::Int64 || directive.size == Directive::Long) {
        magnitude = static_cast<unsigned long long>(value);
    } else if (directive.size == Directive::Short) {
        magnitude = static_cast<unsigned short>(value);
    } else {
        magnitude = static_cast<unsigned int>(value);  // 32-bit, as Windows reads it
    }
    const unsigned base = (conversion == L'x' || conversion == L'X') ? 16 : 10;
    std::wstring digits = Digits(magnitude, base, conversion == L'X');
    if (directive.hasPrecision && digits.size() < directive.precision) {
        digits.insert(0, directive.precision - digits.size(), L'0');
    }
    if (directive.zero && !directive.left && !directive.hasPrecision) {
        // Zero padding goes between the sign and the digits.
        const size_t room = directive.width > (negative ? 1u : 0u) ? directive.width - (negative ? 1 : 0) : 0;
        if (digits.size() < room) digits.insert(0, room - digits.size(), L'0');
    }
    Pad(out, negative ? L"-" + digits : digits, directive, L' ');
}

void FormatText(std::wstring& out, bool narrow, const Directive& directive, va_list& args) {
    std::wstring text;
    if (narrow) {
        const char* value = va_arg(args, const char*);
        text = value != nullptr ? Widen(value) : L"(null)";
    } else {
        const wchar_t* value = va_arg(args, const wchar_t*);
        text = value != nullptr ? value : L"(null)";
    }
    if (directive.hasPrecision && text.size() > directive.precision) text.resize(directive.precision);
    Pad(out, text, directive, L' ');
}

std::wstring FormatWide(const wchar_t* format, va_list& args) {
    std::wstring out;
    for (const wchar_t* p = format; *p != L'\0'; ++p) {
        if (*p != L'%') {
            out += *p;
            continue;
        }
        ++p;
        Directive directive;
        for (;; ++p) {
            if (*p == L'-') {
                directive.left = true;
            } else if (*p == L'0') {
                directive.zero = true;
            } else if (*p != L'#') {
                break;
            }
        }
        while (*p >= L'0' && *p <= L'9') directive.width = directive.width * 10 + static_cast<size_t>(*p++ - L'0');
        if (*p == L'.') {
            directive.hasPrecision = true;
            for (++p; *p >= L'0' && *p <= L'9'; ++p) {
                directive.precision = directive.precision * 10 + static_cast<size_t>(*p - L'0');
            }
        }
        bool narrowText = false;
        if (*p == L'h') {
            directive.size = Directive::Short, narrowText = true, ++p;
        } else if (*p == L'l') {
            directive.size = Directive::Long, ++p;
        } else if (p[0] == L'I' && p[1] == L'6' && p[2] == L'4') {
            directive.size = Directive::Int64, p += 3;
        }
        switch (*p) {
            case L'd': case L'i': case L'u': case L'x': case L'X':
                FormatInteger(out, *p, directive, args);
                break;
            case L's':
                FormatText(out, narrowText, directive, args);
                break;
            case L'S':
                FormatText(out, directive.size != Directive::Long, directive, args);
                break;
            case L'c': case L'C': {
                const auto c = static_cast<wchar_t>(va_arg(args, int));
                Pad(out, std::wstring(1, c), directive, L' ');
                break;
            }
            case L'\0':
                return out;
            default:  // "%%" and unknown conversions print the character itself
                out += *p;
        }
    }
    return out;
}

}  // namespace

extern "C" int wsprintfW(LPWSTR buffer, LPCWSTR format, ...) {
    if (auto fault = Enter("wsprintfW")) return Fail(*fault, 0);
    va_list args;
    va_start(args, format);
    std::wstring text = FormatWide(format, args);
    va_end(args);
    if (text.size() > kWsprintfLimit - 1) text.resize(kWsprintfLimit - 1);
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    return static_cast<int>(text.size());
}

extern "C" int sprintf_s(char* buffer, size_t size, const char* format, ...) {
    if (auto fault = Enter("sprintf_s")) return Fail(*fault, -1);
    if (buffer == nullptr || size == 0 || format == nullptr) {
        Guard guard = Lock();
        RecordMisuse("sprintf_s with a null buffer, zero size or null format");
        return -1;
    }
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(buffer, size, format, args);
    va_end(args);
    if (written < 0 || static_cast<size_t>(written) >= size) {
        // Windows calls the invalid-parameter handler; we record it and leave an empty string.
        buffer[0] = '\0';
        Guard guard = Lock();
        RecordMisuse("sprintf_s output does not fit its buffer");
        return -1;
    }
    return written;
}

extern "C" int _wcsicmp(const wchar_t* a, const wchar_t* b) {
    Enter("_wcsicmp");
    for (;; ++a, ++b) {
        const auto la = std::towlower(static_cast<wint_t>(*a));
        const auto lb = std::towlower(static_cast<wint_t>(*b));
        if (la != lb || la == 0) return static_cast<int>(la) - static_cast<int>(lb);
    }
}

extern "C" int _wtoi(const wchar_t* text) {
    Enter("_wtoi");
    while (std::iswspace(static_cast<wint_t>(*text))) ++text;
    bool negative = false;
    if (*text == L'-' || *text == L'+') negative = *text++ == L'-';
    long long value = 0;
    for (; *text >= L'0' && *text <= L'9'; ++text) {
        value = value * 10 + (*text - L'0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;  // clamped below
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}
