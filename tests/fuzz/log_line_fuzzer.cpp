// The log line builder on arbitrary UTF-16 texts and details, unpaired surrogates
// included: the line is the header and then valid UTF-8 ending in one LF; texts of ASCII
// alone come through as they are, "text, detail".
#include <log_line.h>

#include <winsim/machine.h>

#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const iconv_t fromUtf8 = (winsim::Reset(), iconv_open("UTF-32LE", "UTF-8"));
    // 16-bit code units as on Windows; the first zero unit splits text from detail.
    std::wstring parts[2];
    bool ascii = true;
    for (size_t i = 0, part = 0; i + 1 < size; i += 2) {
        const wchar_t unit = static_cast<wchar_t>(data[i] | data[i + 1] << 8);
        if (unit == 0) part = 1;
        else parts[part] += unit, ascii = ascii && unit < 0x80;
    }
    const bool withDetail = size % 2 == 1;
    std::string line = ssolog::FormatLine(parts[0].c_str(), withDetail ? parts[1].c_str() : nullptr);
    // Line feed only: the file is opened in text mode, which makes it CR LF.
    const std::string header = "2026/12/04T09:05:03.042, SID:000001, PID:004711, TID:005120, ";
    const std::string text(parts[0].begin(), parts[0].end()), detail(parts[1].begin(), parts[1].end());
    if (line.compare(0, header.size(), header) != 0 || line.back() != '\n' ||
        (ascii && line != header + text + "," + (withDetail ? " " + detail : "") + "\n"))
        std::abort();
    std::string decoded(line.size() * 4, '\0');
    char *in = line.data(), *out = decoded.data();
    size_t inLeft = line.size(), outLeft = decoded.size();
    iconv(fromUtf8, nullptr, nullptr, nullptr, nullptr);
    if (iconv(fromUtf8, &in, &inLeft, &out, &outLeft) == static_cast<size_t>(-1)) std::abort();
    return 0;
}
