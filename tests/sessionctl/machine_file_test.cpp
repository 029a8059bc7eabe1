// Machine descriptions: strict JSON, every field checked, every fault named by file and line.
#include "expect_input_error.h"
#include "json.h"
#include "machine_model.h"

#include <gtest/gtest.h>

#include <string>

namespace sessionctl {
namespace {

using Bytes = std::vector<uint8_t>;

struct BadMachine {
    const char* json;
    int line;
    const char* message;
};

class MachineFileBadInput : public ::testing::TestWithParam<BadMachine> {};

TEST_P(MachineFileBadInput, OneMessageWithFileAndLine) {
    sessionctl_test::ExpectInputError([this] { ParseMachine(GetParam().json, "m.json"); }, "m.json", GetParam().line,
                                      GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, MachineFileBadInput,
    ::testing::Values(
        BadMachine{"{\n \"product\": \"none\",\n}", 3, "expected a member name"},
        BadMachine{"{\n \"product\": \"none\"\n \"windows\": {}\n}", 3, "',' or '}'"},
        BadMachine{"{\n  \"sesions\": []\n}", 2, "unknown field \"sesions\""},
        BadMachine{"{\"sessions\": [\n {\"id\": 1,\n  \"stat\": \"Active\"}]}", 3, "unknown field \"stat\" in session"},
        BadMachine{"{\"sessions\": [{\"id\": 1, \"state\": \"Busy\"}]}", 1, "unknown session state \"Busy\""},
        BadMachine{"{\"sessions\": [\n\n {\"station\": \"x\"}]}", 3, "needs the field \"id\""},
        BadMachine{"{\"product\": \"Horizon\"}", 1, "unknown product \"Horizon\""},
        BadMachine{"{\"sessions\": [{\"id\": -1}]}", 1, "whole number"},
        BadMachine{"{\"sessions\": [{\"id\": 1.5}]}", 1, "whole number"},
        BadMachine{"{\"windows\": {\"version\": 10}}", 1, "expected a string"},
        BadMachine{"{\"windows\": {\"version\": \"ten\"}}", 1, "major.minor"},
        BadMachine{"{\"registry\": {\"HKLM\\\\S\": {\n \"v\": true}}}", 2, "expected a string, a number, null"},
        BadMachine{"{\"registry\": {\"HKXX\\\\S\": {}}}", 1, "registry key \"HKXX\\S\""},
        BadMachine{"{\"registry\": {\"HKLM\\\\S\": {\"v\": {\"type\": \"REG_FOO\", \"value\": 1}}}}", 1, "unknown registry type"},
        BadMachine{"{\"registry\": {\"HKLM\\\\S\": {\"v\": {\"type\": \"REG_BINARY\", \"value\": \"0g\"}}}}", 1, "hexadecimal pairs"},
        BadMachine{"{\n\"product\": \"none\",\n\"product\": \"XenApp\"}", 3, "duplicate member \"product\""},
        BadMachine{"{\"description\": \"a\tb\"}", 1, "control character"},
        BadMachine{"{\"sessions\": [{\"id\": 1},\n {\"id\": 1}]}", 2, "described twice"},
        BadMachine{"{\"sessions\": [{\"id\": 1, \"client\": \"300.1.1.1\"}]}", 1, "IPv4 or IPv6"},
        BadMachine{"{\"citrix\": {\"wfapi\": false}}", 1, "needs the field \"location\""},
        BadMachine{"[]", 1, "expected an object"},
        BadMachine{"{\"a\": 01}", 1, "leading zero"},
        BadMachine{"{\"a\": \"\\ud800\"}", 1, "unpaired surrogate"},
        BadMachine{"{}\n\n x", 3, "unexpected text after"},
        BadMachine{"{\"caller\": {\n\"session\": 1,\n\"remote\": \"yes\"}}", 3, "expected a boolean"}));

TEST(MachineFileContent, FieldsBecomeTheModel) {
    MachineModel model = ParseMachine(R"({
        "product": ["XenApp", "VMwareHorizon"],
        "windows": {"version": "6.1", "servicePack": 1, "wow64": true},
        "caller": {"session": 3, "pid": 99, "user": "svc", "remote": true},
        "sessions": [{"id": 3, "station": "ICA-TCP#1", "user": "alice", "domain": "CONTOSO",
                      "state": "Disconnected", "client": "10.1.2.3"}],
        "processes": [{"pid": 5, "session": 3, "name": "wfshell.exe"}],
        "citrix": {"location": "C:\\Citrix\\", "wfapi": false}
    })", "m.json");
    EXPECT_EQ(model.products, (std::vector<std::wstring>{L"XenApp", L"VMwareHorizon"}));
    EXPECT_EQ(model.windowsMajor, 6u);
    EXPECT_EQ(model.windowsMinor, 1u);
    EXPECT_EQ(model.servicePack, 1u);
    EXPECT_TRUE(model.wow64);
    EXPECT_EQ(model.callerSession, 3u);
    EXPECT_EQ(model.callerPid, 99u);
    EXPECT_EQ(model.callerUser, L"svc");
    EXPECT_TRUE(model.callerRemote);
    ASSERT_EQ(model.sessions.size(), 1u);
    EXPECT_EQ(model.sessions[0].state, 4u);
    EXPECT_EQ(model.sessions[0].domain, L"CONTOSO");
    EXPECT_EQ(model.sessions[0].sid, DefaultUserSid(3));
    ASSERT_TRUE(model.sessions[0].client);
    EXPECT_EQ(model.sessions[0].client->family, 2u);
    ASSERT_EQ(model.processes.size(), 1u);
    EXPECT_EQ(model.processes[0].name, L"wfshell.exe");
    ASSERT_TRUE(model.citrix);
    EXPECT_EQ(model.citrix->location, L"C:\\Citrix\\");
    EXPECT_FALSE(model.citrix->wfapi);
}

TEST(MachineFileContent, NoneInstallsNothingAndNullClientIsTheConsole) {
    MachineModel model = ParseMachine(R"({"product": "none", "sessions": [{"id": 1, "client": null}]})", "m.json");
    EXPECT_TRUE(model.products.empty());
    EXPECT_FALSE(model.sessions[0].client);
}

TEST(MachineFileContent, RegistryValueForms) {
    MachineModel model = ParseMachine(R"({"registry": {
        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Wow6432Node\\T": {
            "s": "ab", "d": 258, "gone": null,
            "m": {"type": "REG_MULTI_SZ", "value": ["a", "b"]},
            "x": {"type": "REG_EXPAND_SZ", "value": "%T"},
            "b": {"type": "REG_BINARY", "value": "01 ff,10"}
        },
        "HKU\\S-1-5-18\\Empty": {}
    }})", "m.json");
    const auto& ops = model.registry;
    ASSERT_EQ(ops.size(), 8u);
    EXPECT_EQ(ops[0].kind, RegOperation::Kind::CreateKey);
    EXPECT_TRUE(ops[0].path.view32);
    EXPECT_EQ(ops[0].path.key, L"SOFTWARE\\T");
    EXPECT_EQ(ops[1].type, 1u);
    EXPECT_EQ(ops[1].data, (Bytes{'a', 0, 'b', 0, 0, 0}));
    EXPECT_EQ(ops[2].type, 4u);
    EXPECT_EQ(ops[2].data, (Bytes{2, 1, 0, 0}));
    EXPECT_EQ(ops[3].kind, RegOperation::Kind::DeleteValue);
    EXPECT_EQ(ops[4].type, 7u);
    EXPECT_EQ(ops[4].data, (Bytes{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
    EXPECT_EQ(ops[5].type, 2u);
    EXPECT_EQ(ops[6].data, (Bytes{0x01, 0xff, 0x10}));
    EXPECT_EQ(ops[7].path.root, RegRoot::Users);
    EXPECT_EQ(ops[7].path.key, L"S-1-5-18\\Empty");
}

struct AddressCase {
    const char* text;
    uint32_t family;
    Bytes bytes2to17;  // empty: rejected
};

class ClientAddresses : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ClientAddresses, AsTheTerminalServicesRecord) {
    auto record = ParseClientAddress(GetParam().text);
    if (GetParam().bytes2to17.empty()) {
        EXPECT_FALSE(record) << GetParam().text;
        return;
    }
    ASSERT_TRUE(record) << GetParam().text;
    EXPECT_EQ(record->family, GetParam().family);
    EXPECT_EQ(Bytes(record->bytes.begin() + 2, record->bytes.begin() + 2 + GetParam().bytes2to17.size()),
              GetParam().bytes2to17);
    EXPECT_EQ(record->bytes[0], 0);
    EXPECT_EQ(record->bytes[1], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ClientAddresses,
    ::testing::Values(
        AddressCase{"192.0.2.10", 2, {192, 0, 2, 10}},
        AddressCase{"::1", 23, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        AddressCase{"fe80::1:2:3:4", 23, {0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 3, 0, 4}},
        AddressCase{"2001:db8:0:0:0:0:0:1", 23, {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
        AddressCase{"1.2.3", 0, {}},
        AddressCase{"1.2.3.256", 0, {}},
        AddressCase{"1:2:3:4:5:6:7:8:9", 0, {}},
        AddressCase{"1::2::3", 0, {}},
        AddressCase{"12345::1", 0, {}}));

}  // namespace
}  // namespace sessionctl
