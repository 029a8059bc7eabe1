#include "citrix_fixture.h"

#include <algorithm>

namespace citrix_test {

void CitrixFixture::SetUp() {
    LibraryFixture::SetUp();
    fake_wfapi::Reset();
    wfapi_ = InstallWfapi(kWfapiPath);
    SetLocation(kCitrixDirectory);
}

void CitrixFixture::TearDown() {
    EXPECT_EQ(fake_wfapi::OutstandingBlocks(), 0) << "wfapi.dll blocks not given back";
    EXPECT_TRUE(fake_wfapi::Misuses().empty()) << testing::PrintToString(fake_wfapi::Misuses());
    LibraryFixture::TearDown();
}

HMODULE CitrixFixture::LibraryModule() {
    return winsim::RegisterModule(std::wstring(kLibraryDirectory) + L"HalcyonSessionCtrl.dll",
                                  winsim::Exports{});
}

HMODULE CitrixFixture::InstallWfapi(const std::wstring& path, const std::string& missingExport) {
    winsim::UnregisterModule(path);
    return winsim::RegisterModule(path, fake_wfapi::Exports(missingExport));
}

void CitrixFixture::SetLocation(const std::wstring& directory) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kCitrixKey, L"Location", directory);
}

unsigned CitrixFixture::CallsAfter(const std::string& marker, const std::string& function) {
    const auto log = winsim::CallLog();
    const auto last = std::find(log.rbegin(), log.rend(), marker);
    return static_cast<unsigned>(std::count(log.rbegin(), last, function));
}

void XenDesktopFixture::SetUp() {
    CitrixFixture::SetUp();
    ctrl_ = std::make_unique<sessionctrl::XenDesktopCtrl>();
}

void XenDesktopFixture::TearDown() {
    ctrl_.reset();
    CitrixFixture::TearDown();
}

void XenDesktopFixture::Initialize() {
    ASSERT_TRUE(ctrl_->Initialize());
    ForgetLog();
    fake_wfapi::ForgetCalls();
}

}  // namespace citrix_test
