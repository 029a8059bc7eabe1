// XenDesktopCtrl::IsLocalSession and its version test.
#include "citrix_fixture.h"

namespace citrix_test {
namespace {

constexpr DWORD kOwnSession = 3;

enum class Windows { Ten, EightPointOne };

struct LocalCase {
    const char* name;
    bool remoteDesktop;
    Windows windows;
    void (*arrange)();
    bool expectedLocal;
    const char* citrixCall;  // the one call expected into wfapi.dll besides freeing, or null
};

const std::array<BYTE, 20> kAddress = {0, 0, 192, 0, 2, 10};

const LocalCase kLocalCases[] = {
    {"RemoteDesktopIsRemote", true, Windows::Ten, [] {}, false, nullptr},
    {"RemoteDesktopOnOlderWindows", true, Windows::EightPointOne,
     [] { fake_wfapi::AnswerEnumeration(TRUE, true, 0); }, false, nullptr},
    {"Windows10FailedQueryIsLocal", false, Windows::Ten, [] {}, true,
     "WFQuerySessionInformationW"},
    {"Windows10FailedQueryWithBlockIsLocal", false, Windows::Ten,
     [] {
         fake_wfapi::AnswerQuery(kOwnSession, WTSClientAddress,
                                 fake_wfapi::Failure(ERROR_ACCESS_DENIED, true));
     },
     true, "WFQuerySessionInformationW"},
    {"Windows10NoRecordIsLocal", false, Windows::Ten,
     [] { fake_wfapi::AnswerQuery(kOwnSession, WTSClientAddress, fake_wfapi::NoBuffer()); },
     true, "WFQuerySessionInformationW"},
    {"Windows10AnyRecordIsRemote", false, Windows::Ten,
     [] {
         fake_wfapi::AnswerQuery(kOwnSession, WTSClientAddress,
                                 fake_wfapi::AddressRecord(AF_UNSPEC, {}));
     },
     false, "WFQuerySessionInformationW"},
    {"Windows10ClientRecordIsRemote", false, Windows::Ten,
     [] {
         fake_wfapi::AnswerQuery(kOwnSession, WTSClientAddress,
                                 fake_wfapi::AddressRecord(AF_INET, kAddress));
     },
     false, "WFQuerySessionInformationW"},
    {"Windows10UnknownOwnSessionIsRemote", false, Windows::Ten,
     [] { winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED); }, false, nullptr},
    {"OlderWindowsNoSessionListedIsLocal", false, Windows::EightPointOne,
     [] { fake_wfapi::AnswerEnumeration(TRUE, true, 0); }, true, "WFEnumerateSessionsW"},
    {"OlderWindowsOneSessionListedIsRemote", false, Windows::EightPointOne,
     [] { fake_wfapi::AnswerEnumeration(TRUE, true, 1); }, false, "WFEnumerateSessionsW"},
    {"OlderWindowsFailedEnumerationIsRemote", false, Windows::EightPointOne,
     [] { fake_wfapi::AnswerEnumeration(FALSE, false, 0); }, false, "WFEnumerateSessionsW"},
    {"OlderWindowsFailedEnumerationWithBlockIsRemote", false, Windows::EightPointOne,
     [] { fake_wfapi::AnswerEnumeration(FALSE, true, 0); }, false, "WFEnumerateSessionsW"},
    {"OlderWindowsEnumerationWithoutBlockIsRemote", false, Windows::EightPointOne,
     [] { fake_wfapi::AnswerEnumeration(TRUE, false, 0); }, false, "WFEnumerateSessionsW"},
};

class XenDesktopLocalSessionTest : public XenDesktopFixture,
                                   public testing::WithParamInterface<LocalCase> {};

TEST_P(XenDesktopLocalSessionTest, AnswersFromTheRemoteMetricAndCitrix) {
    const LocalCase& c = GetParam();
    Initialize();
    winsim::SetCurrentSession(kOwnSession);
    winsim::SetRemoteSession(c.remoteDesktop);
    if (c.windows == Windows::EightPointOne) winsim::SetWindowsVersion(6, 3, 0);
    c.arrange();

    EXPECT_EQ(ctrl_->IsLocalSession(), c.expectedLocal);

    std::vector<fake_wfapi::Call> asked;
    for (const auto& call : fake_wfapi::Calls()) {
        if (call.function != "WFFreeMemory") asked.push_back(call);
    }
    if (c.citrixCall == nullptr) {
        EXPECT_TRUE(asked.empty());
        return;
    }
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].function, c.citrixCall);
    if (asked[0].function == "WFQuerySessionInformationW") {
        EXPECT_EQ(asked[0].sessionId, kOwnSession);
        EXPECT_EQ(asked[0].infoClass, static_cast<int>(WTSClientAddress));
    } else {
        EXPECT_EQ(asked[0].reserved, 0u);
        EXPECT_EQ(asked[0].version, 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(Session, XenDesktopLocalSessionTest, testing::ValuesIn(kLocalCases),
                         RowName());

using XenDesktopUnloadedLocalSessionTest = XenDesktopFixture;

// Without the library a failed query still counts as local on Windows 10.
TEST_F(XenDesktopUnloadedLocalSessionTest, Windows10IsLocalOlderWindowsRemote) {
    EXPECT_TRUE(ctrl_->IsLocalSession());
    winsim::SetWindowsVersion(6, 1, 1);
    EXPECT_FALSE(ctrl_->IsLocalSession());
    EXPECT_TRUE(fake_wfapi::Calls().empty());
}

struct VersionCase {
    DWORD major;
    DWORD minor;
    WORD servicePack;
    bool expected;
};

class XenDesktopVersionTest : public XenDesktopFixture,
                              public testing::WithParamInterface<VersionCase> {};

TEST_P(XenDesktopVersionTest, IsWindows10OrGreaterComparesMajorMinorAndServicePack) {
    winsim::SetWindowsVersion(GetParam().major, GetParam().minor, GetParam().servicePack);
    EXPECT_EQ(ctrl_->IsWindows10OrGreater(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Version, XenDesktopVersionTest,
                         testing::Values(VersionCase{10, 0, 0, true}, VersionCase{10, 0, 2, true},
                                         VersionCase{10, 1, 0, true}, VersionCase{11, 0, 0, true},
                                         VersionCase{6, 3, 0, false}, VersionCase{6, 1, 1, false},
                                         VersionCase{5, 2, 2, false}));

}  // namespace
}  // namespace citrix_test
