// The VMware View major version: how "ProductVersion" is read, and that the first
// answer holds for the whole process.
#include "vmware_fixture.h"

#include <vmview_ctrl.h>
#include <vmware_view.h>

#include <optional>

namespace vmware_test {
namespace {

using sessionctrl::vmware::GetVdmMajorVersion;

struct VersionRow {
    const char* name;
    std::optional<std::wstring> text;  // nullopt: no VMware VDM key at all
    DWORD type;
    int expected;
};
void PrintTo(const VersionRow& row, std::ostream* os) { *os << row.name; }

class VdmVersionTest : public VMwareFixture, public testing::WithParamInterface<VersionRow> {};

TEST_P(VdmVersionTest, ReadsMajorVersion) {
    const VersionRow& row = GetParam();
    if (row.text) SetVdmVersion(*row.text, row.type);
    EXPECT_EQ(GetVdmMajorVersion(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    ProductVersion, VdmVersionTest,
    testing::Values(VersionRow{"Release7", L"7.5.1", REG_SZ, 7},
                    VersionRow{"Release6", L"6.2.0", REG_SZ, 6},
                    VersionRow{"TwoDigits", L"10.0", REG_SZ, 10},
                    VersionRow{"NoDot", L"6", REG_SZ, 6},
                    VersionRow{"LeadingBlank", L" 8.1", REG_SZ, 8},
                    VersionRow{"NotANumber", L"abc", REG_SZ, 0},
                    VersionRow{"StartsWithDot", L".7", REG_SZ, 0},
                    VersionRow{"Empty", L"", REG_SZ, 0},
                    VersionRow{"Missing", std::nullopt, REG_SZ, 0},
                    VersionRow{"ExpandString", L"7.5.1", REG_EXPAND_SZ, 0}),
    RowName());

class VdmVersionCacheTest : public VMwareFixture {};

TEST_F(VdmVersionCacheTest, FirstReadHoldsForTheProcess) {
    SetVdmVersion(L"6.2.0");
    ASSERT_EQ(GetVdmMajorVersion(), 6);
    SetVdmVersion(L"7.5.1");
    EXPECT_EQ(GetVdmMajorVersion(), 6);
}

TEST_F(VdmVersionCacheTest, FailedReadStaysZero) {
    ASSERT_EQ(GetVdmMajorVersion(), 0);
    SetVdmVersion(L"7.5.1");
    EXPECT_EQ(GetVdmMajorVersion(), 0);
}

TEST_F(VdmVersionCacheTest, InitializeFixesTheVersion) {
    SetVdmVersion(L"7.5.1");
    sessionctrl::VMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    winsim::DeleteKey(HKEY_LOCAL_MACHINE, kVdmKey);
    EXPECT_EQ(GetVdmMajorVersion(), 7);
}

TEST_F(VdmVersionCacheTest, Wow64ProcessReadsThe64BitView) {
    winsim::SetWow64(true);
    winsim::SetString(HKEY_LOCAL_MACHINE, kVdmKey, L"ProductVersion", L"7.2", REG_SZ,
                      winsim::RegView::Native);
    winsim::SetString(HKEY_LOCAL_MACHINE, kVdmKey, L"ProductVersion", L"5.0", REG_SZ,
                      winsim::RegView::Wow32);
    EXPECT_EQ(GetVdmMajorVersion(), 7);
}

TEST_F(VdmVersionCacheTest, ValueFillingItsBufferIsStillRead) {
    // 255 characters without a terminating NUL: exactly 510 bytes on Windows.
    winsim::SetValue(HKEY_LOCAL_MACHINE, kVdmKey, L"ProductVersion",
                     UnterminatedString(L"7." + std::wstring(253, L'9')));
    EXPECT_EQ(GetVdmMajorVersion(), 7);
}

TEST_F(VdmVersionCacheTest, ValueLargerThanItsBufferIsAbsent) {
    SetVdmVersion(L"7." + std::wstring(253, L'9'));  // 256 characters with the NUL
    EXPECT_EQ(GetVdmMajorVersion(), 0);
}

}  // namespace
}  // namespace vmware_test
