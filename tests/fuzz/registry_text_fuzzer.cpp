// The registry text readers on arbitrary value types, bytes and sizes: the VMware
// reader (both buffer sizes), the log directory reader and the Citrix location reader.
// Whatever the value holds, no reader reads past its buffer (AddressSanitizer watches)
// and a text it returns fits its buffer (terminated or not) and holds no NUL.
#include <log_config.h>
#include <vmware_registry.h>
#include <wfapi_location.h>

#include <winsim/machine.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr const wchar_t* kValueKey = L"SOFTWARE\\Fuzz";
constexpr const wchar_t* kLogKey = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";
constexpr const wchar_t* kCitrixKey = L"SOFTWARE\\Citrix\\PortICA\\Install";

void Require(bool condition) {
    if (!condition) std::abort();
}

void CheckText(const std::wstring& text, std::size_t bufferChars) {
    Require(text.size() <= bufferChars);
    Require(text.find(L'\0') == std::wstring::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool machine = [] {
        winsim::Reset();
        return true;
    }();
    (void)machine;
    if (size < 1) return 0;
    // First byte: the type (the common ones, or any number); the rest: the value's bytes.
    static const DWORD types[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY,
                                  REG_NONE, REG_QWORD, 0x12345678};
    winsim::RegValue value;
    value.type = types[data[0] % (sizeof types / sizeof types[0])];
    value.data.assign(data + 1, data + size);
    winsim::SetValue(HKEY_LOCAL_MACHINE, kValueKey, L"Value", value);
    winsim::SetValue(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", value);
    winsim::SetValue(HKEY_LOCAL_MACHINE, kCitrixKey, L"Location", value);

    namespace vmware = sessionctrl::vmware;
    for (std::size_t chars : {vmware::kValueChars, vmware::kPathChars, std::size_t{2}}) {
        if (auto text = vmware::ReadRegistryString(HKEY_LOCAL_MACHINE, kValueKey, L"Value", chars))
            CheckText(*text, chars);
    }

    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLogKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        std::wstring directory;
        if (ssolog::ReadLogDirectory(key, directory))
            Require(directory.find(L'\0') == std::wstring::npos);
        RegCloseKey(key);
    }

    std::wstring path;
    if (sessionctrl::LocateWfapi(path)) Require(path.find(L'\0') == std::wstring::npos);

    Require(winsim::CountOutstanding().keys == 0);
    return 0;
}
