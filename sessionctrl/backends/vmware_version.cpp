// The installed VMware View major version, read once per process.
#include "vmware_registry.h"
#include "vmware_view.h"

#include <atomic>
#include <string>
#include <utility>

namespace sessionctrl::vmware {
namespace {

// -1 until read; whatever is read first (0 for a failed read) stays for the process.
std::atomic<int> g_vdmMajorVersion{-1};

int ReadVdmMajorVersion() noexcept {
    auto version = ReadRegistryString(HKEY_LOCAL_MACHINE, kVdmKey, L"ProductVersion",
                                      kValueChars);
    return version ? MajorVersionOf(std::move(*version)) : 0;
}

}  // namespace

int MajorVersionOf(std::wstring productVersion) noexcept {
    // Only the text before the first dot counts: "7.5.1" is 7.
    const std::size_t dot = productVersion.find(L'.');
    if (dot != std::wstring::npos) productVersion.resize(dot);
    if (productVersion.empty()) return 0;
    return _wtoi(productVersion.c_str());
}

int GetVdmMajorVersion() noexcept {
    const int cached = g_vdmMajorVersion.load();
    if (cached >= 0) return cached;
    const int version = ReadVdmMajorVersion();
    g_vdmMajorVersion.store(version);
    return version;
}

}  // namespace sessionctrl::vmware
