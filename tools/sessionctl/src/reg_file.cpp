#include "reg_file.h"

#include "input_error.h"
#include "text.h"

#include <cwctype>

namespace sessionctl {
namespace {

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegDword = 4;
constexpr uint32_t kRegBinary = 3;

const std::wstring kHeader5 = L"Windows Registry Editor Version 5.00";
const std::wstring kHeader4 = L"REGEDIT4";

std::wstring TrimRight(const std::wstring& s) {
    size_t end = s.find_last_not_of(L" \t\r");
    return end == std::wstring::npos ? L"" : s.substr(0, end + 1);
}

std::wstring TrimLeft(const std::wstring& s) {
    size_t start = s.find_first_not_of(L" \t");
    return start == std::wstring::npos ? L"" : s.substr(start);
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(L'\n', start);
        std::wstring line = text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        lines.push_back(line);
        if (end == std::wstring::npos) {
            return lines;
        }
        start = end + 1;
    }
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

class RegFileParser {
public:
    RegFileParser(const std::string& bytes, const std::string& fileName)
        : lines_(SplitLines(DecodeTextFile(bytes))), file_(fileName) {}

    std::vector<RegOperation> Parse() {
        size_t index = Header();
        while (index < lines_.size()) {
            line_ = static_cast<int>(index) + 1;
            std::wstring logical = TrimLeft(TrimRight(lines_[index++]));
            if (logical.empty() || logical[0] == L';') {
                continue;
            }
            if (logical[0] == L'[') {
                KeyLine(logical);
                continue;
            }
            // Hex data may go on over several lines, each but the last ending in '\'.
            while (!logical.empty() && logical.back() == L'\\' && ContinuesHex(logical) &&
                   index < lines_.size()) {
                logical.pop_back();
                logical += TrimLeft(TrimRight(lines_[index++]));
            }
            ValueLine(logical);
        }
        return std::move(operations_);
    }

private:
    [[noreturn]] void Fail(const std::string& message) const { throw InputError(file_, line_, message); }

