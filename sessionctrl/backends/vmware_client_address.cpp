// Client addresses as VMware View records them: per session (version 7 and later)
// or in the logged-on user's volatile environment (before 7).
#include "vmware_registry.h"
#include "vmware_view.h"

#include <platform/win32_raii.h>

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

// The predefined HKEY_CURRENT_USER is bound to one user for the whole process at its
// first use: in a service serving several sessions it would answer the first user's
// hive to every later caller. The hive of the thread's (impersonated) user is opened
// for this one read instead.
bool ReadVolatileClientAddress(std::wstring& address) noexcept {
    platform::UniqueKey userHive;
    if (RegOpenCurrentUser(KEY_READ, userHive.Receive()) != ERROR_SUCCESS) return false;
    auto text = ReadRegistryString(userHive.Get(), kVolatileEnvironmentKey,
                                   kClientAddressValue, kValueChars);
    if (!text) return false;
    address = std::move(*text);
    return true;
}

}  // namespace sessionctrl::vmware
