// UTF-8 <-> wide conversions.
#include "log_test_support.h"

#include <ssolog/trace.h>

namespace ssolog_test {
namespace {

class Utf8ToWideTest : public LogTest {};

TEST_F(Utf8ToWideTest, NullIsRefusedAndLeavesTheTextAlone) {
    std::wstring text = L"kept";
    EXPECT_FALSE(ssolog::Utf8ToWide(nullptr, text));
    EXPECT_EQ(text, L"kept");
}

TEST_F(Utf8ToWideTest, EmptyGivesAnEmptyTextWithoutConverting) {
    std::wstring text = L"old";
    EXPECT_TRUE(ssolog::Utf8ToWide("", text));
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(winsim::CallCount("MultiByteToWideChar"), 0u);
}

using Utf8Case = std::pair<const char*, const wchar_t*>;

class Utf8ToWideValueTest : public Utf8ToWideTest, public ::testing::WithParamInterface<Utf8Case> {};

TEST_P(Utf8ToWideValueTest, ReplacesTheTextWhole) {
    std::wstring text = L"previous content";
    EXPECT_TRUE(ssolog::Utf8ToWide(GetParam().first, text));
    EXPECT_EQ(text, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf8ToWideValueTest,
                         ::testing::Values(Utf8Case{"a", L"a"},
                                           Utf8Case{"wfapi.dll", L"wfapi.dll"},
                                           Utf8Case{"Gr\xc3\xbc\xc3\x9f" "e", L"Gr\u00fc\u00dfe"},
                                           Utf8Case{"\xe6\x97\xa5\xe6\x9c\xac", L"\u65e5\u672c"},
                                           Utf8Case{"\xf0\x9f\x98\x80!", L"\U0001F600!"}));

// Either step may fail; the text is cleared by then.
class Utf8ToWideFailureTest : public Utf8ToWideTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(Utf8ToWideFailureTest, FailedConversionAnswersFalse) {
    winsim::FailCall("MultiByteToWideChar", ERROR_INVALID_PARAMETER, GetParam());
    std::wstring text = L"old";
    EXPECT_FALSE(ssolog::Utf8ToWide("abc", text));
    EXPECT_TRUE(text.empty());
}

INSTANTIATE_TEST_SUITE_P(Steps, Utf8ToWideFailureTest, ::testing::Values(1u, 2u));

class WideToUtf8Test : public LogTest {};

TEST_F(WideToUtf8Test, NullAndEmptyGiveNothing) {
    EXPECT_EQ(ssolog::WideToUtf8(nullptr), "");
    EXPECT_EQ(ssolog::WideToUtf8(L""), "");
    EXPECT_EQ(winsim::CallCount("WideCharToMultiByte"), 0u);
}

TEST_F(WideToUtf8Test, EncodesEveryPlane) {
    EXPECT_EQ(ssolog::WideToUtf8(L"A\u00e9\u65e5\U0001F600"),
              "A\xc3\xa9\xe6\x97\xa5\xf0\x9f\x98\x80");
}

TEST_F(WideToUtf8Test, FailedConversionGivesNothing) {
    for (unsigned step : {1u, 2u}) {
        winsim::FailCall("WideCharToMultiByte", ERROR_INVALID_PARAMETER, step);
        EXPECT_EQ(ssolog::WideToUtf8(L"abc"), "") << "failing call " << step;
        winsim::ClearFaults();
    }
}

}  // namespace
}  // namespace ssolog_test
