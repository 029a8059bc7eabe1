// The log line builder on arbitrary UTF-16 texts and details, unpaired surrogates
// included: the line is the header, the text, ", ", the detail and LF, all valid
// UTF-8, and the builder never throws anything but bad_alloc.
#include <log_line.h>

#include <winsim/machine.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Require(bool condition) {
    if (!condition) std::abort();
}

bool IsValidUtf8(const std::string& bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = static_cast<unsigned char>(bytes[i]);
        std::size_t extra = 0;
        uint32_t code = 0;
        if (lead < 0x80) { ++i; continue; }
        if ((lead & 0xE0) == 0xC0) extra = 1, code = lead & 0x1F;
        else if ((lead & 0xF0) == 0xE0) extra = 2, code = lead & 0x0F;
        else if ((lead & 0xF8) == 0xF0) extra = 3, code = lead & 0x07;
        else return false;
        if (i + extra >= bytes.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k) {
            const unsigned char next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        static const uint32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool machine = [] {
        winsim::Reset();
        return true;
    }();
    (void)machine;
    // 16-bit code units as on Windows; a zero unit splits text from detail.
    std::vector<wchar_t> text, detail;
    std::vector<wchar_t>* target = &text;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const wchar_t unit = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (unit == 0 && target == &text) {
            target = &detail;
            continue;
        }
        if (unit != 0) target->push_back(unit);
    }
    text.push_back(0);
    detail.push_back(0);
    const bool withDetail = size % 2 == 1;
    const std::string line = ssolog::FormatLine(text.data(), withDetail ? detail.data() : nullptr);
    // Line feed only: the file is opened in text mode, which makes it CR LF.
    Require(!line.empty() && line.back() == '\n');
    Require(line.rfind("2026/12/04T", 0) == 0);
    Require(IsValidUtf8(line));
    return 0;
}
