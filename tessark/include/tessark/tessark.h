// Stand-in for the sibling library tessark: which virtual-desktop products are
// installed, and where a module lives.
//
// "Installed" is read from HKEY_LOCAL_MACHINE (64-bit view)
//   "SOFTWARE\Corvane Systems K.K.\Tessark\InstalledProducts"
// REG_DWORD values "XenApp", "XenDesktop", "XenDesktop7", "VMwareHorizon":
// nonzero means installed; a missing key or value, or another type, means not.
#pragma once

#if defined(_WIN32)
#if defined(TESSARK_BUILDING_DLL)
#define TESSARK_API __declspec(dllexport)
#else
#define TESSARK_API __declspec(dllimport)
#endif
#else
#define TESSARK_API __attribute__((visibility("default")))
#endif

#include <string>

struct HINSTANCE__;

namespace tessark {

// Registry location of the product switches, for tests and set-up scripts.
inline constexpr const wchar_t* kInstalledProductsKey =
    L"SOFTWARE\\Corvane Systems K.K.\\Tessark\\InstalledProducts";

class TESSARK_API ThirdPartyCredentialProvider {
public:
    static bool XenAppInstalled();
    static bool XenDesktopInstalled();
    static bool XenDesktop7Installed();
    static bool VMwareHorizonInstalled();
};

class TESSARK_API ModuleInfoCtrl {
public:
    // The directory of `module`'s file, ending in a backslash.
    static bool GetDirectory(HINSTANCE__* module, std::wstring& directory);
};

}  // namespace tessark
