// What the machine is: the installed virtual-desktop product (asked of tessark, kept
// for 30 seconds) and whether this 32-bit code runs under WOW64 (asked once).
#include "environment.h"

#include <platform/win32_raii.h>
#include <tessark/tessark.h>

namespace sessionctrl {

namespace {

enum Wow64Answer : BYTE { kNotWow64 = 0, kWow64 = 1, kNotAsked = 2 };

constexpr __time64_t kProductCacheSeconds = 30;

CRITICAL_SECTION g_environmentLock;
CRITICAL_SECTION g_backendCreationLock;

// Guarded by the environment lock. The cache starts empty, so the first call always
// asks, whatever the clock says.
VdiProduct g_cachedProduct = NotDetected;
__time64_t g_lastDetection = 0;
Wow64Answer g_wow64 = kNotAsked;

HINSTANCE g_moduleInstance = nullptr;

// The first installed product in the order that decides between overlapping installs:
// XenApp wins over everything, XenDesktop over XenDesktop 7.
VdiProduct AskTessark() {
    using Provider = tessark::ThirdPartyCredentialProvider;
    if (Provider::XenAppInstalled()) return XenApp;
    if (Provider::XenDesktopInstalled()) return XenDesktop;
    if (Provider::XenDesktop7Installed()) return XenDesktop7;
    if (Provider::VMwareHorizonInstalled()) return VMwareHorizon;
    return None;
}

using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);

// Systems before XP SP2 lack the export; they are never WOW64 hosts we care about.
bool ProbeWow64() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel == nullptr) return false;
    FARPROC address = GetProcAddress(kernel, "IsWow64Process");
    if (address == nullptr) return false;
    auto isWow64Process =
        reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void (*)()>(address));
    BOOL wow64 = FALSE;
    return isWow64Process(GetCurrentProcess(), &wow64) != FALSE && wow64 != FALSE;
}

}  // namespace

void InitializeEnvironmentLock() {
    InitializeCriticalSection(&g_environmentLock);
    InitializeCriticalSection(&g_backendCreationLock);
}

void DeleteEnvironmentLock() {
    DeleteCriticalSection(&g_backendCreationLock);
    DeleteCriticalSection(&g_environmentLock);
}

CRITICAL_SECTION& EnvironmentLock() { return g_environmentLock; }

CRITICAL_SECTION& BackendCreationLock() { return g_backendCreationLock; }

VdiProduct DetectVdiProduct() {
    platform::CriticalSectionGuard guard(g_environmentLock);
    const __time64_t now = _time64(nullptr);
    // Signed: a clock set back keeps the cached answer until it passes the old mark.
    if (g_cachedProduct != NotDetected && now < g_lastDetection + kProductCacheSeconds)
        return g_cachedProduct;
    g_lastDetection = now;
    g_cachedProduct = AskTessark();
    return g_cachedProduct;
}

bool IsRunningUnderWow64() {
    platform::CriticalSectionGuard guard(g_environmentLock);
    if (g_wow64 == kNotAsked) {
        // Stored before probing: a missing or failing probe means "not WOW64" for good.
        g_wow64 = kNotWow64;
        if (ProbeWow64()) g_wow64 = kWow64;
    }
    return g_wow64 == kWow64;
}

REGSAM BackendRegistryAccess() {
    return KEY_READ | (IsRunningUnderWow64() ? KEY_WOW64_64KEY : 0);
}

HINSTANCE ModuleInstance() { return g_moduleInstance; }

void SetModuleInstance(HINSTANCE instance) { g_moduleInstance = instance; }

}  // namespace sessionctrl
