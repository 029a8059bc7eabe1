// XenDesktopCtrl's session questions: state, station name and client address from
// Citrix; domain and user from Terminal Services.
#include "citrix_fixture.h"

#include <stdexcept>

namespace citrix_test {
namespace {

constexpr DWORD kSession = 5;

using XenDesktopQueryTest = XenDesktopFixture;

// ---- GetStatus ------------------------------------------------------------------------

struct StatusCase {
    const char* name;
    fake_wfapi::QueryAnswer answer;
    bool expected;
    int expectedState;  // the caller's value stays 77 on false
};

class XenDesktopStatusTest : public XenDesktopFixture,
                             public testing::WithParamInterface<StatusCase> {};

TEST_P(XenDesktopStatusTest, CopiesOnlyAFourByteState) {
    Initialize();
    fake_wfapi::AnswerQuery(kSession, WTSConnectState, GetParam().answer);
    int state = 77;
    EXPECT_EQ(ctrl_->GetStatus(kSession, state), GetParam().expected);
    EXPECT_EQ(state, GetParam().expectedState);
    EXPECT_EQ(fake_wfapi::Calls().front().infoClass, static_cast<int>(WTSConnectState));
}

fake_wfapi::QueryAnswer WithBytes(fake_wfapi::QueryAnswer answer, DWORD bytes) {
    answer.bytes = bytes;
    return answer;
}

INSTANTIATE_TEST_SUITE_P(
    Status, XenDesktopStatusTest,
    testing::Values(
        StatusCase{"Disconnected", fake_wfapi::ConnectState(WTSDisconnected), true, 4},
        StatusCase{"Active", fake_wfapi::ConnectState(WTSActive), true, 0},
        StatusCase{"ThreeBytes", fake_wfapi::Block({1, 0, 0}), false, 77},
        StatusCase{"EightBytes", fake_wfapi::Block({1, 0, 0, 0, 0, 0, 0, 0}), false, 77},
        StatusCase{"ZeroBytes", WithBytes(fake_wfapi::ConnectState(WTSActive), 0), false, 77},
        StatusCase{"NoBlock", fake_wfapi::NoBuffer(), false, 77},
        StatusCase{"Failed", fake_wfapi::Failure(ERROR_ACCESS_DENIED), false, 77},
        StatusCase{"FailedWithBlock", fake_wfapi::Failure(ERROR_ACCESS_DENIED, true), false,
                   77}),
    RowName());

// ---- GetWinStationName ----------------------------------------------------------------

TEST_F(XenDesktopQueryTest, StationNameComesFromCitrix) {
    Initialize();
    fake_wfapi::AnswerQuery(kSession, WTSWinStationName, fake_wfapi::Text(L"ICA-CGP#4"));
    std::wstring name = L"old";
    EXPECT_TRUE(ctrl_->GetWinStationName(kSession, name));
    EXPECT_EQ(name, L"ICA-CGP#4");
    EXPECT_EQ(fake_wfapi::Calls().front().infoClass, static_cast<int>(WTSWinStationName));
}

TEST_F(XenDesktopQueryTest, EmptyStationNameIsConsole) {
    Initialize();
    fake_wfapi::AnswerQuery(kSession, WTSWinStationName, fake_wfapi::Text(L""));
    std::wstring name = L"old";
    EXPECT_TRUE(ctrl_->GetWinStationName(kSession, name));
    EXPECT_EQ(name, L"Console");
}

TEST_F(XenDesktopQueryTest, FailedStationNameTracesTheWideErrorAndKeepsTheName) {
    Initialize();
    fake_wfapi::AnswerQuery(kSession, WTSWinStationName,
                            fake_wfapi::Failure(ERROR_CTX_WINSTATION_NOT_FOUND, true));
    std::wstring name = L"old";
    EXPECT_FALSE(ctrl_->GetWinStationName(kSession, name));
    EXPECT_EQ(name, L"old");
    EXPECT_TRUE(Logged("[WFAPI] GetWinStationName error >, 7022 (0x1b6e)"));
}

TEST_F(XenDesktopQueryTest, StationNameOfZeroBytesIsAnError) {
    Initialize();
    fake_wfapi::AnswerQuery(kSession, WTSWinStationName,
                            WithBytes(fake_wfapi::Text(L"ICA-CGP#4"), 0));
    std::wstring name = L"old";
    SetLastError(ERROR_MORE_DATA);
    EXPECT_FALSE(ctrl_->GetWinStationName(kSession, name));
    EXPECT_EQ(name, L"old");
    EXPECT_TRUE(Logged("[WFAPI] GetWinStationName error >, 234 (0xea)"));
}

TEST_F(XenDesktopQueryTest, OwnStationNameGoesThroughCitrixForTheCallersSession) {
    Initialize();
    winsim::SetCurrentSession(2);
    fake_wfapi::AnswerQuery(2, WTSWinStationName, fake_wfapi::Text(L"ICA-CGP#2"));
    std::wstring name;
    EXPECT_TRUE(ctrl_->GetWinStationName(name));
    EXPECT_EQ(name, L"ICA-CGP#2");
}

// ---- GetClientAddress -----------------------------------------------------------------

struct AddressCase {
    const char* name;
    fake_wfapi::QueryAnswer answer;
    bool isLocalBefore;
    bool expected;
    std::wstring expectedAddress;
    bool expectedIsLocal;
};

class XenDesktopAddressTest : public XenDesktopFixture,
                              public testing::WithParamInterface<AddressCase> {};

TEST_P(XenDesktopAddressTest, RendersTheCitrixRecord) {
    Initialize();
    fake_wfapi::AnswerQuery(kSession, WTSClientAddress, GetParam().answer);
    std::wstring address = L"old";
    bool isLocal = GetParam().isLocalBefore;
    EXPECT_EQ(ctrl_->GetClientAddress(kSession, address, isLocal), GetParam().expected);
    EXPECT_EQ(address, GetParam().expectedAddress);
    EXPECT_EQ(isLocal, GetParam().expectedIsLocal);
}

const std::array<BYTE, 20> kIPv4 = {0xEE, 0xEE, 192, 0, 2, 10};
const std::array<BYTE, 20> kIPv6 = {0, 0, 0xfe, 0x80, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 3, 0, 4};

INSTANTIATE_TEST_SUITE_P(
    Address, XenDesktopAddressTest,
    testing::Values(
        AddressCase{"IPv4", fake_wfapi::AddressRecord(AF_INET, kIPv4), true, true,
                    L"192.0.2.10", false},
        AddressCase{"IPv6", fake_wfapi::AddressRecord(AF_INET6, kIPv6), true, true,
                    L"fe80:0:0:0:1:2:3:4", false},
        AddressCase{"OtherFamily", fake_wfapi::AddressRecord(AF_UNSPEC, kIPv4), true, false, L"",
                    false},
        AddressCase{"NoRecordIsLocal", fake_wfapi::NoBuffer(), false, true, L"", true},
        AddressCase{"FailedKeepsTheFlag", fake_wfapi::Failure(ERROR_ACCESS_DENIED, true), true,
                    false, L"", true},
        AddressCase{"FailedKeepsTheClearedFlag", fake_wfapi::Failure(ERROR_ACCESS_DENIED), false,
                    false, L"", false}),
    RowName());

// Formats through the virtual table; this one fails the way an allocation would.
class ThrowingFormatCtrl : public sessionctrl::XenDesktopCtrl {
public:
    bool FormatIPv4Address(const unsigned char*, DWORD, std::wstring&) override {
        throw std::bad_alloc();
    }
};

TEST_F(XenDesktopQueryTest, AddressFormattedThroughTheVirtualTableAndFreedOnException) {
    ctrl_ = std::make_unique<ThrowingFormatCtrl>();
    Initialize();
    fake_wfapi::AnswerQuery(kSession, WTSClientAddress, fake_wfapi::AddressRecord(AF_INET, kIPv4));
    std::wstring address = L"old";
    bool isLocal = true;
    EXPECT_FALSE(ctrl_->GetClientAddress(kSession, address, isLocal));
    EXPECT_EQ(fake_wfapi::CallCount("WFFreeMemory"), 1u);
}

// An exception out of wfapi.dll after it handed out a block: caught, block given back.
TEST_F(XenDesktopQueryTest, CitrixQueriesCatchExceptionsAndGiveTheBlockBack) {
    Initialize();
    for (int infoClass : {WTSConnectState, WTSWinStationName, WTSClientAddress}) {
        auto answer = fake_wfapi::Text(L"ICA-CGP#4");
        answer.throwAfterBuffer = true;
        fake_wfapi::AnswerQuery(kSession, infoClass, answer);
    }
    int state = 77;
    std::wstring name = L"old";
    std::wstring address = L"old";
    bool isLocal = true;
    EXPECT_FALSE(ctrl_->GetStatus(kSession, state));
    EXPECT_FALSE(ctrl_->GetWinStationName(kSession, name));
    EXPECT_FALSE(ctrl_->GetClientAddress(kSession, address, isLocal));
    EXPECT_EQ(state, 77);
    EXPECT_EQ(name, L"old");
    EXPECT_EQ(fake_wfapi::CallCount("WFFreeMemory"), 3u);
    EXPECT_EQ(winsim::CountOutstanding().lockedSections, 0);
}

// ---- domain and user (Terminal Services) -------------------------------------------------

TEST_F(XenDesktopQueryTest, DomainAndUserComeFromTerminalServices) {
    Initialize();
    winsim::SessionSpec session;
    session.id = kSession;
    session.user = L"bob";
    session.domain = L"CORP";
    winsim::AddSession(session);
    std::wstring domain;
    std::wstring user;
    EXPECT_TRUE(ctrl_->GetLoggedOnWinDomain(kSession, domain));
    EXPECT_TRUE(ctrl_->GetSessionUserName(kSession, user));
    EXPECT_EQ(domain, L"CORP");
    EXPECT_EQ(user, L"bob");
    EXPECT_TRUE(fake_wfapi::Calls().empty());
}

TEST_F(XenDesktopQueryTest, EmptyDomainAndUserAreAnswers) {
    Initialize();
    winsim::SessionSpec session;
    session.id = kSession;
    winsim::AddSession(session);
    std::wstring domain = L"old";
    std::wstring user = L"old";
    EXPECT_TRUE(ctrl_->GetLoggedOnWinDomain(kSession, domain));
    EXPECT_TRUE(ctrl_->GetSessionUserName(kSession, user));
    EXPECT_EQ(domain, L"");
    EXPECT_EQ(user, L"");
}

TEST_F(XenDesktopQueryTest, FailedDomainAndUserTraceTheNarrowErrors) {
    Initialize();
    winsim::SessionSpec session;
    session.id = kSession;
    session.user = L"bob";
    session.domain = L"CORP";
    session.failingInfo = {{WTSDomainName, ERROR_ACCESS_DENIED},
                           {WTSUserName, ERROR_CTX_WINSTATION_NOT_FOUND}};
    winsim::AddSession(session);
    std::wstring domain = L"old";
    std::wstring user = L"old";
    EXPECT_FALSE(ctrl_->GetLoggedOnWinDomain(kSession, domain));
    EXPECT_FALSE(ctrl_->GetSessionUserName(kSession, user));
    EXPECT_EQ(domain, L"old");
    EXPECT_EQ(user, L"old");
    EXPECT_EQ(LoggedTexts(), (std::vector<std::string>{
                                 "[WFAPI] GetLoggedOnWinDomain error >, 5 (0x5)",
                                 "[WFAPI] GetSessionUserName error >, 7022 (0x1b6e)"}));
}

TEST_F(XenDesktopQueryTest, OwnDomainUsesTheCallersSession) {
    Initialize();
    winsim::SetCurrentSession(kSession);
    winsim::SessionSpec session;
    session.id = kSession;
    session.user = L"bob";
    winsim::AddSession(session);
    std::wstring domain = L"old";
    // XenDesktopCtrl, unlike RDPCtrl, answers true for an empty domain.
    EXPECT_TRUE(ctrl_->GetLoggedOnWinDomain(domain));
    EXPECT_EQ(domain, L"");
}

}  // namespace
}  // namespace citrix_test
