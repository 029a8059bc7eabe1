// The bytes of a log line: header columns, text, comma, detail and CR LF.
#include "log_test_support.h"

#include "debug_log.h"

#include <tuple>

namespace ssolog_test {
namespace {

class LineFormatTest : public LogTest {
protected:
    std::string WriteOne(const wchar_t* text, const wchar_t* detail) {
        SwitchOn();
        {
            ssolog::DebugLog log(L"session.log");
            log.WriteLine(text, detail);
        }
        return ReadBytes(InLogDir(L"session.log"));
    }
};

TEST_F(LineFormatTest, HeaderCarriesLocalTimeSessionProcessAndThread) {
    winsim::SetLocalTime(2026, 12, 4, 9, 5, 3, 42);
    winsim::SetCurrentSession(2);
    EXPECT_EQ(WriteOne(L"Initialize...", L"XenDesktop"),
              "2026/12/04T09:05:03.042, SID:000002, PID:004711, TID:005120, "
              "Initialize..., XenDesktop\r\n");
}

TEST_F(LineFormatTest, EveryTimeColumnIsZeroPadded) {
    winsim::SetLocalTime(2027, 1, 2, 3, 4, 5, 6);
    EXPECT_EQ(WriteOne(L"t", nullptr).substr(0, 25), "2027/01/02T03:04:05.006, ");
}

TEST_F(LineFormatTest, IdsBeyondSixDigitsArePrintedInFull) {
    winsim::SetCurrentProcessId(12345678);
    winsim::SetCurrentThreadId(1234567);
    winsim::SetCurrentSession(1000000);
    EXPECT_EQ(WriteOne(L"x", nullptr),
              "2026/12/04T09:05:03.042, SID:1000000, PID:12345678, TID:1234567, x,\r\n");
}

TEST_F(LineFormatTest, SessionIsZeroWhenItCannotBeFound) {
    winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED);
    EXPECT_EQ(WriteOne(L"x", nullptr),
              "2026/12/04T09:05:03.042, SID:000000, PID:004711, TID:005120, x,\r\n");
}

// text, detail, what follows the header
using TextCase = std::tuple<const wchar_t*, const wchar_t*, const char*>;

class LineTextTest : public LineFormatTest, public ::testing::WithParamInterface<TextCase> {};

TEST_P(LineTextTest, TextCommaDetailAndLineEnd) {
    const auto& [text, detail, tail] = GetParam();
    EXPECT_EQ(WriteOne(text, detail), std::string(kResetHeader) + tail);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, LineTextTest,
    ::testing::Values(TextCase{nullptr, nullptr, ",\r\n"},
                      TextCase{L"IsConnected >", nullptr, "IsConnected >,\r\n"},
                      TextCase{L"IsConnected >", L"true", "IsConnected >, true\r\n"},
                      TextCase{L"x", L"", "x, \r\n"},
                      TextCase{nullptr, L"detail", ", detail\r\n"},
                      TextCase{L"", L"", ", \r\n"},
                      // Non-ASCII text reaches the file as UTF-8, without byte-order mark.
                      TextCase{L"Gr\u00fc\u00dfe", L"\u65e5\u672c",
                               "Gr\xc3\xbc\xc3\x9f" "e, \xe6\x97\xa5\xe6\x9c\xac\r\n"},
                      TextCase{L"\U0001F600", nullptr, "\xf0\x9f\x98\x80,\r\n"}));

}  // namespace
}  // namespace ssolog_test
