#include "vmware_registry.h"

#include "environment.h"

#include <platform/win32_raii.h>

#include <algorithm>
#include <vector>

namespace sessionctrl::vmware {

std::wstring SessionKeyPath(DWORD sessionId) {
    return std::wstring(kSessionDataKey) + L"\\" + std::to_wstring(static_cast<int>(sessionId));
}

std::optional<std::wstring> ReadRegistryString(HKEY root, const wchar_t* keyPath,
                                               const wchar_t* valueName,
                                               std::size_t bufferChars) noexcept {
    try {
        platform::UniqueKey key;
        if (RegOpenKeyExW(root, keyPath, 0, BackendRegistryAccess(), key.Receive()) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::vector<WCHAR> buffer(bufferChars, L'\0');
        DWORD type = REG_NONE;
        DWORD size = static_cast<DWORD>(bufferChars * sizeof(WCHAR));
        const LSTATUS status = RegQueryValueExW(key.Get(), valueName, nullptr, &type,
                                                reinterpret_cast<LPBYTE>(buffer.data()), &size);
        key.Reset();
        if (status != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
        // Stop at the first NUL, or at the buffer's end when the value fills it.
        return std::wstring(buffer.begin(), std::find(buffer.begin(), buffer.end(), L'\0'));
    } catch (...) {
        return std::nullopt;
    }
}

bool RegistryKeyExists(HKEY root, const wchar_t* keyPath) noexcept {
    platform::UniqueKey key;
    return RegOpenKeyExW(root, keyPath, 0, BackendRegistryAccess(), key.Receive()) ==
           ERROR_SUCCESS;
}

}  // namespace sessionctrl::vmware
