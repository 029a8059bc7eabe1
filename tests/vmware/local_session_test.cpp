// VMViewCtrl::IsLocalSession: Windows' remote flag first, then a running PCoIP server,
// which means local below version 7 and remote from 7 on.
#include "vmware_fixture.h"

#include <vmview_ctrl.h>

#include <gmock/gmock.h>

namespace vmware_test {
namespace {

using testing::IsEmpty;

enum class Server { None, InOwnSession, InOtherSession };

struct LocalRow {
    const char* name;
    bool remoteForWindows;
    const wchar_t* version;
    bool ownSessionKey;  // SessionData\<own session> exists
    Server pcoip;
    bool expected;
};
void PrintTo(const LocalRow& row, std::ostream* os) { *os << row.name; }

class LocalSessionTest : public VMwareFixture, public testing::WithParamInterface<LocalRow> {};

TEST_P(LocalSessionTest, Decides) {
    const LocalRow& row = GetParam();
    winsim::SetRemoteSession(row.remoteForWindows);
    SetVdmVersion(row.version);
    if (row.ownSessionKey) winsim::CreateKey(HKEY_LOCAL_MACHINE, SessionKey(kOwnSession));
    if (row.pcoip == Server::InOwnSession) RunProcess(kOwnSession, L"pcoip_server_win32.exe");
    if (row.pcoip == Server::InOtherSession) RunProcess(3, L"pcoip_server_win32.exe");
    sessionctrl::VMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    EXPECT_EQ(backend.IsLocalSession(), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LocalSessionTest,
    testing::Values(
        LocalRow{"RemoteForWindowsBelow7", true, L"6.2.0", false, Server::InOwnSession, false},
        LocalRow{"RemoteForWindowsFrom7", true, L"7.5.1", false, Server::None, false},
        LocalRow{"Below7ServerRunning", false, L"6.2.0", false, Server::InOwnSession, true},
        LocalRow{"Below7NoServer", false, L"6.2.0", false, Server::None, false},
        LocalRow{"Below7ServerElsewhere", false, L"6.2.0", false, Server::InOtherSession, false},
        LocalRow{"UnreadableVersionServerRunning", false, L"abc", false, Server::InOwnSession,
                 true},
        LocalRow{"From7ServerRunning", false, L"7.5.1", false, Server::InOwnSession, false},
        LocalRow{"From7NoServer", false, L"7.5.1", false, Server::None, true},
        LocalRow{"From7ServerElsewhere", false, L"7.5.1", false, Server::InOtherSession, true},
        LocalRow{"From7SessionKey", false, L"7.5.1", true, Server::None, false},
        LocalRow{"Version10SessionKey", false, L"10.0", true, Server::None, false}),
    RowName());

class LocalSessionDetailTest : public VMwareFixture {};

TEST_F(LocalSessionDetailTest, RemoteForWindowsLooksNoFurther) {
    SetVdmVersion(L"6.2.0");
    sessionctrl::VMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    winsim::SetRemoteSession(true);
    const unsigned opensBefore = winsim::CallCount("RegOpenKeyExW");
    EXPECT_FALSE(backend.IsLocalSession());
    EXPECT_EQ(winsim::CallCount("RegOpenKeyExW"), opensBefore);
    EXPECT_EQ(winsim::CallCount("WTSEnumerateProcessesW"), 0u);
}

TEST_F(LocalSessionDetailTest, ConfiguredPCoIPServerNameBelow7) {
    SetVdmVersion(L"6.2.0");
    winsim::SetString(HKEY_LOCAL_MACHINE, kPCoIPKey, L"TeraHostPath", L"D:\\Tools\\server.exe");
    RunProcess(kOwnSession, L"pcoip_server_win32.exe");
    sessionctrl::VMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    EXPECT_FALSE(backend.IsLocalSession());
    RunProcess(kOwnSession, L"Server.exe");
    EXPECT_TRUE(backend.IsLocalSession());
}

TEST_F(LocalSessionDetailTest, From7SessionKeyNeedsNoRetry) {
    SetVdmVersion(L"7.5.1");
    winsim::CreateKey(HKEY_LOCAL_MACHINE, SessionKey(kOwnSession));
    sessionctrl::VMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    ForgetLog();
    EXPECT_FALSE(backend.IsLocalSession());
    EXPECT_THAT(LoggedTexts(), IsEmpty());
    EXPECT_THAT(winsim::Sleeps(), IsEmpty());
}

TEST_F(LocalSessionDetailTest, Wow64ProcessFindsTheSessionKeyInThe64BitView) {
    winsim::SetWow64(true);
    SetVdmVersion(L"7.5.1");
    winsim::CreateKey(HKEY_LOCAL_MACHINE, SessionKey(kOwnSession), winsim::RegView::Native);
    sessionctrl::VMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    EXPECT_FALSE(backend.IsLocalSession());
    EXPECT_THAT(winsim::Sleeps(), IsEmpty());
}

TEST_F(LocalSessionDetailTest, From7AsksAboutTheCallersOwnSession) {
    SetVdmVersion(L"7.5.1");
    winsim::CreateKey(HKEY_LOCAL_MACHINE, SessionKey(4));
    winsim::SetCurrentSession(4);
    sessionctrl::VMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    EXPECT_FALSE(backend.IsLocalSession());
    winsim::SetCurrentSession(kOwnSession);
    EXPECT_TRUE(backend.IsLocalSession());
}

TEST_F(LocalSessionDetailTest, From7UnknownOwnSessionIsNotLocal) {
    SetVdmVersion(L"7.5.1");
    sessionctrl::VMViewCtrl backend;
    ASSERT_TRUE(backend.Initialize());
    winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(backend.IsLocalSession());
}

}  // namespace
}  // namespace vmware_test
