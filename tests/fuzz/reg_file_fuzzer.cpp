// The .reg reader of sessionctl on arbitrary bytes: it accepts the file or throws
// InputError, nothing else; the well-formed text it accepts converts back and forth as
// UTF-16LE.
#include <input_error.h>
#include <reg_file.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    try {
        for (const sessionctl::RegOperation& operation : sessionctl::ParseRegFile(bytes, "fuzz.reg")) {
            if (operation.line <= 0) std::abort();
            if (!sessionctl::IsTextType(operation.type) || operation.data.size() % 2 != 0) continue;
            // hex(1)/hex(2)/hex(7) values may hold any bytes, lone surrogates included; those
            // decode to U+FFFD by design, so only well-formed text must survive the round trip.
            const std::wstring text = sessionctl::Utf16LeToWide(operation.data);
            if (text.find(L'\uFFFD') == std::wstring::npos &&
                sessionctl::WideToUtf16Le(text) != operation.data)
                std::abort();
        }
    } catch (const sessionctl::InputError&) {
    }
    return 0;
}
