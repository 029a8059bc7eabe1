#include "test_support/machine_fixture.h"

#include <tessark/tessark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace test_support {

void InstallProduct(const wchar_t* product) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, product, 1);
}

void SwitchTracingOff() { winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 0); }

// "2026/12/04T09:05:03.042, SID:000001, PID:004711, TID:005120, text, detail"
std::vector<std::string> TraceEntries(const wchar_t* logFile, std::size_t skip) {
    std::vector<std::string> texts;
    std::ifstream log(winsim::HostPath(logFile), std::ios::binary);
    std::string line;
    for (std::size_t n = 0; std::getline(log, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t tid = line.find(", TID:");
        const std::size_t text = tid == std::string::npos ? tid : line.find(", ", tid + 1);
        if (n >= skip) texts.push_back(text == std::string::npos ? line : line.substr(text + 2));
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

}  // namespace test_support
