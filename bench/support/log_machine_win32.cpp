// The log machine on Windows (and Wine): the real registry of the machine, a log
// directory under the user's temporary directory.
#include "log_machine.h"

#include <platform/win32.h>
#include <platform/win32_raii.h>

namespace bench {
namespace {

constexpr const wchar_t* kLogKey = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, std::size_t bytes) {
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(bytes));
}

}  // namespace

void ResetMachine() {}

std::wstring LogBaseDirectory() {
    WCHAR temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    std::wstring base(temp, length);
    if (!base.empty() && base.back() == L'\\') base.pop_back();
    return base + L"\\HalcyonBench";
}

void WriteLogConfiguration(bool loggingOn, const std::wstring& baseDirectory) {
    platform::UniqueKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kLogKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | KEY_WOW64_64KEY, nullptr, key.Receive(),
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD on = loggingOn ? 1 : 0;
    SetValue(key.Get(), L"OutputLog", REG_DWORD, &on, sizeof on);
    SetValue(key.Get(), L"OutputLogDir", REG_SZ, baseDirectory.c_str(),
             (baseDirectory.size() + 1) * sizeof(WCHAR));
}

}  // namespace bench
