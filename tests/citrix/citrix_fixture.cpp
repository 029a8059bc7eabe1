#include "citrix_fixture.h"

#include <dll_main.h>
#include <tessark/tessark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace citrix_test {
namespace {

constexpr const wchar_t* kLogKey = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";
constexpr const wchar_t* kLogFile = L"C:\\citrixlogs\\DebugSSO\\session.log";

// "2026/12/04T09:05:03.042, SID:000001, PID:004711, TID:005120, text, detail"
std::string TextPart(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t tid = line.find(", TID:");
    if (tid == std::string::npos) return line;
    const std::size_t text = line.find(", ", tid + 1);
    return text == std::string::npos ? line : line.substr(text + 2);
}

}  // namespace

void CitrixFixture::SetUp() {
    char pattern[] = "/tmp/citrix-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    fileRoot_ = pattern;
    winsim::Reset();
    winsim::SetFileRoot(fileRoot_);
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 1);
    winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", L"C:\\citrixlogs");
    fake_wfapi::Reset();
    wfapi_ = InstallWfapi(kWfapiPath);
    SetLocation(kCitrixDirectory);
    library_ = winsim::RegisterModule(
        std::wstring(kLibraryDirectory) + L"HalcyonSessionCtrl.dll", winsim::Exports{});
    ASSERT_TRUE(DllMain(library_, DLL_PROCESS_ATTACH, nullptr));
    baseline_ = winsim::CountOutstanding();
}

void CitrixFixture::TearDown() {
    EXPECT_EQ(winsim::CountOutstanding(), baseline_)
        << "now: " << winsim::CountOutstanding().Describe()
        << "\nat start: " << baseline_.Describe();
    EXPECT_TRUE(winsim::Misuses().empty()) << testing::PrintToString(winsim::Misuses());
    EXPECT_EQ(fake_wfapi::OutstandingBlocks(), 0) << "wfapi.dll blocks not given back";
    EXPECT_TRUE(fake_wfapi::Misuses().empty()) << testing::PrintToString(fake_wfapi::Misuses());
    DllMain(library_, DLL_PROCESS_DETACH, nullptr);
    std::filesystem::remove_all(fileRoot_);
}

HMODULE CitrixFixture::InstallWfapi(const std::wstring& path, const std::string& missingExport) {
    winsim::UnregisterModule(path);
    return winsim::RegisterModule(path, fake_wfapi::Exports(missingExport));
}

void CitrixFixture::SetLocation(const std::wstring& directory) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kCitrixKey, L"Location", directory);
}

void CitrixFixture::InstallProduct(const wchar_t* product) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, product, 1);
}

void CitrixFixture::SwitchTracingOff() {
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 0);
}

unsigned CitrixFixture::CallsAfter(const std::string& marker, const std::string& function) {
    const auto log = winsim::CallLog();
    const auto last = std::find(log.rbegin(), log.rend(), marker);
    return static_cast<unsigned>(std::count(log.rbegin(), last, function));
}

std::vector<std::string> CitrixFixture::LoggedTexts() const {
    std::vector<std::string> texts;
    std::ifstream log(winsim::HostPath(kLogFile), std::ios::binary);
    std::string line;
    for (std::size_t n = 0; std::getline(log, line); ++n) {
        if (n >= forgottenLines_) texts.push_back(TextPart(line));
    }
    return texts;
}

bool CitrixFixture::Logged(const std::string& text) const { return CountLogged(text) > 0; }

std::size_t CitrixFixture::CountLogged(const std::string& text) const {
    const auto texts = LoggedTexts();
    return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
}

void CitrixFixture::ForgetLog() {
    forgottenLines_ = 0;
    forgottenLines_ = LoggedTexts().size();
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
