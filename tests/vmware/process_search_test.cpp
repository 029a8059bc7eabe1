// The search for display-protocol servers among the caller's own processes, and the
// VMware View session test built on it and on the per-session registry key.
#include "vmware_fixture.h"

#include <vmware_view.h>

#include <ssolog/trace.h>

#include <gmock/gmock.h>

namespace vmware_test {
namespace {

using sessionctrl::vmware::FindProcessInOwnSession;
using sessionctrl::vmware::IsVdmSession;
using testing::ElementsAre;
using testing::IsEmpty;

class FindProcessTest : public VMwareFixture {};

TEST_F(FindProcessTest, FindsANameCaseInsensitively) {
    RunProcess(kOwnSession, L"PCOIP_Server_Win32.EXE");
    const wchar_t* const names[] = {L"pcoip_server_win32.exe"};
    EXPECT_EQ(FindProcessInOwnSession(names, 1), 0);
}

TEST_F(FindProcessTest, SearchesOnlyTheCallersSession) {
    RunProcess(0, L"a.exe");
    RunProcess(2, L"b.exe");
    const wchar_t* const names[] = {L"a.exe", L"b.exe"};
    EXPECT_EQ(FindProcessInOwnSession(names, 2), -1);
    winsim::SetCurrentSession(2);
    EXPECT_EQ(FindProcessInOwnSession(names, 2), 1);
}

TEST_F(FindProcessTest, FirstProcessInEnumerationOrderDecides) {
    RunProcess(kOwnSession, L"b.exe");
    RunProcess(kOwnSession, L"a.exe");
    const wchar_t* const names[] = {L"a.exe", L"b.exe"};
    EXPECT_EQ(FindProcessInOwnSession(names, 2), 1);
}

TEST_F(FindProcessTest, HonoursTheCount) {
    RunProcess(kOwnSession, L"b.exe");
    const wchar_t* const names[] = {L"a.exe", L"b.exe"};
    EXPECT_EQ(FindProcessInOwnSession(names, 1), -1);
}

TEST_F(FindProcessTest, NullEntryEndsTheList) {
    RunProcess(kOwnSession, L"b.exe");
    const wchar_t* const names[] = {L"a.exe", nullptr, L"b.exe"};
    EXPECT_EQ(FindProcessInOwnSession(names, 3), -1);
}

TEST_F(FindProcessTest, EnumerationFailureIsTracedWithTheError) {
    RunProcess(kOwnSession, L"a.exe");
    winsim::FailCall("WTSEnumerateProcessesW", ERROR_ACCESS_DENIED);
    const wchar_t* const names[] = {L"a.exe"};
    EXPECT_EQ(FindProcessInOwnSession(names, 1), -1);
    EXPECT_THAT(LoggedTexts(), ElementsAre("[VM]WTSEnumerateProcesses Error >, 5 (0x5)"));
}

TEST_F(FindProcessTest, UnknownOwnSessionIsNotFoundWithoutTrace) {
    RunProcess(kOwnSession, L"a.exe");
    winsim::FailCall("ProcessIdToSessionId", ERROR_ACCESS_DENIED);
    const wchar_t* const names[] = {L"a.exe"};
    EXPECT_EQ(FindProcessInOwnSession(names, 1), -1);
    winsim::ClearFaults();
    EXPECT_THAT(LoggedTexts(), IsEmpty());
}

// IsVdmSession is asked about session 5; the processes searched are the caller's.
constexpr DWORD kAskedSession = 5;

class VdmSessionTest : public VMwareFixture {};

TEST_F(VdmSessionTest, SessionKeyPresentAnswersAtOnce) {
    winsim::CreateKey(HKEY_LOCAL_MACHINE, SessionKey(kAskedSession));
    EXPECT_TRUE(IsVdmSession(kAskedSession));
    EXPECT_THAT(LoggedTexts(), IsEmpty());
    EXPECT_THAT(winsim::Sleeps(), IsEmpty());
}

TEST_F(VdmSessionTest, NoSessionDataMeansNoRetry) {
    EXPECT_FALSE(IsVdmSession(kAskedSession));
    EXPECT_THAT(LoggedTexts(), ElementsAre("[VM]VDM Process not found.,"));
    EXPECT_THAT(winsim::Sleeps(), IsEmpty());
}

TEST_F(VdmSessionTest, MissingSessionKeyIsTriedThreeTimes) {
    winsim::CreateKey(HKEY_LOCAL_MACHINE, kSessionDataKey);
    winsim::CreateKey(HKEY_LOCAL_MACHINE, SessionKey(kAskedSession + 1));
    EXPECT_FALSE(IsVdmSession(kAskedSession));
    EXPECT_THAT(LoggedTexts(),
                ElementsAre("[VM]Registry not found.(SessionData) retry:, 1 (0x1)",
                            "[VM]Registry not found.(SessionData) retry:, 2 (0x2)",
                            "[VM]VDM Process not found.,"));
    EXPECT_THAT(winsim::Sleeps(), ElementsAre(200u, 200u, 200u));
}

TEST_F(VdmSessionTest, SessionKeyFoundOnTheSecondAttempt) {
    winsim::CreateKey(HKEY_LOCAL_MACHINE, SessionKey(kAskedSession));
    // Logging reads its configuration first, so the opens below are only ours:
    // SessionData, then the session key, which fails once.
    ssolog::TraceMessage(L"start");
    ForgetLog();
    winsim::FailCall("RegOpenKeyExW", ERROR_FILE_NOT_FOUND, 2);
    EXPECT_TRUE(IsVdmSession(kAskedSession));
    EXPECT_THAT(LoggedTexts(), ElementsAre("[VM]Registry not found.(SessionData) retry:, 1 (0x1)"));
    EXPECT_THAT(winsim::Sleeps(), ElementsAre(200u));
}

TEST_F(VdmSessionTest, RunningServerInOwnSessionIsFoundByName) {
    RunProcess(kOwnSession, L"VMwareView-RdeServer.exe");
    EXPECT_TRUE(IsVdmSession(kAskedSession));
    EXPECT_THAT(LoggedTexts(), ElementsAre("[VM]VDM Process found., VMwareView-RdeServer.exe"));
}

TEST_F(VdmSessionTest, RunningPCoIPServerIsFoundByName) {
    RunProcess(kOwnSession, L"pcoip_server_win32.exe");
    EXPECT_TRUE(IsVdmSession(kAskedSession));
    EXPECT_THAT(LoggedTexts(), ElementsAre("[VM]VDM Process found., pcoip_server_win32.exe"));
}

TEST_F(VdmSessionTest, ConfiguredNamesReplaceTheDefaults) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kPCoIPKey, L"TeraHostPath", L"C:\\T\\tera.exe");
    winsim::SetString(HKEY_LOCAL_MACHINE, kBlastKey, L"rdepath", L"C:\\B\\rde.exe");
    RunProcess(kOwnSession, L"pcoip_server_win32.exe");
    RunProcess(kOwnSession, L"VMwareView-RdeServer.exe");
    EXPECT_FALSE(IsVdmSession(kAskedSession));
    RunProcess(kOwnSession, L"RDE.exe");
    EXPECT_TRUE(IsVdmSession(kAskedSession));
    EXPECT_TRUE(Logged("[VM]VDM Process found., rde.exe"));
}

TEST_F(VdmSessionTest, ServerOfAnotherSessionDoesNotCount) {
    RunProcess(kAskedSession, L"pcoip_server_win32.exe");
    EXPECT_FALSE(IsVdmSession(kAskedSession));
}

}  // namespace
}  // namespace vmware_test
