// The logger's configuration: switch, directory, size limit and when they are re-read.
#include "log_test_support.h"

#include "debug_log.h"
#include "log_config.h"

#include <platform/win32_raii.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace ssolog_test {
namespace {

class LogConfigTest : public LogTest {
protected:
    // Writes one line with a fresh logger and tells where it went.
    static bool WritesTo(const std::wstring& windowsPath) {
        ssolog::DebugLog log(L"session.log");
        log.WriteLine(L"probe", nullptr);
        return !ReadBytes(windowsPath).empty();
    }
};

TEST_F(LogConfigTest, SwitchAloneWritesToTheSystemDriveRoot) {
    SetOutputLog(1);
    EXPECT_TRUE(WritesTo(L"C:\\DebugSSO\\session.log"));
}

TEST_F(LogConfigTest, SystemDriveIsTakenFromTheSystemDirectory) {
    SetOutputLog(1);
    winsim::SetSystemDirectory(L"E:\\WINNT\\system32");
    EXPECT_TRUE(WritesTo(L"E:\\DebugSSO\\session.log"));
}

class LogDirectoryTest : public LogConfigTest,
                         public ::testing::WithParamInterface<const wchar_t*> {};

TEST_P(LogDirectoryTest, FinalBackslashIsAddedOnlyWhenMissing) {
    SwitchOn(GetParam());
    EXPECT_TRUE(WritesTo(L"D:\\Logs\\DebugSSO\\session.log"));
}

INSTANTIATE_TEST_SUITE_P(BaseDirectory, LogDirectoryTest,
                         ::testing::Values(L"D:\\Logs", L"D:\\Logs\\"));

TEST_F(LogConfigTest, MissingParentDirectoriesAreCreated) {
    SwitchOn(L"D:\\a\\b\\c");
    EXPECT_TRUE(WritesTo(L"D:\\a\\b\\c\\DebugSSO\\session.log"));
}

// Values that must leave the defaults in place.
struct IgnoredValue {
    const char* name;
    winsim::RegValue outputLog;
    winsim::RegValue outputLogDir;
    const wchar_t* expectedFile;  // null: nothing written anywhere
};

winsim::RegValue Dword(DWORD value) {
    winsim::RegValue v{REG_DWORD, std::vector<BYTE>(4)};
    std::memcpy(v.data.data(), &value, 4);
    return v;
}

winsim::RegValue Text(const std::wstring& text, DWORD type) {
    winsim::RegValue v{type, std::vector<BYTE>((text.size() + 1) * sizeof(WCHAR))};
    std::memcpy(v.data.data(), text.c_str(), v.data.size());
    return v;
}

class IgnoredValueTest : public LogConfigTest, public ::testing::WithParamInterface<IgnoredValue> {};

TEST_P(IgnoredValueTest, FallsBackToTheDefault) {
    const IgnoredValue& c = GetParam();
    winsim::SetValue(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", c.outputLog);
    winsim::SetValue(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", c.outputLogDir);
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"probe", nullptr);
    EXPECT_EQ(log.IsEnabled(), c.expectedFile != nullptr);
    if (c.expectedFile != nullptr) {
        EXPECT_TRUE(Exists(c.expectedFile));
    }
    EXPECT_FALSE(Exists(L"D:\\Logs\\DebugSSO\\session.log"));
    EXPECT_EQ(winsim::CountOutstanding().keys, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Registry, IgnoredValueTest,
    ::testing::Values(
        IgnoredValue{"SwitchZero", Dword(0), Text(L"D:\\Logs", REG_SZ), nullptr},
        IgnoredValue{"SwitchAsText", Text(L"1", REG_SZ), Text(L"D:\\Logs", REG_SZ), nullptr},
        IgnoredValue{"SwitchAsQword", winsim::RegValue{REG_QWORD, std::vector<BYTE>(8, 1)},
                     Text(L"D:\\Logs", REG_SZ), nullptr},
        IgnoredValue{"DirectoryExpandable", Dword(1), Text(L"D:\\Logs", REG_EXPAND_SZ),
                     L"C:\\DebugSSO\\session.log"},
        IgnoredValue{"DirectoryEmpty", Dword(1), Text(L"", REG_SZ), L"C:\\DebugSSO\\session.log"},
        IgnoredValue{"DirectoryZeroSized", Dword(1), winsim::RegValue{REG_SZ, {}},
                     L"C:\\DebugSSO\\session.log"},
        IgnoredValue{"DirectoryAsDword", Dword(1), Dword(7), L"C:\\DebugSSO\\session.log"}),
    [](const ::testing::TestParamInfo<IgnoredValue>& c) { return c.param.name; });

TEST_F(LogConfigTest, MissingKeyKeepsLoggingOff) {
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"probe", nullptr);
    EXPECT_FALSE(log.IsEnabled());
    EXPECT_EQ(winsim::CountOutstanding().keys, 0);
}

TEST_F(LogConfigTest, DirectoryCreationFailureTurnsLoggingOffUntilARetrySucceeds) {
    SwitchOn();
    winsim::FailCall("SHCreateDirectoryExW", ERROR_ACCESS_DENIED);
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"lost", nullptr);
    EXPECT_FALSE(log.IsEnabled());

    winsim::ClearFaults();
    AdvanceSeconds(2);
    log.WriteLine(L"kept", nullptr);
    EXPECT_EQ(TextParts(InLogDir(L"session.log")), std::vector<std::string>{"kept,"});
    EXPECT_EQ(winsim::CountOutstanding().keys, 0);
}

TEST_F(LogConfigTest, UnusableSystemDirectoryLeavesTheDirectoryEmpty) {
    SetOutputLog(1);
    winsim::SetSystemDirectory(L"nowhere");
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"probe", nullptr);
    // Still on, but "\session.log" has no drive: nothing is created anywhere.
    EXPECT_TRUE(log.IsEnabled());
    EXPECT_EQ(winsim::CallCount("SHCreateDirectoryExW"), 0u);
    EXPECT_EQ(winsim::CallCount("_wfsopen"), 1u);
    EXPECT_EQ(winsim::CountOutstanding().keys, 0);
}

