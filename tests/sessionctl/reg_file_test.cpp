// The .reg reader on the shapes regedit and `reg export` really write.
#include "expect_input_error.h"
#include "reg_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sessionctl {
namespace {

using Bytes = std::vector<uint8_t>;
using Kind = RegOperation::Kind;

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

class RegFileParsing : public ::testing::Test {
protected:
    static std::vector<RegOperation> Parse(const std::string& body) { return ParseRegFile(kHeader + body, "x.reg"); }

    // The single SetValue the body produces (after its key line).
    static RegOperation OnlyValue(const std::string& body) {
        auto ops = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n" + body);
        EXPECT_EQ(ops.size(), 2u);
        return ops.back();
    }
};

struct ValueCase {
    const char* line;
    const wchar_t* name;
    uint32_t type;
    Bytes data;
};

class RegValueTypes : public RegFileParsing, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(RegValueTypes, DataAsWindowsStoresIt) {
    RegOperation op = OnlyValue(GetParam().line);
    EXPECT_EQ(op.kind, Kind::SetValue);
    EXPECT_EQ(op.name, GetParam().name);
    EXPECT_EQ(op.type, GetParam().type);
    EXPECT_EQ(op.data, GetParam().data);
}

INSTANTIATE_TEST_SUITE_P(
    EveryType, RegValueTypes,
    ::testing::Values(
        ValueCase{"\"Name\"=\"ab\"", L"Name", 1, {'a', 0, 'b', 0, 0, 0}},
        ValueCase{"\"OutputLog\"=dword:0000001f", L"OutputLog", 4, {0x1f, 0, 0, 0}},
        ValueCase{"\"Size\"=dword:A00000", L"Size", 4, {0, 0, 0xA0, 0}},
        ValueCase{"\"Blob\"=hex:de,ad,BE,ef", L"Blob", 3, {0xde, 0xad, 0xbe, 0xef}},
        ValueCase{"\"Empty\"=hex:", L"Empty", 3, {}},
        ValueCase{"\"Path\"=hex(2):25,00,54,00,00,00", L"Path", 2, {0x25, 0, 0x54, 0, 0, 0}},
        ValueCase{"\"List\"=hex(7):61,00,00,00,62,00,00,00,00,00", L"List", 7, {0x61, 0, 0, 0, 0x62, 0, 0, 0, 0, 0}},
        ValueCase{"\"Big\"=hex(b):01,00,00,00,00,00,00,80", L"Big", 11, {1, 0, 0, 0, 0, 0, 0, 0x80}},
        // The default value has an empty name.
        ValueCase{"@=\"default\"", L"", 1, {'d', 0, 'e', 0, 'f', 0, 'a', 0, 'u', 0, 'l', 0, 't', 0, 0, 0}}));

TEST_F(RegFileParsing, HexDataContinuesOverBackslashEndedLines) {
    RegOperation op = OnlyValue(
        "\"Multi\"=hex(7):61,00,62,00,00,00,\\\r\n"
        "  63,00,00,00,\\\r\n"
        "  00,00\r\n");
    EXPECT_EQ(op.type, 7u);
    EXPECT_EQ(op.data, (Bytes{0x61, 0, 0x62, 0, 0, 0, 0x63, 0, 0, 0, 0, 0}));
}

TEST_F(RegFileParsing, ContinuationDoesNotSwallowTheNextValue) {
    auto ops = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Test]\r\n\"A\"=hex:01,\\\r\n  02\r\n\"B\"=dword:00000003\r\n");
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[1].data, (Bytes{1, 2}));
    EXPECT_EQ(ops[2].name, L"B");
    EXPECT_EQ(ops[2].line, 6);
}

TEST_F(RegFileParsing, EscapedBackslashesAndQuotesInNamesAndTexts) {
    RegOperation op = OnlyValue("\"Say \\\"hi\\\"\"=\"C:\\\\Program Files\\\\Citrix\\\\\"");
    EXPECT_EQ(op.name, L"Say \"hi\"");
    EXPECT_EQ(Utf16LeToWide(op.data), std::wstring(L"C:\\Program Files\\Citrix\\") + L'\0');
}

TEST_F(RegFileParsing, Utf16FileWithByteOrderMark) {
    std::u16string text = u"Windows Registry Editor Version 5.00\r\n\r\n"
                          u"[HKEY_CURRENT_USER\\Volatile Environment]\r\n"
                          u"\"ViewClient_Machine_Name\"=\"\u00dcber-\u65e5\u672c\"\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    auto ops = ParseRegFile(bytes, "u16.reg");
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].path.root, RegRoot::CurrentUser);
    EXPECT_EQ(ops[0].path.key, L"Volatile Environment");
    EXPECT_EQ(ops[1].name, L"ViewClient_Machine_Name");
    EXPECT_EQ(ops[1].data, (Bytes{0xdc, 0x00, 'b', 0, 'e', 0, 'r', 0, '-', 0, 0xe5, 0x65, 0x2c, 0x67, 0, 0}));
}

