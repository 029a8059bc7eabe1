// Files: CRT text mode, the sharing rule behind the log's size check, directories.
#include "winsim_test.h"

#include <fstream>
#include <iterator>

namespace {

class FilesTest : public LeakCheckedMachine {
protected:
    void SetUp() override {
        LeakCheckedMachine::SetUp();
        ASSERT_EQ(SHCreateDirectoryExW(nullptr, L"C:\\Logs\\DebugSSO", nullptr), ERROR_SUCCESS);
    }
    static std::string HostBytes(const std::wstring& path) {
        std::ifstream in(winsim::HostPath(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static HANDLE OpenForSizeCheck(const wchar_t* path) {
        return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
};

const wchar_t kLog[] = L"C:\\Logs\\DebugSSO\\session.log";

TEST_F(FilesTest, TextModeAppendWritesCarriageReturnLineFeed) {
    for (int i = 0; i < 2; ++i) {
        FILE* file = _wfsopen(kLog, L"a", _SH_DENYNO);
        ASSERT_NE(file, nullptr);
        std::fputs("line\n", file);
        std::fclose(file);
    }
    EXPECT_EQ(HostBytes(kLog), "line\r\nline\r\n");
}

TEST_F(FilesTest, BinaryModeAndReadingBackTranslateAsTheCrtDoes) {
    FILE* file = _wfsopen(kLog, L"wb", _SH_DENYNO);
    ASSERT_NE(file, nullptr);
    std::fputs("a\r\nb\n", file);
    std::fclose(file);
    EXPECT_EQ(HostBytes(kLog), "a\r\nb\n");
    file = _wfsopen(kLog, L"r", _SH_DENYNO);
    ASSERT_NE(file, nullptr);
    char text[16] = {};
    EXPECT_EQ(std::fread(text, 1, sizeof text, file), 4u);
    EXPECT_STREQ(text, "a\nb\n");
    std::fclose(file);
}

TEST_F(FilesTest, ReadOnlyShareOpenFailsWhileAWriterHoldsTheFile) {
    FILE* writer = _wfsopen(kLog, L"a", _SH_DENYNO);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(winsim::CountOutstanding().openFiles, 1);
    SetLastError(0);
    EXPECT_EQ(OpenForSizeCheck(kLog), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    std::fclose(writer);
    HANDLE reader = OpenForSizeCheck(kLog);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size{};
    EXPECT_TRUE(GetFileSizeEx(reader, &size));
    EXPECT_EQ(size.QuadPart, 0);
    CloseHandle(reader);
}

TEST_F(FilesTest, MissingFileOrDirectoryIsNotFound) {
    EXPECT_EQ(OpenForSizeCheck(L"C:\\Logs\\DebugSSO\\none.log"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(OpenForSizeCheck(L"C:\\Nowhere\\none.log"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(_wfsopen(L"C:\\Missing\\x.log", L"a", _SH_DENYNO), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesTest, MoveReplacesAnExistingBackupOnlyWhenAsked) {
    const std::wstring backup = std::wstring(kLog) + L".bak";
    for (const wchar_t* path : {kLog, backup.c_str()}) {
        FILE* file = _wfsopen(path, L"w", _SH_DENYNO);
        ASSERT_NE(file, nullptr);
        std::fputs(path == kLog ? "new" : "old", file);
        std::fclose(file);
    }
    EXPECT_FALSE(MoveFileExW(kLog, backup.c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(MoveFileExW(kLog, backup.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    EXPECT_EQ(HostBytes(backup), "new");
    EXPECT_EQ(OpenForSizeCheck(kLog), INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileW(backup.c_str()));
    EXPECT_FALSE(DeleteFileW(backup.c_str()));
}

TEST_F(FilesTest, CreateDirectoryMakesParentsAndReportsExistingOrBadPaths) {
    EXPECT_FALSE(PathIsDirectoryW(L"D:\\a\\b\\c"));
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, L"D:\\a\\b\\c", nullptr), ERROR_SUCCESS);
    EXPECT_TRUE(PathIsDirectoryW(L"D:\\a\\b"));
    EXPECT_TRUE(PathIsDirectoryW(L"D:\\a\\b\\c"));
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, L"D:\\a\\b\\c", nullptr), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, L"relative\\dir", nullptr), ERROR_BAD_PATHNAME);
    FILE* file = _wfsopen(L"D:\\a\\file", L"w", _SH_DENYNO);
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    EXPECT_EQ(SHCreateDirectoryExW(nullptr, L"D:\\a\\file\\below", nullptr), ERROR_PATH_NOT_FOUND);
}

TEST_F(FilesTest, SystemDirectoryReportsLengthOrRequiredSize) {
    wchar_t buffer[261] = {};
    EXPECT_EQ(GetSystemDirectoryW(buffer, 260), 19u);
    EXPECT_STREQ(buffer, L"C:\\Windows\\system32");
    wchar_t small[5] = {L'x'};
    EXPECT_EQ(GetSystemDirectoryW(small, 5), 20u);
    EXPECT_EQ(small[0], L'x');
    winsim::FailCall("GetSystemDirectoryW", ERROR_ACCESS_DENIED);
    EXPECT_EQ(GetSystemDirectoryW(buffer, 260), 0u);
}

}  // namespace
