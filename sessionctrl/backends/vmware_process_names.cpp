// The image names of the display-protocol servers, cached once found.
#include "environment.h"
#include "vmware_registry.h"
#include "vmware_view.h"

#include <platform/win32_raii.h>

namespace sessionctrl::vmware {
namespace {

// Constructed before, and so destroyed after, every ordinary static of the module
// (the backend pointer among them). Guarded by the environment lock.
__attribute__((init_priority(101))) std::wstring g_pcoipServerName;
__attribute__((init_priority(101))) std::wstring g_blastServerName;

std::wstring CachedServerName(std::wstring& cache, const wchar_t* keyPath,
                              const wchar_t* valueName) noexcept {
    try {
        platform::CriticalSectionGuard guard(EnvironmentLock());
        if (cache.empty()) {
            if (const auto path = ReadRegistryString(HKEY_LOCAL_MACHINE, keyPath, valueName,
                                                     kPathChars)) {
                const std::size_t slash = path->rfind(L'\\');
                cache = slash == std::wstring::npos ? *path : path->substr(slash + 1);
            }
        }
        return cache;
    } catch (...) {
        return std::wstring();
    }
}

}  // namespace

std::wstring GetPCoIPServerProcessName() noexcept {
    return CachedServerName(g_pcoipServerName, kPCoIPKey, L"TeraHostPath");
}

std::wstring GetBlastServerProcessName() noexcept {
    return CachedServerName(g_blastServerName, kBlastRdeStubKey, L"rdepath");
}

}  // namespace sessionctrl::vmware
