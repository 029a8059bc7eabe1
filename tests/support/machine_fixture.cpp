#include "test_support/machine_fixture.h"

#include <tessark/tessark.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace test_support {
namespace {

// "2026/12/04T09:05:03.042, SID:000001, PID:004711, TID:005120, text, detail"
std::string TextPart(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t tid = line.find(", TID:");
    if (tid == std::string::npos) return line;
    const std::size_t text = line.find(", ", tid + 1);
    return text == std::string::npos ? line : line.substr(text + 2);
}

}  // namespace

void InstallProduct(const wchar_t* product) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, product, 1);
}

void SwitchTracingOff() { winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 0); }

std::vector<std::string> TraceEntries(const wchar_t* logFile, std::size_t skip) {
    std::vector<std::string> texts;
    std::ifstream log(winsim::HostPath(logFile), std::ios::binary);
    std::string line;
    for (std::size_t n = 0; std::getline(log, line); ++n) {
        if (n >= skip) texts.push_back(TextPart(line));
    }
    return texts;
}

bool LogExists(const wchar_t* logFile) {
    return std::filesystem::exists(winsim::HostPath(logFile));
}

void MachineFixture::SetUp() {
    char pattern[] = "/tmp/halcyon-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    fileRoot_ = pattern;
    winsim::Reset();
    winsim::SetFileRoot(fileRoot_);
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 1);
    winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", L"C:\\Logs");
    baseline_ = winsim::CountOutstanding();
}

void MachineFixture::TearDown() {
    EXPECT_EQ(winsim::CountOutstanding(), baseline_)
        << "now: " << winsim::CountOutstanding().Describe()
        << "\nat start: " << baseline_.Describe();
    EXPECT_TRUE(winsim::Misuses().empty()) << testing::PrintToString(winsim::Misuses());
    std::error_code ignored;
    std::filesystem::remove_all(fileRoot_, ignored);
}

std::vector<std::string> MachineFixture::LoggedTexts() const {
    return TraceEntries(kSessionLog, forgottenLines_);
}

bool MachineFixture::Logged(const std::string& text) const { return CountLogged(text) > 0; }

std::size_t MachineFixture::CountLogged(const std::string& text) const {
    const auto texts = LoggedTexts();
    return static_cast<std::size_t>(std::count(texts.begin(), texts.end(), text));
}

void MachineFixture::ForgetLog() { forgottenLines_ = TraceEntries(kSessionLog).size(); }

}  // namespace test_support
