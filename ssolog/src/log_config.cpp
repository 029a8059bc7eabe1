// The logger's configuration refresh from HKLM "...\SSOLog".
#include "log_config.h"

#include "debug_log.h"
#include "log_limits.h"
#include "log_redirection.h"

#include <platform/win32_raii.h>

#include <atomic>
#include <vector>

namespace ssolog {

namespace {

enum class Wow64Answer : unsigned char { Unknown, Yes, No };
// Process-wide and never reset; no lock: concurrent first uses compute the same answer.
std::atomic<Wow64Answer> g_wow64{Wow64Answer::Unknown};

bool IsWow64() {
    if (g_wow64.load(std::memory_order_relaxed) == Wow64Answer::Unknown) {
        using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
        const auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process")));
        BOOL wow64 = FALSE;
        const bool yes = isWow64Process != nullptr &&
                         isWow64Process(GetCurrentProcess(), &wow64) && wow64 != FALSE;
        g_wow64.store(yes ? Wow64Answer::Yes : Wow64Answer::No, std::memory_order_relaxed);
    }
    return g_wow64.load(std::memory_order_relaxed) == Wow64Answer::Yes;
}

// The root of the system drive ("C:\"), or empty when the system directory is unusable.
std::wstring SystemDriveRoot() {
    WCHAR systemDirectory[MAX_PATH + 1] = {};
    if (GetSystemDirectoryW(systemDirectory, MAX_PATH) < 2) return std::wstring();
    const std::wstring text(systemDirectory);
    const size_t backslash = text.find(L'\\');
    if (backslash == std::wstring::npos) return std::wstring();
    return text.substr(0, backslash + 1);
}

}  // namespace

REGSAM ConfigAccess() { return KEY_READ | (IsWow64() ? KEY_WOW64_64KEY : 0); }

bool ReadNonzeroDword(HKEY key, const wchar_t* name, DWORD& value) {
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
        return false;
    }
    DWORD number = 0;
    size = sizeof(number);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&number), &size) !=
            ERROR_SUCCESS ||
        number == 0) {
        return false;
    }
    value = number;
    return true;
}

std::wstring ConfiguredBaseDirectory(HKEY key) {
    std::wstring base;
    try {
        if (ReadLogDirectory(key, base) && !base.empty()) return base;
    } catch (...) {
        // Falls back to the system drive like a missing value.
    }
    return SystemDriveRoot();
}

std::wstring LogDirectoryIn(std::wstring base) {
    if (base.empty() || base.back() != L'\\') base += L'\\';
    return base + L"DebugSSO";
}

bool ReadLogDirectory(HKEY key, std::wstring& directoryText) {
    directoryText.clear();
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExW(key, L"OutputLogDir", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return false;
    }
    if (size == 0) return true;
    // At least one zero character more than the stored bytes, so that a value stored
    // without its terminator still ends.
    std::vector<WCHAR> buffer(size / sizeof(WCHAR) + 2, L'\0');
    if (RegQueryValueExW(key, L"OutputLogDir", nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS) {
        return false;
    }
    directoryText.assign(buffer.data());
    return true;
}

void DebugLog::RefreshConfig() {
    platform::CriticalSectionGuard guard(lock);
    const __time64_t now = _time64(nullptr);
    const bool due = now >= lastConfigRead + kRefreshWhileOnSeconds ||
                     (!enabled && now >= lastConfigRead + kRefreshWhileOffSeconds);
    if (!due) return;

    lastConfigRead = now;
    maxFileSize = kDefaultMaxFileSize;
    enabled = false;
    directory.clear();

    platform::UniqueKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLogConfigKey, 0, ConfigAccess(), key.Receive()) !=
        ERROR_SUCCESS) {
        return;
    }
    DWORD outputLog = 0;
    enabled = ReadNonzeroDword(key.Get(), L"OutputLog", outputLog);
    if (!enabled) return;

    try {
        const std::wstring base = ConfiguredBaseDirectory(key.Get());
        // An unusable system directory ends the refresh: the path becomes "\<file>".
        if (base.empty()) return;
        directory = LogDirectoryIn(base);
    } catch (...) {
        return;
    }

    // A folder that leads elsewhere is refused like one that cannot be made: nothing is
    // written until a later refresh finds the folder itself.
    if ((!PathIsDirectoryW(directory.c_str()) &&
         SHCreateDirectoryExW(nullptr, directory.c_str(), nullptr) != ERROR_SUCCESS) ||
        !IsOwnFolder(directory)) {
        enabled = false;
        return;
    }
    DWORD sizeLimit = 0;
    if (ReadNonzeroDword(key.Get(), L"OutputLogSize", sizeLimit)) maxFileSize = sizeLimit;
}

}  // namespace ssolog
