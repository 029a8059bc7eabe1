#include "session_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace sessionctrl_test {

namespace {

HINSTANCE FakeInstance() {
    static HINSTANCE__ instance{};
    return &instance;
}

std::string& FileRoot() {
    static std::string root;
    return root;
}

std::string JoinMisuses() {
    std::string all;
    for (const std::string& misuse : winsim::Misuses()) all += misuse + "\n";
    return all;
}

}  // namespace

void InstallProduct(const wchar_t* product) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, product, 1);
}

std::vector<std::string> TraceEntries() {
    std::vector<std::string> entries;
    std::ifstream file(winsim::HostPath(kSessionLog));
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // The header ends with the thread id column: "TID:005120, ".
        const std::string::size_type tid = line.find(", TID:");
        if (tid == std::string::npos) continue;
        const std::string::size_type text = line.find(", ", tid + 6);
        if (text == std::string::npos) continue;
        entries.push_back(line.substr(text + 2));
    }
    return entries;
}

std::string Describe(const winsim::Outstanding& c) {
    std::ostringstream text;
    text << "buffers " << c.buffers << ", handles " << c.handles << ", keys " << c.keys
         << ", module references " << c.moduleReferences << ", critical sections "
         << c.criticalSections << ", local allocations " << c.localAllocations
         << ", impersonations " << c.impersonations << ", locked sections " << c.lockedSections
         << ", open files " << c.openFiles;
    return text.str();
}

bool HasTrace(const std::string& entry) { return CountTrace(entry) > 0; }

long CountTrace(const std::string& entry) {
    long count = 0;
    for (const std::string& line : TraceEntries()) count += line == entry ? 1 : 0;
    return count;
}

std::vector<BYTE> AddressRecord(DWORD family, const std::vector<BYTE>& address) {
    std::vector<BYTE> record(sizeof(DWORD) + 20, 0);
    std::memcpy(record.data(), &family, sizeof(family));
    std::copy(address.begin(), address.end(), record.begin() + sizeof(DWORD));
    return record;
}

void SessionFixture::SetUp() {
    if (FileRoot().empty()) {
        char pattern[] = "/tmp/sessionctrl-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        FileRoot() = pattern;
    }
    winsim::Reset();
    winsim::SetFileRoot(FileRoot());
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 1);
    winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", L"C:\\Logs");
    baseline_ = winsim::CountOutstanding();
    ASSERT_EQ(DllMain(FakeInstance(), DLL_PROCESS_ATTACH, nullptr), TRUE);
    ASSERT_EQ(sessionctrl::ModuleInstance(), FakeInstance());
}

void SessionFixture::TearDown() {
    EXPECT_EQ(DllMain(FakeInstance(), DLL_PROCESS_DETACH, nullptr), TRUE);
    const winsim::Outstanding now = winsim::CountOutstanding();
    EXPECT_EQ(Describe(now), Describe(baseline_));
    EXPECT_TRUE(winsim::Misuses().empty()) << JoinMisuses();
    std::error_code ignored;
    std::filesystem::remove_all(FileRoot(), ignored);
}

}  // namespace sessionctrl_test
