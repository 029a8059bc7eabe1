// Not linked to HalcyonSessionCtrl.dll: loads it, asks IsLocalSession through the member's
// exported name and unloads it, twice; the DLL and its import tessark.dll must really go.
// With an argument it only sleeps: the VMware test runs it as a stand-in server process.
#include <windows.h>

#include <cstdio>

// The member's exported name in the C++ ABI the host is built for.
#if defined(_MSC_VER)
#define IS_LOCAL_SESSION_EXPORT "?IsLocalSession@SessionCtrl@sessionctrl@@SA_NXZ"
#else
#define IS_LOCAL_SESSION_EXPORT "_ZN11sessionctrl11SessionCtrl14IsLocalSessionEv"
#endif

int main(int argc, char**) {
    if (argc > 1) {
        Sleep(60000);
        return 0;
    }
    for (int round = 1; round <= 2; ++round) {
        const HMODULE module = LoadLibraryW(L"HalcyonSessionCtrl.dll");
        if (module == nullptr) return 1;
        const auto isLocalSession = reinterpret_cast<bool (*)()>(reinterpret_cast<void*>(
            GetProcAddress(module, IS_LOCAL_SESSION_EXPORT)));
        const bool local = isLocalSession != nullptr && isLocalSession();
        const bool freed = FreeLibrary(module) &&
                           GetModuleHandleW(L"HalcyonSessionCtrl.dll") == nullptr &&
                           GetModuleHandleW(L"tessark.dll") == nullptr;
        std::printf("load %d: local=%d unloaded=%d\n", round, local, freed);
    }
    return 0;
}
