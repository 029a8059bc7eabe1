// Loads HalcyonSessionCtrl.dll at run time, calls two exports by their member names,
// unloads it, twice over: the module and its import tessark.dll must really go away.
#include <windows.h>

#include "wine_check.h"

namespace {

const wchar_t kModule[] = L"HalcyonSessionCtrl.dll";
// sessionctrl::SessionCtrl::IsLocalSession() and GetCurrentSessionID().
const char kIsLocalSession[] = "_ZN11sessionctrl11SessionCtrl14IsLocalSessionEv";
const char kGetCurrentSessionID[] = "_ZN11sessionctrl11SessionCtrl19GetCurrentSessionIDEv";

using IsLocalSessionFn = bool (*)();
using GetCurrentSessionIDFn = unsigned long (*)();

template <typename Fn>
Fn Export(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

void LoadCallUnload() {
    HMODULE module = LoadLibraryW(kModule);
    if (!WINE_CHECK(module != nullptr)) {
        return;
    }
    WINE_CHECK(GetModuleHandleW(L"tessark.dll") != nullptr);

    // A plain function named after an export must not exist; the members must.
    WINE_CHECK(GetProcAddress(module, "IsLocalSession") == nullptr);
    auto isLocalSession = Export<IsLocalSessionFn>(module, kIsLocalSession);
    auto currentSession = Export<GetCurrentSessionIDFn>(module, kGetCurrentSessionID);
    if (WINE_CHECK(isLocalSession != nullptr) && WINE_CHECK(currentSession != nullptr)) {
        WINE_CHECK(isLocalSession());
        DWORD windowsSession = 0xFFFFFFFF;
        ProcessIdToSessionId(GetCurrentProcessId(), &windowsSession);
        WINE_CHECK(currentSession() == windowsSession);
    }

    WINE_CHECK(FreeLibrary(module));
    WINE_CHECK(GetModuleHandleW(kModule) == nullptr);
    WINE_CHECK(GetModuleHandleW(L"tessark.dll") == nullptr);
}

}  // namespace

int main() {
    WINE_CHECK(GetModuleHandleW(kModule) == nullptr);
    LoadCallUnload();
    LoadCallUnload();
    return winecheck::ExitCode();
}
