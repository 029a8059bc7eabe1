#include "registry_path.h"

#include "text.h"

#include <utility>

namespace sessionctl {
namespace {

const std::pair<const wchar_t*, uint32_t> kTypes[] = {
    {L"REG_NONE", 0},   {L"REG_SZ", 1},        {L"REG_EXPAND_SZ", 2},
    {L"REG_BINARY", 3}, {L"REG_DWORD", 4},     {L"REG_DWORD_BIG_ENDIAN", 5},
    {L"REG_LINK", 6},   {L"REG_MULTI_SZ", 7},  {L"REG_QWORD", 11},
};

struct RootAlias {
    const wchar_t* name;
    RegRoot root;
};

constexpr RootAlias kRoots[] = {
    {L"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine}, {L"HKLM", RegRoot::LocalMachine},
    {L"HKEY_CURRENT_USER", RegRoot::CurrentUser},   {L"HKCU", RegRoot::CurrentUser},
    {L"HKEY_USERS", RegRoot::Users},                {L"HKU", RegRoot::Users},
    {L"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},   {L"HKCR", RegRoot::ClassesRoot},
};

std::wstring Trimmed(const std::wstring& key) {
    size_t first = key.find_first_not_of(L'\\');
    if (first == std::wstring::npos) {
        return L"";
    }
    size_t last = key.find_last_not_of(L'\\');
    return key.substr(first, last - first + 1);
}

}  // namespace

std::optional<RegistryPath> ParseRegistryPath(const std::wstring& path) {
    size_t slash = path.find(L'\\');
    std::wstring rootName = path.substr(0, slash);
    for (const RootAlias& alias : kRoots) {
        if (!EqualsIgnoreCase(rootName, alias.name)) {
            continue;
        }
        RegistryPath result;
        result.root = alias.root;
        result.key = slash == std::wstring::npos ? L"" : Trimmed(path.substr(slash + 1));
        static const std::wstring kWowPrefix = L"SOFTWARE\\WOW6432NODE";
        std::wstring upper = ToUpperAscii(result.key);
        if (result.root == RegRoot::LocalMachine && upper.compare(0, kWowPrefix.size(), kWowPrefix) == 0 &&
            (upper.size() == kWowPrefix.size() || upper[kWowPrefix.size()] == L'\\')) {
            result.view32 = true;
            result.key = L"SOFTWARE" + result.key.substr(kWowPrefix.size());
        }
        return result;
    }
    return std::nullopt;
}

const wchar_t* RootName(RegRoot root) {
    switch (root) {
    case RegRoot::LocalMachine: return L"HKEY_LOCAL_MACHINE";
    case RegRoot::CurrentUser: return L"HKEY_CURRENT_USER";
    case RegRoot::Users: return L"HKEY_USERS";
    case RegRoot::ClassesRoot: return L"HKEY_CLASSES_ROOT";
    }
    return L"?";
}

std::string RegTypeName(uint32_t type) {
    for (const auto& known : kTypes) {
        if (known.second == type) return ToUtf8(known.first);
    }
    return "type " + std::to_string(type);
}

std::optional<uint32_t> RegTypeFromName(const std::wstring& name) {
    for (const auto& type : kTypes) {
        if (EqualsIgnoreCase(name, type.first)) {
            return type.second;
        }
    }
    return std::nullopt;
}

}  // namespace sessionctl
