// The installed VMware View major version, read once per process.
#include "vmware_registry.h"
#include "vmware_view.h"

#include <atomic>
#include <string>

namespace sessionctrl::vmware {
namespace {

// -1 until read; whatever is read first (0 for a failed read) stays for the process.
std::atomic<int> g_vdmMajorVersion{-1};

int ReadVdmMajorVersion() noexcept {
    auto version = ReadRegistryString(HKEY_LOCAL_MACHINE, kVdmKey, L"ProductVersion",
                                      kValueChars);
    if (!version) return 0;
    // Only the text before the first dot counts: "7.5.1" is 7.
    std::wstring& text = *version;
    const std::size_t dot = text.find(L'.');
    if (dot != std::wstring::npos) text.resize(dot);
    if (text.empty()) return 0;
    return _wtoi(text.c_str());
}

}  // namespace

int GetVdmMajorVersion() noexcept {
    const int cached = g_vdmMajorVersion.load();
    if (cached >= 0) return cached;
    const int version = ReadVdmMajorVersion();
    g_vdmMajorVersion.store(version);
    return version;
}

}  // namespace sessionctrl::vmware
