// The PCoIP and Blast server image names: taken from the registry path after its last
// backslash, cached once found, and never replaced by the default in the cache.
#include "vmware_fixture.h"

#include <vmware_view.h>

namespace vmware_test {
namespace {

using sessionctrl::vmware::GetBlastServerProcessName;
using sessionctrl::vmware::GetPCoIPServerProcessName;

struct ServerSource {
    const char* name;
    const wchar_t* key;
    const wchar_t* value;
    std::wstring (*read)() noexcept;
};
void PrintTo(const ServerSource& row, std::ostream* os) { *os << row.name; }

class ServerNameTest : public VMwareFixture, public testing::WithParamInterface<ServerSource> {
protected:
    void Configure(const std::wstring& path) {
        winsim::SetString(HKEY_LOCAL_MACHINE, GetParam().key, GetParam().value, path);
    }
    std::wstring Read() { return GetParam().read(); }
};

TEST_P(ServerNameTest, TakesTheTextAfterTheLastBackslash) {
    Configure(L"D:\\Tools\\server.exe");
    EXPECT_EQ(Read(), L"server.exe");
}

TEST_P(ServerNameTest, TakesATextWithoutBackslashWhole) {
    Configure(L"server.exe");
    EXPECT_EQ(Read(), L"server.exe");
}

TEST_P(ServerNameTest, KeepsAFoundNameForTheProcess) {
    Configure(L"C:\\A\\first.exe");
    ASSERT_EQ(Read(), L"first.exe");
    Configure(L"C:\\B\\second.exe");
    EXPECT_EQ(Read(), L"first.exe");
    winsim::DeleteKey(HKEY_LOCAL_MACHINE, GetParam().key);
    EXPECT_EQ(Read(), L"first.exe");
}

TEST_P(ServerNameTest, RereadsAfterAPathEndingInABackslash) {
    Configure(L"C:\\Program Files\\Teradici\\");
    ASSERT_EQ(Read(), L"");
    Configure(L"C:\\Program Files\\Teradici\\later.exe");
    EXPECT_EQ(Read(), L"later.exe");
}

TEST_P(ServerNameTest, RereadsWhileNothingIsConfigured) {
    ASSERT_EQ(Read(), L"");
    Configure(L"C:\\x\\later.exe");
    EXPECT_EQ(Read(), L"later.exe");
}

TEST_P(ServerNameTest, IgnoresAnExpandString) {
    winsim::SetString(HKEY_LOCAL_MACHINE, GetParam().key, GetParam().value, L"C:\\x\\s.exe",
                      REG_EXPAND_SZ);
    EXPECT_EQ(Read(), L"");
}

TEST_P(ServerNameTest, ReadsAValueFillingItsWholeBuffer) {
    // 512 characters without NUL: exactly the 1024 bytes of the buffer on Windows.
    const std::wstring name = L"n" + std::wstring(500, L'x') + L".exe";
    const std::wstring path = L"C:\\" + std::wstring(512 - 4 - name.size(), L'd') + L"\\" + name;
    ASSERT_EQ(path.size(), 512u);
    winsim::SetValue(HKEY_LOCAL_MACHINE, GetParam().key, GetParam().value,
                     UnterminatedString(path));
    EXPECT_EQ(Read(), name);
}

TEST_P(ServerNameTest, TreatsAValueLargerThanItsBufferAsAbsent) {
    Configure(L"C:\\" + std::wstring(509, L'd') + L"\\s.exe");  // 518 characters and NUL
    EXPECT_EQ(Read(), L"");
}

TEST_P(ServerNameTest, Wow64ProcessReadsThe64BitView) {
    winsim::SetWow64(true);
    winsim::SetString(HKEY_LOCAL_MACHINE, GetParam().key, GetParam().value, L"C:\\n\\native.exe",
                      REG_SZ, winsim::RegView::Native);
    winsim::SetString(HKEY_LOCAL_MACHINE, GetParam().key, GetParam().value, L"C:\\w\\wow.exe",
                      REG_SZ, winsim::RegView::Wow32);
    EXPECT_EQ(Read(), L"native.exe");
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ServerNameTest,
    testing::Values(ServerSource{"PCoIP", kPCoIPKey, L"TeraHostPath", &GetPCoIPServerProcessName},
                    ServerSource{"Blast", kBlastKey, L"rdepath", &GetBlastServerProcessName}),
    RowName());

class ServerNameCacheTest : public VMwareFixture {};

TEST_F(ServerNameCacheTest, EachServerHasItsOwnCache) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kPCoIPKey, L"TeraHostPath", L"C:\\p\\pcoip.exe");
    ASSERT_EQ(GetPCoIPServerProcessName(), L"pcoip.exe");
    EXPECT_EQ(GetBlastServerProcessName(), L"");
    winsim::SetString(HKEY_LOCAL_MACHINE, kBlastKey, L"rdepath", L"C:\\b\\blast.exe");
    EXPECT_EQ(GetBlastServerProcessName(), L"blast.exe");
    EXPECT_EQ(GetPCoIPServerProcessName(), L"pcoip.exe");
}

}  // namespace
}  // namespace vmware_test
