// The registry: case-insensitive keys and values, two views of HKEY_LOCAL_MACHINE,
// HKEY_CURRENT_USER bound per process, RegOpenCurrentUser per thread, counted key handles.
#include "machine_state.h"

using namespace winsim;
using namespace winsim::detail;

namespace {

std::vector<std::wstring> Components(const wchar_t* path) {
    std::vector<std::wstring> parts;
    if (path == nullptr) return parts;
    std::wstring current;
    for (const wchar_t* p = path;; ++p) {
        if (*p == L'\\' || *p == L'\0') {
            if (!current.empty()) parts.push_back(Upper(current));
            current.clear();
            if (*p == L'\0') break;
        } else {
            current += *p;
        }
    }
    return parts;
}

// The hive of `user` under HKEY_USERS, by SID; loaded on demand, an unknown user gets
// one by name.
OpenKey UserHive(const std::wstring& user) {
    const std::wstring sid = SidOfLocked(user);
    OpenKey hive{Hive::Users, {Upper(sid.empty() ? user : sid)}};
    auto& node = State().hives[static_cast<int>(Hive::Users)].subkeys[hive.path[0]];
    if (!node) node = std::make_unique<RegNode>();
    return hive;
}

// Where a predefined key or an open handle points; nullopt for an unknown handle. As on
// Windows, the predefined HKEY_CURRENT_USER is bound for the whole process to the user of
// the thread that first uses it, impersonated or not, and stays bound.
std::optional<OpenKey> Base(HKEY key, RegView machineView) {
    if (key == HKEY_LOCAL_MACHINE) {
        return OpenKey{machineView == RegView::Wow32 ? Hive::MachineWow32 : Hive::MachineNative, {}};
    }
    if (key == HKEY_USERS) return OpenKey{Hive::Users, {}};
    if (key == HKEY_CLASSES_ROOT) return OpenKey{Hive::ClassesRoot, {}};
    if (key == HKEY_CURRENT_USER) {
        auto& bound = State().currentUserHive;
        if (!bound) bound = UserHive(EffectiveUserLocked());
        return bound;
    }
    auto it = State().keys.find(key);
    if (it == State().keys.end()) return std::nullopt;
    return it->second;
}

// The view a process sees for `access`: WOW64 processes see Wow32 unless asked otherwise.
RegView ViewFor(REGSAM access) {
    if (!State().wow64) return RegView::Native;
    return (access & KEY_WOW64_64KEY) != 0 ? RegView::Native : RegView::Wow32;
}

RegNode* Find(const OpenKey& key) {
    RegNode* node = &State().hives[static_cast<int>(key.hive)];
    for (const auto& part : key.path) {
        auto it = node->subkeys.find(part);
        if (it == node->subkeys.end()) return nullptr;
        node = it->second.get();
    }
    return node;
}

RegNode* FindOrCreate(const OpenKey& key, bool* created) {
    RegNode* node = &State().hives[static_cast<int>(key.hive)];
    for (const auto& part : key.path) {
        auto& child = node->subkeys[part];
        if (!child) {
            child = std::make_unique<RegNode>();
            if (created != nullptr) *created = true;
        }
        node = child.get();
    }
    return node;
}

OpenKey Below(OpenKey base, const wchar_t* subKey) {
    for (auto& part : Components(subKey)) base.path.push_back(std::move(part));
    return base;
}

// Scripting: HKEY_CURRENT_USER is the calling thread's user and binds nothing.
OpenKey MachineKey(HKEY root, const std::wstring& key, RegView view) {
    return Below(root == HKEY_CURRENT_USER ? UserHive(EffectiveUserLocked()) : *Base(root, view),
                 key.c_str());
}

HKEY NewKeyHandle(const OpenKey& key) {
    auto handle = static_cast<HKEY>(NewHandleValue());
    State().keys[handle] = key;
    return handle;
}

std::wstring ValueName(const wchar_t* name) { return Upper(name != nullptr ? name : L""); }

}  // namespace

namespace winsim {

void SetValue(HKEY root, const std::wstring& key, const std::wstring& name, const RegValue& value,
              RegView view) {
    Guard guard = Lock();
    FindOrCreate(MachineKey(root, key, view), nullptr)->values[Upper(name)] = value;
}

void SetString(HKEY root, const std::wstring& key, const std::wstring& name,
               const std::wstring& text, DWORD type, RegView view) {
    RegValue value{type, {}};
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    value.data.assign(bytes, bytes + (text.size() + 1) * sizeof(WCHAR));
    SetValue(root, key, name, value, view);
}

void SetDword(HKEY root, const std::wstring& key, const std::wstring& name, DWORD number,
              RegView view) {
    RegValue value{REG_DWORD, {}};
    const auto* bytes = reinterpret_cast<const BYTE*>(&number);
    value.data.assign(bytes, bytes + sizeof number);
    SetValue(root, key, name, value, view);
}

void CreateKey(HKEY root, const std::wstring& key, RegView view) {
    Guard guard = Lock();
    FindOrCreate(MachineKey(root, key, view), nullptr);
}

void DeleteKey(HKEY root, const std::wstring& key, RegView view) {
    Guard guard = Lock();
    OpenKey target = MachineKey(root, key, view);
    if (target.path.empty()) return;  // a hive itself cannot go
    const std::wstring last = target.path.back();
    target.path.pop_back();
    if (RegNode* parent = Find(target)) parent->subkeys.erase(last);
}

void DeleteValue(HKEY root, const std::wstring& key, const std::wstring& name, RegView view) {
    Guard guard = Lock();
    if (RegNode* node = Find(MachineKey(root, key, view))) node->values.erase(Upper(name));
}

std::optional<RegValue> GetValue(HKEY root, const std::wstring& key, const std::wstring& name,
                                 RegView view) {
    Guard guard = Lock();
    RegNode* node = Find(MachineKey(root, key, view));
    if (node == nullptr) return std::nullopt;
    auto it = node->values.find(Upper(name));
    if (it == node->values.end()) return std::nullopt;
    return it->second;
}

}  // namespace winsim

