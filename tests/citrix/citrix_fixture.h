// A simulated Citrix machine with the library attached: the fake wfapi.dll installed
// where "SOFTWARE\Citrix\PortICA\Install" "Location" points, and checks that nothing
// handed out by wfapi.dll is left behind.
#pragma once

#include "fake_wfapi.h"

#include <test_support/library_fixture.h>
#include <xendesktop_ctrl.h>

#include <memory>
#include <string>
#include <vector>

namespace citrix_test {

inline constexpr const wchar_t* kCitrixKey = L"SOFTWARE\\Citrix\\PortICA\\Install";
inline constexpr const wchar_t* kCitrixDirectory = L"C:\\Program Files\\Citrix\\ICA Client";
inline constexpr const wchar_t* kWfapiPath =
    L"C:\\Program Files\\Citrix\\ICA Client\\wfapi.dll";
using test_support::InstallProduct;
using test_support::kLibraryDirectory;
using test_support::RowName;
using test_support::SwitchTracingOff;

class CitrixFixture : public test_support::LibraryFixture {
protected:
    void SetUp() override;
    void TearDown() override;
    // Registered where the library's own directory is asked for.
    HMODULE LibraryModule() override;

    // The fake wfapi.dll at `path`, optionally lacking one export; replaces an earlier one.
    HMODULE InstallWfapi(const std::wstring& path, const std::string& missingExport = "");
    static void SetLocation(const std::wstring& directory);
    // How often `function` was called after the last call of `marker`.
    static unsigned CallsAfter(const std::string& marker, const std::string& function);

    HMODULE wfapi_ = nullptr;
};

// A XenDesktopCtrl on that machine, not yet initialised.
class XenDesktopFixture : public CitrixFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // Initialises the backend, then forgets its traces and its calls into wfapi.dll.
    void Initialize();

    std::unique_ptr<sessionctrl::XenDesktopCtrl> ctrl_;
};

}  // namespace citrix_test
