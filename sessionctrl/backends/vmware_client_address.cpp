// Client addresses as VMware View records them: per session (version 7 and later)
// or in the logged-on user's volatile environment (before 7).
#include "vmware_registry.h"
#include "vmware_view.h"

#include <utility>

namespace sessionctrl::vmware {
namespace {
constexpr const wchar_t* kClientAddressValue = L"ViewClient_IP_Address";
}  // namespace

bool ReadSessionClientAddress(DWORD sessionId, std::wstring* address) noexcept {
    try {
        auto text = ReadRegistryString(HKEY_LOCAL_MACHINE, SessionKeyPath(sessionId).c_str(),
                                       kClientAddressValue, kValueChars);
        if (!text || text->empty()) return false;
        if (address != nullptr) *address = std::move(*text);
        return true;
    } catch (...) {
        return false;
    }
}

bool ReadVolatileClientAddress(std::wstring& address) noexcept {
    auto text = ReadRegistryString(HKEY_CURRENT_USER, kVolatileEnvironmentKey,
                                   kClientAddressValue, kValueChars);
    if (!text) return false;
    address = std::move(*text);
    return true;
}

}  // namespace sessionctrl::vmware
