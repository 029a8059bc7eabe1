// The stand-in tessark: product switches in the 64-bit registry view, and a module's
// directory with its final backslash.
#include <test_support/library_fixture.h>

#include <tessark/tessark.h>

namespace sessionctrl_test {
namespace {

using namespace test_support;

using Provider = tessark::ThirdPartyCredentialProvider;

class TessarkProductTest : public LibraryFixture {};

TEST_F(TessarkProductTest, OnlyANonzeroDwordCountsAsInstalled) {
    EXPECT_FALSE(Provider::XenAppInstalled());  // no key at all
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, L"XenApp", 0);
    winsim::SetString(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, L"XenDesktop", L"1");
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, L"XenDesktop7", 7);
    EXPECT_FALSE(Provider::XenAppInstalled());
    EXPECT_FALSE(Provider::XenDesktopInstalled());
    EXPECT_TRUE(Provider::XenDesktop7Installed());
    EXPECT_FALSE(Provider::VMwareHorizonInstalled());
}

TEST_F(TessarkProductTest, ThirtyTwoBitProcessReadsTheSixtyFourBitView) {
    winsim::SetWow64(true);
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, L"VMwareHorizon", 1,
                     winsim::RegView::Wow32);
    EXPECT_FALSE(Provider::VMwareHorizonInstalled());
    InstallProduct(L"VMwareHorizon");
    EXPECT_TRUE(Provider::VMwareHorizonInstalled());
}

class TessarkDirectoryTest : public LibraryFixture {};

TEST_F(TessarkDirectoryTest, DirectoryKeepsItsFinalBackslashAndIsReadWholePastMaxPath) {
    for (const std::wstring& path :
         {std::wstring(L"C:\\Program Files\\Corvane\\bin\\"),
          L"C:\\" + std::wstring(300, L'd') + L"\\"}) {
        HMODULE module = winsim::RegisterModule(path + L"x.dll", {});
        std::wstring directory;
        ASSERT_TRUE(tessark::ModuleInfoCtrl::GetDirectory(module, directory));
        EXPECT_EQ(directory, path);
    }
}

TEST_F(TessarkDirectoryTest, UnknownModuleLeavesTheTextAlone) {
    winsim::FailCall("GetModuleFileNameW", ERROR_MOD_NOT_FOUND);
    std::wstring directory = L"kept";
    EXPECT_FALSE(tessark::ModuleInfoCtrl::GetDirectory(nullptr, directory));
    EXPECT_EQ(directory, L"kept");
}

}  // namespace
}  // namespace sessionctrl_test