TEST_F(LogConfigTest, DeletedDirectoryIsMadeAgainAtTheNextRefresh) {
    SwitchOn();
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"first", nullptr);
    std::filesystem::remove_all(winsim::HostPath(kLogDir));
    AdvanceSeconds(10);
    log.WriteLine(L"second", nullptr);
    EXPECT_EQ(TextParts(InLogDir(L"session.log")), std::vector<std::string>{"second,"});
}

// While on, a switch to off is seen after 10 s, not earlier.
TEST_F(LogConfigTest, WhileOnTheRegistryIsReadEveryTenSeconds) {
    SwitchOn();
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"t0", nullptr);
    const unsigned opens = winsim::CallCount("RegOpenKeyExW");
    SetOutputLog(0);
    AdvanceSeconds(9);
    log.WriteLine(L"t9", nullptr);
    EXPECT_EQ(winsim::CallCount("RegOpenKeyExW"), opens);
    AdvanceSeconds(1);
    log.WriteLine(L"t10", nullptr);
    EXPECT_EQ(winsim::CallCount("RegOpenKeyExW"), opens + 1);
    EXPECT_EQ(TextParts(InLogDir(L"session.log")), (std::vector<std::string>{"t0,", "t9,"}));
}

TEST_F(LogConfigTest, ARemovedValueFallsBackAtTheNextRefresh) {
    SwitchOn();
    ssolog::DebugLog log(L"session.log");
    log.WriteLine(L"in D", nullptr);
    winsim::DeleteValue(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir");
    AdvanceSeconds(10);
    log.WriteLine(L"in C", nullptr);
    EXPECT_EQ(TextParts(InLogDir(L"session.log")), std::vector<std::string>{"in D,"});
    EXPECT_EQ(TextParts(L"C:\\DebugSSO\\session.log"), std::vector<std::string>{"in C,"});
}

// A 32-bit process on 64-bit Windows reads the 64-bit view; so does one that cannot ask.
struct ViewCase {
    bool wow64;
    bool isWow64ProcessExported;
    winsim::RegView viewRead;
};

class RegistryViewTest : public LogConfigTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(RegistryViewTest, ConfigurationComesFromTheExpectedView) {
    const ViewCase& c = GetParam();
    winsim::SetWow64(c.wow64);
    winsim::SetIsWow64ProcessExported(c.isWow64ProcessExported);
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 1, c.viewRead);
    winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", L"D:\\Logs", REG_SZ,
                      c.viewRead);
    EXPECT_TRUE(WritesTo(InLogDir(L"session.log")));
}

INSTANTIATE_TEST_SUITE_P(
    Views, RegistryViewTest,
    ::testing::Values(ViewCase{true, true, winsim::RegView::Native},
                      ViewCase{false, true, winsim::RegView::Native},
                      // Without IsWow64Process a WOW64 process asks no 64-bit view.
                      ViewCase{true, false, winsim::RegView::Wow32}));

class ReadLogDirectoryTest : public LogTest {
protected:
    static bool Read(std::wstring& text) {
        platform::UniqueKey key;
        EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kLogKey, 0, KEY_READ, key.Receive()),
                  ERROR_SUCCESS);
        return ssolog::ReadLogDirectory(key.Get(), text);
    }
};

// Stored without a terminator the text still ends; stored with a zero inside, it ends there.
TEST_F(ReadLogDirectoryTest, TextEndsAtTheDataOrItsFirstZero) {
    for (const auto& [stored, expected] : {std::pair<std::wstring, std::wstring>{L"D:\\NoEnd", L"D:\\NoEnd"},
                                           {std::wstring(L"D:\\A\0B\0", 7), L"D:\\A"}}) {
        winsim::RegValue value{REG_SZ, std::vector<BYTE>(stored.size() * sizeof(WCHAR))};
        std::memcpy(value.data.data(), stored.data(), value.data.size());
        winsim::SetValue(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", value);
        std::wstring text = L"stale";
        EXPECT_TRUE(Read(text));
        EXPECT_EQ(text, expected);
    }
}

}  // namespace
}  // namespace ssolog_test