    size_t Header() {
        for (size_t i = 0; i < lines_.size(); ++i) {
            std::wstring line = TrimLeft(TrimRight(lines_[i]));
            if (line.empty()) {
                continue;
            }
            line_ = static_cast<int>(i) + 1;
            if (line == kHeader5) {
                regedit4_ = false;
            } else if (line == kHeader4) {
                regedit4_ = true;
            } else {
                Fail("not a registry file: expected \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"");
            }
            return i + 1;
        }
        line_ = 0;
        Fail("empty file: expected \"Windows Registry Editor Version 5.00\" or \"REGEDIT4\"");
    }

    static bool ContinuesHex(const std::wstring& logical) {
        size_t equals = logical.find(L"=hex");
        return equals != std::wstring::npos;
    }

    void KeyLine(const std::wstring& line) {
        if (line.back() != L']') {
            Fail("key line without closing ']'");
        }
        bool deleted = line.size() > 1 && line[1] == L'-';
        std::wstring pathText = line.substr(deleted ? 2 : 1, line.size() - (deleted ? 3 : 2));
        auto path = ParseRegistryPath(pathText);
        if (!path || path->key.empty()) {
            Fail("unknown registry root or empty key in \"" + ToUtf8(pathText) +
                 "\" (expected HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_USERS or HKEY_CLASSES_ROOT)");
        }
        RegOperation op;
        op.kind = deleted ? RegOperation::Kind::DeleteKey : RegOperation::Kind::CreateKey;
        op.path = *path;
        op.line = line_;
        operations_.push_back(op);
        currentKey_ = deleted ? std::nullopt : path;
        keySeen_ = true;
    }

    // A quoted text starting at `pos` (on the opening quote); returns the position after
    // the closing quote.
    size_t QuotedText(const std::wstring& line, size_t pos, std::wstring& out) const {
        out.clear();
        for (size_t i = pos + 1; i < line.size(); ++i) {
            wchar_t c = line[i];
            if (c == L'"') {
                return i + 1;
            }
            if (c == L'\\') {
                if (i + 1 >= line.size()) {
                    break;
                }
                wchar_t e = line[++i];
                if (e != L'\\' && e != L'"') {
                    Fail(std::string("unknown escape \\") + static_cast<char>(e < 128 ? e : '?') +
                         " in a quoted text (only \\\\ and \\\" are written by regedit)");
                }
                out += e;
                continue;
            }
            out += c;
        }
        Fail("quoted text without closing '\"'");
    }

    void ValueLine(const std::wstring& line) {
        if (line[0] != L'"' && line[0] != L'@') {
            Fail("not a registry line: expected [key], \"name\"=value, @=value or a ';' comment");
        }
        if (!keySeen_) {
            Fail("value before the first [key] line");
        }
        if (!currentKey_) {
            Fail("value under a deleted key");
        }
        RegOperation op;
        op.path = *currentKey_;
        op.line = line_;
        size_t pos = 1;
        if (line[0] == L'"') {
            pos = QuotedText(line, 0, op.name);
        }
        while (pos < line.size() && (line[pos] == L' ' || line[pos] == L'\t')) ++pos;
        if (pos >= line.size() || line[pos] != L'=') {
            Fail("expected '=' after the value name");
        }
        std::wstring data = TrimLeft(line.substr(pos + 1));
        if (data == L"-") {
            op.kind = RegOperation::Kind::DeleteValue;
        } else {
            op.kind = RegOperation::Kind::SetValue;
            Data(data, op);
        }
        operations_.push_back(op);
    }

    void Data(const std::wstring& data, RegOperation& op) {
        if (!data.empty() && data[0] == L'"') {
            std::wstring text;
            size_t end = QuotedText(data, 0, text);
            if (!TrimLeft(data.substr(end)).empty()) {
                Fail("unexpected text after the closing '\"'");
            }
            op.type = kRegSz;
            op.data = WideToUtf16Le(text + L'\0');
            return;
        }
        if (data.compare(0, 6, L"dword:") == 0) {
            std::wstring digits = data.substr(6);
            if (digits.empty() || digits.size() > 8) {
                Fail("dword: needs 1 to 8 hexadecimal digits");
            }
            uint32_t value = 0;
            for (wchar_t c : digits) {
                int d = HexDigit(c);
                if (d < 0) {
                    Fail("dword: needs 1 to 8 hexadecimal digits");
                }
                value = value * 16 + static_cast<uint32_t>(d);
            }
            op.type = kRegDword;
            op.data = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                       static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
            return;
        }
        size_t listStart;
        if (data.compare(0, 4, L"hex:") == 0) {
            op.type = kRegBinary;
            listStart = 4;
        } else if (data.compare(0, 4, L"hex(") == 0) {
            size_t close = data.find(L"):", 4);
            if (close == std::wstring::npos || close == 4 || close > 12) {
                Fail("hex(N): needs a hexadecimal type number");
            }
            uint32_t type = 0;
            for (size_t i = 4; i < close; ++i) {
                int d = HexDigit(data[i]);
                if (d < 0) {
                    Fail("hex(N): needs a hexadecimal type number");
                }
                type = type * 16 + static_cast<uint32_t>(d);
            }
            op.type = type;
            listStart = close + 2;
        } else {
            Fail("unknown value data: expected \"text\", dword:, hex:, hex(N): or -");
        }
        op.data = HexBytes(data.substr(listStart));
        // REGEDIT4 writes the texts of hex(2) and hex(7) in the 8-bit code page.
        if (regedit4_ && IsTextType(op.type)) {
            std::string narrow(op.data.begin(), op.data.end());
            op.data = WideToUtf16Le(FromUtf8(narrow));
        }
    }

    std::vector<uint8_t> HexBytes(const std::wstring& list) const {
        std::vector<uint8_t> bytes;
        size_t pos = 0;
        std::wstring trimmed = TrimRight(list);
        if (TrimLeft(trimmed).empty()) {
            return bytes;
        }
        while (pos <= trimmed.size()) {
            size_t comma = trimmed.find(L',', pos);
            std::wstring item = TrimLeft(TrimRight(trimmed.substr(pos, comma == std::wstring::npos ? std::wstring::npos : comma - pos)));
            if (item.empty() || item.size() > 2 || HexDigit(item[0]) < 0 ||
                (item.size() == 2 && HexDigit(item[1]) < 0)) {
                Fail("bad byte \"" + ToUtf8(item) + "\" in hex data (expected two hexadecimal digits per byte, separated by ',')");
            }
            int value = HexDigit(item[0]);
            if (item.size() == 2) {
                value = value * 16 + HexDigit(item[1]);
            }
            bytes.push_back(static_cast<uint8_t>(value));
            if (comma == std::wstring::npos) {
                break;
            }
            pos = comma + 1;
        }
        return bytes;
    }

    std::vector<std::wstring> lines_;
    std::string file_;
    int line_ = 0;
    bool regedit4_ = false;
    bool keySeen_ = false;
    std::optional<RegistryPath> currentKey_;
    std::vector<RegOperation> operations_;
};

}  // namespace

std::vector<RegOperation> ParseRegFile(const std::string& bytes, const std::string& fileName) {
    return RegFileParser(bytes, fileName).Parse();
}

bool IsTextType(uint32_t type) {
    return type == 1 || type == 2 || type == 6 || type == 7;
}

std::wstring Utf16LeToWide(const std::vector<uint8_t>& bytes) {
    std::string utf16(bytes.begin(), bytes.end());
    if (utf16.size() % 2 != 0) {
        utf16.pop_back();
    }
    return DecodeTextFile("\xFF\xFE" + utf16);
}

std::vector<uint8_t> WideToUtf16Le(const std::wstring& text) {
    std::vector<uint8_t> bytes;
    auto put = [&bytes](uint32_t unit) {
        bytes.push_back(static_cast<uint8_t>(unit));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    };
    for (wchar_t c : text) {
        uint32_t cp = static_cast<uint32_t>(c);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    return bytes;
}

}  // namespace sessionctl
