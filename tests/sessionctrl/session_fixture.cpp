#include "session_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

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

}  // namespace

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
    EnableLogging();
    baseline_ = winsim::CountOutstanding();
    ASSERT_EQ(DllMain(FakeInstance(), DLL_PROCESS_ATTACH, nullptr), TRUE);
    ASSERT_EQ(sessionctrl::ModuleInstance(), FakeInstance());
}

void SessionFixture::TearDown() {
    EXPECT_EQ(DllMain(FakeInstance(), DLL_PROCESS_DETACH, nullptr), TRUE);
    EXPECT_EQ(Describe(winsim::CountOutstanding()), Describe(baseline_));
    EXPECT_TRUE(winsim::Misuses().empty()) << JoinMisuses();
    std::error_code ignored;
    std::filesystem::remove_all(FileRoot(), ignored);
}

}  // namespace sessionctrl_test