TEST_F(RegFileParsing, DeletedKeyAndDeletedValue) {
    auto ops = Parse(
        "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData]\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog]\r\n"
        "\"OutputLogDir\"=-\r\n");
    ASSERT_EQ(ops.size(), 3u);
    EXPECT_EQ(ops[0].kind, Kind::DeleteKey);
    EXPECT_EQ(ops[0].path.key, L"SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData");
    EXPECT_EQ(ops[0].line, 3);
    EXPECT_EQ(ops[1].kind, Kind::CreateKey);
    EXPECT_EQ(ops[2].kind, Kind::DeleteValue);
    EXPECT_EQ(ops[2].name, L"OutputLogDir");
}

TEST_F(RegFileParsing, Wow6432NodeIsThe32BitViewOfSoftware) {
    auto ops = Parse("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\Citrix\\PortICA\\Install]\r\n"
                     "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432NodeX]\r\n");
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_TRUE(ops[0].path.view32);
    EXPECT_EQ(ops[0].path.key, L"SOFTWARE\\Citrix\\PortICA\\Install");
    EXPECT_FALSE(ops[1].path.view32);
    EXPECT_EQ(ops[1].path.key, L"SOFTWARE\\Wow6432NodeX");
}

TEST_F(RegFileParsing, Regedit4TextsInHexAreEightBit) {
    auto ops = ParseRegFile("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\T]\r\n\"P\"=hex(2):25,54,00\r\n", "old.reg");
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[1].data, (Bytes{0x25, 0, 0x54, 0, 0, 0}));
}

TEST_F(RegFileParsing, CommentsAndBlankLinesAreSkipped) {
    auto ops = Parse("; exported by support\r\n\r\n[HKEY_USERS\\S-1-5-18]\r\n  ; indented comment\r\n");
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].path.root, RegRoot::Users);
}

struct BadCase {
    const char* body;  // after the header (2 lines)
    int line;
    const char* message;
};

class RegFileBadInput : public RegFileParsing, public ::testing::WithParamInterface<BadCase> {};

TEST_P(RegFileBadInput, NamesFileAndLine) {
    sessionctl_test::ExpectInputError([this] { Parse(GetParam().body); }, "x.reg", GetParam().line, GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, RegFileBadInput,
    ::testing::Values(
        BadCase{"\"x\"=\"y\"\r\n", 3, "before the first [key]"},
        BadCase{"[HKEY_LOCAL_MACHINE\\S]\r\n\"x\"=dword:123456789\r\n", 4, "dword:"},
        BadCase{"[HKEY_LOCAL_MACHINE\\S]\r\n\"x\"=hex:01,zz\r\n", 4, "bad byte \"zz\""},
        BadCase{"[HKEY_LOCAL_MACHINE\\S]\r\n\"x\"=hex:01,\\\r\n 02,,03\r\n", 4, "bad byte"},
        BadCase{"[HKEY_LOCAL_MACHINE\\S]\r\n\"x\"=\"open\r\n", 4, "closing '\"'"},
        BadCase{"[HKEY_LOCAL_MACHINE\\S]\r\n\"x\"=\"a\\tb\"\r\n", 4, "unknown escape"},
        BadCase{"[HKEY_LOCAL_MACHINE\\S]\r\n\"x\"=qword:1\r\n", 4, "unknown value data"},
        BadCase{"[HKEY_LOCAL_MACHINE\\S]\r\nx=1\r\n", 4, "not a registry line"},
        BadCase{"[HKEY_NOWHERE\\S]\r\n", 3, "unknown registry root"},
        BadCase{"[HKEY_LOCAL_MACHINE\\S\r\n", 3, "closing ']'"},
        BadCase{"[-HKEY_LOCAL_MACHINE\\S]\r\n\"x\"=\"y\"\r\n", 4, "deleted key"}));

TEST(RegFileHeader, MissingHeaderIsReportedOnItsLine) {
    sessionctl_test::ExpectInputError([] { ParseRegFile("\r\n[HKEY_LOCAL_MACHINE\\S]\r\n", "no-header.reg"); },
                                      "no-header.reg", 2, "not a registry file");
}

}  // namespace
}  // namespace sessionctl
