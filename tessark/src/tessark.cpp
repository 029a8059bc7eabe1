// Installed products are switches in the 64-bit registry view, so the 32-bit and the
// 64-bit build of a host see the same answer.
#include <tessark/tessark.h>

#include <platform/win32.h>
#include <platform/win32_raii.h>

#include <vector>

namespace tessark {

namespace {

// Longest path GetModuleFileNameW can hand out.
constexpr DWORD kLongestPath = 32768;

bool ProductInstalled(const wchar_t* product) {
    platform::UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kInstalledProductsKey, 0, KEY_READ | KEY_WOW64_64KEY,
                      key.Receive()) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key.Get(), product, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS)
        return false;
    return type == REG_DWORD && size == sizeof(value) && value != 0;
}

}  // namespace

bool ThirdPartyCredentialProvider::XenAppInstalled() { return ProductInstalled(L"XenApp"); }

bool ThirdPartyCredentialProvider::XenDesktopInstalled() {
    return ProductInstalled(L"XenDesktop");
}

bool ThirdPartyCredentialProvider::XenDesktop7Installed() {
    return ProductInstalled(L"XenDesktop7");
}

bool ThirdPartyCredentialProvider::VMwareHorizonInstalled() {
    return ProductInstalled(L"VMwareHorizon");
}

bool ModuleInfoCtrl::GetDirectory(HINSTANCE__* module, std::wstring& directory) {
    try {
        std::vector<WCHAR> path(MAX_PATH);
        for (;;) {
            const DWORD size = static_cast<DWORD>(path.size());
            const DWORD length = GetModuleFileNameW(module, path.data(), size);
            if (length == 0) return false;
            if (length < size) {
                const std::wstring file(path.data(), length);
                const std::wstring::size_type slash = file.rfind(L'\\');
                if (slash == std::wstring::npos) return false;
                directory = file.substr(0, slash + 1);
                return true;
            }
            // Truncated: the name filled the whole buffer.
            if (size >= kLongestPath) return false;
            path.resize(size * 2);
        }
    } catch (...) {
        return false;
    }
}

}  // namespace tessark
