// Registry key paths as people write them: "HKEY_LOCAL_MACHINE\SOFTWARE\..." or the
// short root names (HKLM, HKCU, HKU, HKCR). A key below "SOFTWARE\Wow6432Node" is
// what a 32-bit process sees of "SOFTWARE" on 64-bit Windows, so it is kept apart as
// the 32-bit view.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sessionctl {

enum class RegRoot { LocalMachine, CurrentUser, Users, ClassesRoot };

struct RegistryPath {
    RegRoot root = RegRoot::LocalMachine;
    bool view32 = false;  // the key lay under SOFTWARE\Wow6432Node
    std::wstring key;     // below the root, without leading or trailing backslash
};

// nullopt when the root is not one of the four above.
std::optional<RegistryPath> ParseRegistryPath(const std::wstring& path);

const wchar_t* RootName(RegRoot root);

// Registry value types by the names regedit and reg.exe use ("REG_SZ", ...).
std::optional<uint32_t> RegTypeFromName(const std::wstring& name);
// And back: "REG_DWORD", or "type N" for a number without a name.
std::string RegTypeName(uint32_t type);

}  // namespace sessionctl
