// A simulated Citrix machine with the library attached: the fake wfapi.dll installed
// where "SOFTWARE\Citrix\PortICA\Install" "Location" points, tracing into session.log,
// and checks that nothing handed out by Windows or by wfapi.dll is left behind.
#pragma once

#include "fake_wfapi.h"

#include <platform/win32.h>
#include <winsim/machine.h>
#include <xendesktop_ctrl.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace citrix_test {

inline constexpr const wchar_t* kCitrixKey = L"SOFTWARE\\Citrix\\PortICA\\Install";
inline constexpr const wchar_t* kCitrixDirectory = L"C:\\Program Files\\Citrix\\ICA Client";
inline constexpr const wchar_t* kWfapiPath =
    L"C:\\Program Files\\Citrix\\ICA Client\\wfapi.dll";
// Where the library's own module lives in these tests.
inline constexpr const wchar_t* kLibraryDirectory = L"C:\\Program Files\\Corvane Keywarden\\";

// Names a parameterised test after its case's `name`.
template <class Case>
std::string CaseName(const testing::TestParamInfo<Case>& testCase) {
    return testCase.param.name;
}

class CitrixFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The fake wfapi.dll at `path`, optionally lacking one export; replaces an earlier one.
    HMODULE InstallWfapi(const std::wstring& path, const std::string& missingExport = "");
    static void SetLocation(const std::wstring& directory);
    static void InstallProduct(const wchar_t* product);  // tessark's switch, DWORD 1
    static void SwitchTracingOff();
    // How often `function` was called after the last call of `marker`.
    static unsigned CallsAfter(const std::string& marker, const std::string& function);

    // The text part ("text, detail") of every line of session.log written since the
    // last ForgetLog.
    std::vector<std::string> LoggedTexts() const;
    bool Logged(const std::string& text) const;
    std::size_t CountLogged(const std::string& text) const;
    void ForgetLog();

    HMODULE wfapi_ = nullptr;

private:
    std::string fileRoot_;
    HMODULE library_ = nullptr;
    std::size_t forgottenLines_ = 0;
    winsim::Outstanding baseline_;
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
