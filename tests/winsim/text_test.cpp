// Text: UTF-8 conversions with Win32 counting, wsprintfW formats, CRT helpers.
#include "winsim_test.h"

#include <string>

namespace {

class Utf8Test : public FreshMachine {
protected:
    static std::string ToUtf8(const std::wstring& text) {
        const int needed = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                               nullptr, nullptr);
        std::string bytes(static_cast<size_t>(needed), '\0');
        EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(),
                                      needed, nullptr, nullptr),
                  needed);
        return bytes;
    }
};

TEST_F(Utf8Test, MinusOneLengthCountsTheTerminatorBothWays) {
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"abc", -1, nullptr, 0, nullptr, nullptr), 4);
    wchar_t wide[4] = {L'x', L'x', L'x', L'x'};
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, wide, 4), 4);
    EXPECT_EQ(wide[3], L'\0');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 0), 3);
}

TEST_F(Utf8Test, TooSmallOutputFailsWithInsufficientBuffer) {
    char bytes[2];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"\u00e9t\u00e9", 3, bytes, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    wchar_t wide[2];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, wide, 2), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(Utf8Test, InvalidArgumentsFailWithInvalidParameter) {
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 0, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    BOOL usedDefault = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a", 1, nullptr, 0, nullptr, &usedDefault), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Utf8Test, EncodesEveryPlaneAndCombinesSurrogatePairs) {
    EXPECT_EQ(ToUtf8(L"\u00e9\u65e5"), "\xC3\xA9\xE6\x97\xA5");
    EXPECT_EQ(ToUtf8(L"\U0001F600"), "\xF0\x9F\x98\x80");
    const wchar_t pair[] = {0xD83D, 0xDE00};  // the same character written as UTF-16
    EXPECT_EQ(ToUtf8(std::wstring(pair, 2)), "\xF0\x9F\x98\x80");
}

TEST_F(Utf8Test, UnpairedSurrogatesBecomeReplacementCharacters) {
    const wchar_t lone[] = {L'a', 0xD800, L'b', 0xDC00};
    EXPECT_EQ(ToUtf8(std::wstring(lone, 4)), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST_F(Utf8Test, DecodesAndReplacesInvalidSequences) {
    wchar_t wide[8] = {};
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80\xC3\xA9", 6, wide, 8), 2);
    EXPECT_EQ(wide[0], static_cast<wchar_t>(0x1F600));
    EXPECT_EQ(wide[1], static_cast<wchar_t>(0xE9));
    ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, "a\xFF\xE6\x97z", 5, wide, 8), 4);
    EXPECT_EQ(wide[1], static_cast<wchar_t>(0xFFFD));
    EXPECT_EQ(wide[2], static_cast<wchar_t>(0xFFFD));  // truncated sequence: one replacement
    EXPECT_EQ(wide[3], L'z');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xFF", 2, wide, 8), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

struct FormatCase {
    const wchar_t* format;
    int value;
    const wchar_t* expected;
};

void PrintTo(const FormatCase& c, std::ostream* out) {
    *out << '"' << std::string(c.format, c.format + std::wcslen(c.format)) << "\" with " << c.value;
}

class WsprintfTest : public FreshMachine, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(WsprintfTest, FormatsLikeWindows) {
    wchar_t buffer[64] = {};
    const int written = wsprintfW(buffer, GetParam().format, GetParam().value, GetParam().value);
    EXPECT_STREQ(buffer, GetParam().expected);
    EXPECT_EQ(written, static_cast<int>(std::wcslen(GetParam().expected)));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, WsprintfTest,
    ::testing::Values(FormatCase{L"%d (0x%x)", -1, L"-1 (0xffffffff)"}, FormatCase{L"%d (0x%x)", 255, L"255 (0xff)"},
                      FormatCase{L"%04d", 7, L"0007"}, FormatCase{L"%02d|%02d", 5, L"05|05"},
                      FormatCase{L"%04d", -7, L"-007"}, FormatCase{L"%5d|%-5d|", 42, L"   42|42   |"},
                      FormatCase{L"%u", -1, L"4294967295"}, FormatCase{L"%X", 48879, L"BEEF"},
                      FormatCase{L"%c%c", L'Z', L"ZZ"}, FormatCase{L"100%% %d", 3, L"100% 3"},
                      FormatCase{L"%hd|%hu", 65535, L"-1|65535"},
                      FormatCase{L"<< out - %d [msec]", 12, L"<< out - 12 [msec]"}));

using WsprintfTextTest = FreshMachine;

TEST_F(WsprintfTextTest, WideStringsAndTheWindowsOutputCap) {
    wchar_t buffer[2048];
    EXPECT_EQ(wsprintfW(buffer, L"[%s|%-4s|%3s]", L"ab", L"c", L"d"), 13);
    EXPECT_STREQ(buffer, L"[ab|c   |  d]");
    const std::wstring longText(1500, L'x');
    EXPECT_EQ(wsprintfW(buffer, L"%s", longText.c_str()), 1023);
    EXPECT_EQ(std::wcslen(buffer), 1023u);
}

using CrtTextTest = FreshMachine;

TEST_F(CrtTextTest, SprintfSFormatsAndFlagsOverflow) {
    char header[256];
    EXPECT_EQ(sprintf_s(header, sizeof header, "SID:%06d, PID:%06d", 2, 12345678), 24);
    EXPECT_STREQ(header, "SID:000002, PID:12345678");
    char tiny[4];
    EXPECT_EQ(sprintf_s(tiny, sizeof tiny, "%d", 12345), -1);
    EXPECT_STREQ(tiny, "");
    EXPECT_EQ(winsim::Misuses().size(), 1u);
}

TEST_F(CrtTextTest, WtoiAndCaseInsensitiveCompare) {
    EXPECT_EQ(_wtoi(L"  -42abc"), -42);
    EXPECT_EQ(_wtoi(L"+7"), 7);
    EXPECT_EQ(_wtoi(L"x7"), 0);
    EXPECT_EQ(_wtoi(L"99999999999"), 2147483647);
    EXPECT_EQ(_wcsicmp(L"vmware-view.EXE", L"VMware-View.exe"), 0);
    EXPECT_LT(_wcsicmp(L"abc", L"abd"), 0);
    EXPECT_GT(_wcsicmp(L"abcd", L"ABC"), 0);
}

}  // namespace
