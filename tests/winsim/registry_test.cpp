// Registry semantics the library's readers depend on: sizes, MORE_DATA, views, HKCU.
#include "winsim_test.h"

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";

class RegistryTest : public FreshMachine {
protected:
    void TearDown() override { EXPECT_EQ(winsim::CountOutstanding().keys, 0); }

    // Opens kKey below HKLM with `access`; ASSERTs success.
    HKEY Open(REGSAM access = KEY_READ) {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, access, &key), ERROR_SUCCESS);
        return key;
    }

    std::wstring ReadString(HKEY key, const wchar_t* name) {
        wchar_t buffer[64] = {};
        DWORD size = sizeof buffer;
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
                  ERROR_SUCCESS);
        return buffer;
    }
};

TEST_F(RegistryTest, SizeQueryReportsBytesWithTerminatorAndType) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kKey, L"OutputLogDir", L"C:\\Logs");
    HKEY key = Open();
    DWORD type = REG_NONE, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"OutputLogDir", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, 8 * sizeof(WCHAR));
    RegCloseKey(key);
}

TEST_F(RegistryTest, TooSmallBufferGivesMoreDataWithRequiredSizeAndType) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kKey, L"OutputLogDir", L"C:\\Logs", REG_EXPAND_SZ);
    HKEY key = Open();
    BYTE small[4] = {};
    DWORD type = REG_NONE, size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, L"OutputLogDir", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 8 * sizeof(WCHAR));
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    RegCloseKey(key);
}

TEST_F(RegistryTest, ExactBufferSucceedsAndCopiesRawBytes) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, kKey, L"OutputLogSize", 0xA00000);
    HKEY key = Open();
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(key, L"OutputLogSize", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 0xA00000u);
    EXPECT_EQ(size, sizeof(DWORD));
    RegCloseKey(key);
}

TEST_F(RegistryTest, DataWithoutSizeIsInvalidParameterAndMissingValueIsNotFound) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, kKey, L"OutputLog", 1);
    HKEY key = Open();
    DWORD value = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"OutputLog", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), nullptr),
              ERROR_INVALID_PARAMETER);
    DWORD size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(key, L"Missing", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

TEST_F(RegistryTest, KeyAndValueNamesIgnoreCase) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kKey, L"OutputLogDir", L"D:\\x");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"software\\CORVANE SYSTEMS K.K.\\corvane keywarden\\ssolog", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(ReadString(key, L"OUTPUTLOGDIR"), L"D:\\x");
    RegCloseKey(key);
}

TEST_F(RegistryTest, MissingKeyIsNotFoundAndEmptySubKeyReopens) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Nowhere", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    winsim::SetDword(HKEY_LOCAL_MACHINE, kKey, L"OutputLog", 1);
    HKEY parent = Open();
    HKEY again = nullptr, againNull = nullptr;
    ASSERT_EQ(RegOpenKeyExW(parent, L"", 0, KEY_READ, &again), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExW(parent, nullptr, 0, KEY_READ, &againNull), ERROR_SUCCESS);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(again, L"OutputLog", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(winsim::CountOutstanding().keys, 3);
    RegCloseKey(again);
    RegCloseKey(againNull);
    RegCloseKey(parent);
}

TEST_F(RegistryTest, WritesThroughHandlesReachTheMachine) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    const DWORD one = 1;
    EXPECT_EQ(RegSetValueExW(key, L"OutputLog", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one),
              ERROR_SUCCESS);
    auto stored = winsim::GetValue(HKEY_LOCAL_MACHINE, kKey, L"outputlog");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(stored->data.size(), sizeof(DWORD));
    EXPECT_EQ(RegDeleteValueW(key, L"OutputLog"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"OutputLog"), ERROR_FILE_NOT_FOUND);
    RegCloseKey(key);
}

// Which view a 32-bit process on 64-bit Windows reads, per access flags.
struct ViewCase {
    bool wow64;
    REGSAM access;
    const wchar_t* expected;
};

void PrintTo(const ViewCase& c, std::ostream* out) {
    *out << (c.wow64 ? "WOW64" : "native") << " process, access 0x" << std::hex << c.access;
}

class RegistryViewTest : public RegistryTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(RegistryViewTest, OpenSeesTheViewOfProcessAndFlags) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kKey, L"Which", L"native", REG_SZ, winsim::RegView::Native);
    winsim::SetString(HKEY_LOCAL_MACHINE, kKey, L"Which", L"wow32", REG_SZ, winsim::RegView::Wow32);
    winsim::SetWow64(GetParam().wow64);
    HKEY key = Open(GetParam().access);
    EXPECT_EQ(ReadString(key, L"Which"), GetParam().expected);
    RegCloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(Views, RegistryViewTest,
                         ::testing::Values(ViewCase{true, KEY_READ, L"wow32"},
                                           ViewCase{true, KEY_READ | KEY_WOW64_64KEY, L"native"},
                                           ViewCase{true, KEY_READ | KEY_WOW64_32KEY, L"wow32"},
                                           ViewCase{false, KEY_READ, L"native"},
                                           ViewCase{false, KEY_READ | KEY_WOW64_32KEY, L"native"}));

TEST_F(RegistryTest, CurrentUserFollowsImpersonation) {
    winsim::AddUser(L"bob", L"S-1-5-21-1000-2000-3000-1002");
    winsim::SetString(HKEY_USERS, L"S-1-5-21-1000-2000-3000-1001\\Software\\App", L"Who", L"alice");
    winsim::SetString(HKEY_USERS, L"S-1-5-21-1000-2000-3000-1002\\Software\\App", L"Who", L"bob");
    winsim::AddSession(MakeSession(2, L"RDP-Tcp#1", L"bob", L"CORP"));
    auto readWho = [this] {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\App", 0, KEY_READ, &key), ERROR_SUCCESS);
        std::wstring who = ReadString(key, L"Who");
        RegCloseKey(key);
        return who;
    };
    EXPECT_EQ(readWho(), L"alice");
    HANDLE token = nullptr;
    ASSERT_TRUE(WTSQueryUserToken(2, &token));
    ASSERT_TRUE(ImpersonateLoggedOnUser(token));
    EXPECT_EQ(readWho(), L"bob");
    EXPECT_EQ(winsim::CountOutstanding().impersonations, 1);
    RevertToSelf();
    EXPECT_EQ(readWho(), L"alice");
    CloseHandle(token);
    EXPECT_EQ(winsim::CountOutstanding(), winsim::Outstanding{});
}

TEST_F(RegistryTest, ClosingAnUnknownKeyIsMisuse) {
    winsim::CreateKey(HKEY_LOCAL_MACHINE, kKey);
    HKEY key = Open();
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(winsim::Misuses().size(), 1u);
}

}  // namespace