extern "C" LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM access, PHKEY result) {
    if (auto fault = Enter("RegOpenKeyExW")) return static_cast<LSTATUS>(*fault);
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Guard guard = Lock();
    State().keyOpens.push_back(winsim::KeyOpen{subKey != nullptr ? subKey : L"", access});
    auto base = Base(key, ViewFor(access));
    if (!base) return ERROR_INVALID_HANDLE;
    const OpenKey target = Below(*base, subKey);
    if (Find(target) == nullptr) return ERROR_FILE_NOT_FOUND;
    *result = NewKeyHandle(target);
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegOpenCurrentUser(REGSAM, PHKEY result) {
    if (auto fault = Enter("RegOpenCurrentUser")) return static_cast<LSTATUS>(*fault);
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    Guard guard = Lock();
    *result = NewKeyHandle(UserHive(EffectiveUserLocked()));
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM access,
                                   LPSECURITY_ATTRIBUTES, PHKEY result, LPDWORD disposition) {
    if (auto fault = Enter("RegCreateKeyExW")) return static_cast<LSTATUS>(*fault);
    if (result == nullptr) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Guard guard = Lock();
    auto base = Base(key, ViewFor(access));
    if (!base) return ERROR_INVALID_HANDLE;
    if (Find(*base) == nullptr) return ERROR_KEY_DELETED;
    const OpenKey target = Below(*base, subKey);
    bool created = false;
    FindOrCreate(target, &created);
    if (disposition != nullptr) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = NewKeyHandle(target);
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type,
                                    LPBYTE data, LPDWORD dataSize) {
    if (auto fault = Enter("RegQueryValueExW")) return static_cast<LSTATUS>(*fault);
    if (reserved != nullptr || (data != nullptr && dataSize == nullptr)) {
        return ERROR_INVALID_PARAMETER;
    }
    Guard guard = Lock();
    auto base = Base(key, ViewFor(0));
    if (!base) return ERROR_INVALID_HANDLE;
    RegNode* node = Find(*base);
    if (node == nullptr) return ERROR_KEY_DELETED;
    auto it = node->values.find(ValueName(valueName));
    if (it == node->values.end()) return ERROR_FILE_NOT_FOUND;
    const RegValue& value = it->second;
    const auto size = static_cast<DWORD>(value.data.size());
    if (type != nullptr) *type = value.type;
    if (dataSize == nullptr) return ERROR_SUCCESS;  // only asked whether it exists
    if (data == nullptr) {
        *dataSize = size;
        return ERROR_SUCCESS;
    }
    if (*dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    std::copy(value.data.begin(), value.data.end(), data);
    *dataSize = size;
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data,
                                  DWORD dataSize) {
    if (auto fault = Enter("RegSetValueExW")) return static_cast<LSTATUS>(*fault);
    if (data == nullptr && dataSize != 0) return ERROR_INVALID_PARAMETER;
    Guard guard = Lock();
    auto base = Base(key, ViewFor(0));
    if (!base) return ERROR_INVALID_HANDLE;
    RegNode* node = Find(*base);
    if (node == nullptr) return ERROR_KEY_DELETED;
    RegValue& value = node->values[ValueName(valueName)];
    value.type = type;
    value.data.assign(data, data + dataSize);
    return ERROR_SUCCESS;
}

extern "C" LSTATUS RegDeleteValueW(HKEY key, LPCWSTR valueName) {
    if (auto fault = Enter("RegDeleteValueW")) return static_cast<LSTATUS>(*fault);
    Guard guard = Lock();
    auto base = Base(key, ViewFor(0));
    if (!base) return ERROR_INVALID_HANDLE;
    RegNode* node = Find(*base);
    if (node == nullptr) return ERROR_KEY_DELETED;
    return node->values.erase(ValueName(valueName)) != 0 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

extern "C" LSTATUS RegCloseKey(HKEY key) {
    if (auto fault = Enter("RegCloseKey")) return static_cast<LSTATUS>(*fault);
    if (key == HKEY_LOCAL_MACHINE || key == HKEY_CURRENT_USER || key == HKEY_USERS ||
        key == HKEY_CLASSES_ROOT) {
        return ERROR_SUCCESS;  // predefined keys may be "closed"; nothing happens
    }
    Guard guard = Lock();
    if (State().keys.erase(key) == 0) {
        RecordMisuse("RegCloseKey of a key that is not open");
        return ERROR_INVALID_HANDLE;
    }
    return ERROR_SUCCESS;
}
