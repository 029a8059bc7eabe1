#include "wfapi_location.h"

#include "environment.h"

#include <platform/win32.h>
#include <platform/win32_raii.h>
#include <ssolog/trace.h>

#include <vector>

namespace sessionctrl {
namespace {

constexpr const wchar_t* kInstallKey = L"SOFTWARE\\Citrix\\PortICA\\Install";
constexpr const wchar_t* kLocationValue = L"Location";

// The "Location" text up to its first NUL; only a non-empty REG_SZ counts.
bool ReadInstallLocation(std::wstring& directory) {
    platform::UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstallKey, 0, BackendRegistryAccess(),
                      key.Receive()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = 0;
    RegQueryValueExW(key.Get(), kLocationValue, nullptr, nullptr, nullptr, &size);
    if (size == 0) return false;

    // Zero-filled, one character longer than the value, so that the text always ends
    // even when the value was stored without its NUL.
    std::vector<WCHAR> text((size + sizeof(WCHAR) - 1) / sizeof(WCHAR) + 1, L'\0');
    DWORD type = REG_NONE;
    DWORD bytes = size;
    if (RegQueryValueExW(key.Get(), kLocationValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(text.data()), &bytes) != ERROR_SUCCESS ||
        type != REG_SZ || bytes == 0) {
        return false;
    }
    directory = text.data();
    return true;
}

}  // namespace

bool LocateWfapi(std::wstring& path) {
    std::wstring directory;
    if (!ReadInstallLocation(directory)) {
        ssolog::TraceMessage(L"registry not found.");
        return false;
    }
    path = directory;
    if (!path.empty() && path.back() != L'\\') path += L'\\';
    path += L"wfapi.dll";
    return true;
}

}  // namespace sessionctrl
