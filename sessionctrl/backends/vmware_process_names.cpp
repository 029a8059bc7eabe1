// The image names of the display-protocol servers, cached once found.
#include "environment.h"
#include "ordered_statics.h"
#include "vmware_registry.h"
#include "vmware_view.h"

#include <platform/win32_raii.h>

namespace sessionctrl::vmware {
namespace {

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
    return CachedServerName(PCoIPServerNameCache(), kPCoIPKey, L"TeraHostPath");
}

std::wstring GetBlastServerProcessName() noexcept {
    return CachedServerName(BlastServerNameCache(), kBlastRdeStubKey, L"rdepath");
}

}  // namespace sessionctrl::vmware
