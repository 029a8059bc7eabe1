// The simulated Windows where a slip would hide a library fault: the registry view a
// 32-bit process reads, RegQueryValueExW's sizes, the sharing between the log writer and
// its size check, CR LF in text mode, module reference counts. The library's own tests
// drive everything else.
#include <winsim/machine.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

namespace {

const wchar_t kKey[] = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";
const wchar_t kLog[] = L"C:\\Logs\\DebugSSO\\session.log";

class Winsim : public ::testing::Test {
protected:
    void SetUp() override { winsim::Reset(); }
};

struct ViewRow {
    bool wow64;
    REGSAM access;
    const wchar_t* seen;
};

class WinsimRegistryView : public Winsim, public ::testing::WithParamInterface<ViewRow> {};

TEST_P(WinsimRegistryView, TheHandleReadsTheViewOfProcessAndFlags) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kKey, L"Which", L"native", REG_SZ, winsim::RegView::Native);
    winsim::SetString(HKEY_LOCAL_MACHINE, kKey, L"Which", L"wow32", REG_SZ, winsim::RegView::Wow32);
    winsim::SetWow64(GetParam().wow64);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, GetParam().access, &key), ERROR_SUCCESS);
    wchar_t text[16] = {};
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExW(key, L"Which", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_STREQ(text, GetParam().seen);
    RegCloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(Rows, WinsimRegistryView,
                         ::testing::Values(ViewRow{true, KEY_READ, L"wow32"},
                                           ViewRow{true, KEY_READ | KEY_WOW64_64KEY, L"native"},
                                           ViewRow{false, KEY_READ, L"native"}));

// RegQueryValueExW of "C:\Logs" (REG_EXPAND_SZ, 8 characters with the terminator).
struct QueryRow {
    const wchar_t* name;
    int bufferBytes;  // -1: no buffer, a size query
    LSTATUS status;
    DWORD size;  // what *lpcbData holds after the call
};

class WinsimQuery : public Winsim, public ::testing::WithParamInterface<QueryRow> {};

TEST_P(WinsimQuery, SizesInBytesWithTheTerminator) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kKey, L"OutputLogDir", L"C:\\Logs", REG_EXPAND_SZ);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    const QueryRow& row = GetParam();
    wchar_t text[16] = {};
    DWORD type = REG_NONE, size = row.bufferBytes < 0 ? 0 : static_cast<DWORD>(row.bufferBytes);
    EXPECT_EQ(RegQueryValueExW(key, row.name, nullptr, &type, row.bufferBytes < 0 ? nullptr : reinterpret_cast<BYTE*>(text), &size), row.status);
    EXPECT_EQ(size, row.size);
    EXPECT_EQ(type, static_cast<DWORD>(row.status == ERROR_FILE_NOT_FOUND ? REG_NONE : REG_EXPAND_SZ));
    EXPECT_STREQ(text, row.status == ERROR_SUCCESS && row.bufferBytes > 0 ? L"C:\\Logs" : L"");
    RegCloseKey(key);
}

const DWORD kBytes = 8 * sizeof(WCHAR);
INSTANTIATE_TEST_SUITE_P(Rows, WinsimQuery,
                         ::testing::Values(QueryRow{L"OutputLogDir", -1, ERROR_SUCCESS, kBytes},
                                           QueryRow{L"outputlogdir", 4, ERROR_MORE_DATA, kBytes},
                                           QueryRow{L"OutputLogDir", kBytes, ERROR_SUCCESS, kBytes},
                                           QueryRow{L"Missing", kBytes, ERROR_FILE_NOT_FOUND, kBytes}));

// Opens the log as its writer does (append stream, _SH_DENYNO) or as its size check does
// (read handle sharing read only); answers the closer, or null when the open failed.
std::function<void()> OpenLog(bool writer) {
    if (writer) {
        FILE* file = _wfsopen(kLog, L"a", _SH_DENYNO);
        return file == nullptr ? std::function<void()>() : [file] { std::fclose(file); };
    }
    HANDLE handle = CreateFileW(kLog, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle == INVALID_HANDLE_VALUE ? std::function<void()>() : [handle] { CloseHandle(handle); };
}

class WinsimFile : public Winsim {
protected:
    void SetUp() override {
        Winsim::SetUp();
        std::filesystem::remove_all(winsim::HostPath(L"C:\\Logs"));  // the file root outlives Reset
        ASSERT_EQ(SHCreateDirectoryExW(nullptr, L"C:\\Logs\\DebugSSO", nullptr), ERROR_SUCCESS);
    }
    void TearDown() override { EXPECT_EQ(winsim::CountOutstanding(), winsim::Outstanding{}); }
};

struct ShareRow {
    bool heldWriter, wantedWriter, opens;
};

class WinsimSharing : public WinsimFile, public ::testing::WithParamInterface<ShareRow> {};

TEST_P(WinsimSharing, WritersShareWithEachOtherNotWithTheSizeCheck) {
    OpenLog(true)();  // the file exists
    auto held = OpenLog(GetParam().heldWriter);
    ASSERT_TRUE(held);
    auto wanted = OpenLog(GetParam().wantedWriter);
    EXPECT_EQ(static_cast<bool>(wanted), GetParam().opens);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(GetParam().opens ? ERROR_SUCCESS : ERROR_SHARING_VIOLATION));
    if (wanted) wanted();
    held();
    auto after = OpenLog(GetParam().wantedWriter);
    ASSERT_TRUE(after);
    after();
}

INSTANTIATE_TEST_SUITE_P(Rows, WinsimSharing,
                         ::testing::Values(ShareRow{true, true, true}, ShareRow{true, false, false},
                                           ShareRow{false, true, false}, ShareRow{false, false, true}));

TEST_F(WinsimFile, TextModeWritesCarriageReturnLineFeedBinaryModeDoesNot) {
    for (const wchar_t* mode : {L"a", L"ab", L"a"}) {
        FILE* file = _wfsopen(kLog, mode, _SH_DENYNO);
        ASSERT_NE(file, nullptr);
        std::fputs("x\n", file);
        std::fclose(file);
    }
    std::ifstream in(winsim::HostPath(kLog), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "x\r\nx\nx\r\n");
}

int Exported() { return 7; }

TEST_F(Winsim, ModuleReferencesPerLoadAndPerAddressLookup) {
    const wchar_t path[] = L"C:\\Program Files (x86)\\Citrix\\System32\\wfapi.dll";
    HMODULE wfapi = winsim::RegisterModule(path, {});
    EXPECT_EQ(GetModuleHandleW(L"wfapi.dll"), nullptr);  // known, not loaded
    EXPECT_EQ(LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH), wfapi);
    EXPECT_EQ(LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH), wfapi);
    EXPECT_EQ(winsim::ModuleReferences(wfapi), 2);
    EXPECT_TRUE(FreeLibrary(wfapi));
    EXPECT_EQ(GetModuleHandleW(L"WFAPI.DLL"), wfapi);
    EXPECT_TRUE(FreeLibrary(wfapi));
    EXPECT_EQ(GetModuleHandleW(L"wfapi.dll"), nullptr);
    EXPECT_FALSE(FreeLibrary(wfapi));
    EXPECT_EQ(winsim::Misuses().size(), 1u);

    const auto address = reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&Exported));
    HMODULE self = nullptr, same = nullptr;
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, address, &self));
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 0);
    ASSERT_TRUE(GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, address, &same));
    EXPECT_EQ(same, self);
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 1);
    FreeLibrary(same);
    EXPECT_EQ(winsim::CountOutstanding().moduleReferences, 0);
}

}  // namespace
