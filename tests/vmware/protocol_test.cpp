// SessionCtrl::IsPCoIPConnect and the two protocol tests behind it, for the caller's
// own session.
#include "vmware_fixture.h"

#include <sessionctrl/SessionCtrl.h>
#include <tessark/tessark.h>
#include <vmware_view.h>

#include <gmock/gmock.h>

#include <optional>

namespace vmware_test {
namespace {

using sessionctrl::SessionCtrl;
using sessionctrl::vmware::IsBlastSession;
using sessionctrl::vmware::IsPCoIPSession;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::Not;

struct ConnectRow {
    const char* name;
    bool remoteForWindows;
    const wchar_t* version;
    std::optional<std::wstring> address;   // ViewClient_IP_Address of the caller's session
    std::optional<std::wstring> protocol;  // ViewClient_Protocol of the caller's session
    bool pcoipServerRunning;               // in the caller's session
    bool expected;
    const char* trace;
};
void PrintTo(const ConnectRow& row, std::ostream* os) { *os << row.name; }

class PCoIPConnectTest : public VMwareFixture, public testing::WithParamInterface<ConnectRow> {};

TEST_P(PCoIPConnectTest, AnswersAndTraces) {
    const ConnectRow& row = GetParam();
    winsim::SetRemoteSession(row.remoteForWindows);
    SetVdmVersion(row.version);
    if (row.address) RecordClientAddress(kOwnSession, *row.address);
    if (row.protocol) RecordProtocol(kOwnSession, *row.protocol);
    if (row.pcoipServerRunning) RunProcess(kOwnSession, L"pcoip_server_win32.exe");
    EXPECT_EQ(SessionCtrl::IsPCoIPConnect(), row.expected);
    EXPECT_THAT(LoggedTexts(),
                ElementsAre("Initialize..., VMware View", "Session control [VMware],", row.trace));
}

INSTANTIATE_TEST_SUITE_P(
    Horizon, PCoIPConnectTest,
    testing::Values(
        ConnectRow{"RemoteForWindows", true, L"7.5.1", L"192.0.2.1", L"BLAST", true, false,
                   "PCoIP Connect >, false"},
        ConnectRow{"Below7ServerRunning", false, L"6.2.0", std::nullopt, std::nullopt, true, true,
                   "PCoIP Connect >, true"},
        ConnectRow{"Below7NoServer", false, L"6.2.0", std::nullopt, std::nullopt, false, false,
                   "PCoIP Connect >, false"},
        ConnectRow{"Below7RecordsIgnored", false, L"6.2.0", L"192.0.2.1", L"BLAST", false, false,
                   "PCoIP Connect >, false"},
        ConnectRow{"Below7BlastNeverSeen", false, L"6.2.0", L"192.0.2.1", L"BLAST", true, true,
                   "PCoIP Connect >, true"},
        ConnectRow{"From7Blast", false, L"7.5.1", L"192.0.2.1", L"BLAST", false, true,
                   "Blast Connect >, true"},
        ConnectRow{"From7BlastLowerCase", false, L"7.5.1", L"192.0.2.1", L"blast", false, true,
                   "Blast Connect >, true"},
        ConnectRow{"From7BlastMixedCase", false, L"7.5.1", L"192.0.2.1", L"Blast", false, true,
                   "Blast Connect >, true"},
        ConnectRow{"From7BlastTrailingBlank", false, L"7.5.1", L"192.0.2.1", L"BLAST ", false,
                   true, "PCoIP Connect >, true"},
        ConnectRow{"From7OtherProtocol", false, L"7.5.1", L"192.0.2.1", L"PCOIP", false, true,
                   "PCoIP Connect >, true"},
        ConnectRow{"From7EmptyProtocol", false, L"7.5.1", L"192.0.2.1", L"", false, true,
                   "PCoIP Connect >, true"},
        ConnectRow{"From7NoProtocol", false, L"7.5.1", L"192.0.2.1", std::nullopt, false, true,
                   "PCoIP Connect >, true"},
        ConnectRow{"From7ProtocolWithoutAddress", false, L"7.5.1", std::nullopt, L"BLAST", false,
                   false, "PCoIP Connect >, false"},
        ConnectRow{"From7EmptyAddress", false, L"7.5.1", L"", L"BLAST", false, false,
                   "PCoIP Connect >, false"},
        ConnectRow{"From7ServerRunningNoRecord", false, L"7.5.1", std::nullopt, std::nullopt,
                   true, false, "PCoIP Connect >, false"}),
    RowName());

class ProtocolTest : public VMwareFixture {};

TEST_F(ProtocolTest, BlastAloneDoesNotNeedAnAddress) {
    SetVdmVersion(L"7.5.1");
    RecordProtocol(kOwnSession, L"BLAST");
    EXPECT_TRUE(IsBlastSession());
    EXPECT_FALSE(IsPCoIPSession());
}

TEST_F(ProtocolTest, OnlyTheCallersSessionRecordCounts) {
    SetVdmVersion(L"7.5.1");
    RecordClientAddress(2, L"192.0.2.1");
    RecordProtocol(2, L"BLAST");
    EXPECT_FALSE(IsPCoIPSession());
    EXPECT_FALSE(IsBlastSession());
    winsim::SetCurrentSession(2);
    EXPECT_TRUE(IsPCoIPSession());
    EXPECT_TRUE(IsBlastSession());
}

TEST_F(ProtocolTest, UnknownOwnSessionFrom7IsNeither) {
    SetVdmVersion(L"7.5.1");
    RecordClientAddress(0, L"192.0.2.1");
    RecordProtocol(0, L"BLAST");
    winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(IsPCoIPSession());
    EXPECT_FALSE(IsBlastSession());
}

TEST_F(ProtocolTest, RemoteForWindowsReadsNothing) {
    SetVdmVersion(L"7.5.1");
    RecordClientAddress(kOwnSession, L"192.0.2.1");
    RecordProtocol(kOwnSession, L"BLAST");
    RunProcess(kOwnSession, L"pcoip_server_win32.exe");
    winsim::SetRemoteSession(true);
    EXPECT_FALSE(IsPCoIPSession());
    EXPECT_FALSE(IsBlastSession());
    EXPECT_EQ(winsim::CallCount("RegOpenKeyExW"), 0u);
    EXPECT_EQ(winsim::CallCount("WTSEnumerateProcessesW"), 0u);
}

struct OtherProduct {
    const char* name;
    const wchar_t* product;  // nullptr: nothing installed
};
void PrintTo(const OtherProduct& row, std::ostream* os) { *os << row.name; }

class PCoIPConnectOtherProductTest : public VMwareFixture,
                                     public testing::WithParamInterface<OtherProduct> {};

TEST_P(PCoIPConnectOtherProductTest, IsFalseWithoutTracingOrLooking) {
    winsim::DeleteKey(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey);
    if (GetParam().product != nullptr) InstallProduct(GetParam().product);
    SetVdmVersion(L"7.5.1");
    RecordClientAddress(kOwnSession, L"192.0.2.1");
    EXPECT_FALSE(SessionCtrl::IsPCoIPConnect());
    for (const auto& text : LoggedTexts()) EXPECT_THAT(text, Not(HasSubstr("Connect >")));
    // IsPCoIPSession would ask Windows about the session first.
    EXPECT_EQ(winsim::CallCount("GetSystemMetrics"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Products, PCoIPConnectOtherProductTest,
                         testing::Values(OtherProduct{"None", nullptr},
                                         OtherProduct{"XenApp", L"XenApp"}),
                         RowName());

}  // namespace
}  // namespace vmware_test
