// The registry text readers on arbitrary value types, bytes and sizes: the VMware reader
// (both of its buffer sizes and a tiny one), the log directory reader and the Citrix
// location reader. No reader reads past its buffer (AddressSanitizer watches) or leaves a
// key open, and a text it returns fits its buffer and holds no NUL.
#include <log_config.h>
#include <vmware_registry.h>
#include <wfapi_location.h>

#include <winsim/machine.h>

#include <cstdint>
#include <cstdlib>

namespace {

constexpr const wchar_t* kLogKey = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";

void Require(bool condition) {
    if (!condition) std::abort();
}

bool WithoutNul(const std::wstring& text) { return text.find(L'\0') == std::wstring::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool machine = (winsim::Reset(), true);
    if (size < 1 || !machine) return 0;
    // First byte: the type (the common ones, or any number); the rest: the value's bytes.
    static const DWORD types[] = {REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_BINARY,
                                  REG_NONE, REG_QWORD, 0x12345678};
    const winsim::RegValue value{types[data[0] % 8], std::vector<BYTE>(data + 1, data + size)};
    winsim::SetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Fuzz", L"Value", value);
    winsim::SetValue(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", value);
    winsim::SetValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Citrix\\PortICA\\Install", L"Location", value);
    namespace vmware = sessionctrl::vmware;
    for (std::size_t chars : {vmware::kValueChars, vmware::kPathChars, std::size_t{2}}) {
        if (auto text = vmware::ReadRegistryString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Fuzz", L"Value", chars))
            Require(text->size() <= chars && WithoutNul(*text));
    }
    HKEY key = nullptr;
    std::wstring text;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLogKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        Require(!ssolog::ReadLogDirectory(key, text) || WithoutNul(text));
        RegCloseKey(key);
    }
    Require(!sessionctrl::LocateWfapi(text) || WithoutNul(text));
    Require(winsim::CountOutstanding().keys == 0);
    return 0;
}
