// A floor is only a floor if it does the work ours does: the same answers on the
// benchmark machines, the same Windows calls, the same bytes, the same sleeps.
#include "floors/floors.h"
#include "floors/line_floor.h"
#include "support/log_machine.h"
#include "support/sim_machine.h"

#include <sessionctrl/SessionCtrl.h>
#include <ssolog/trace.h>
#include <vmware_view.h>
#include <winsim/machine.h>

#include <gtest/gtest.h>

#include <numeric>

namespace bench {
namespace {

using sessionctrl::ISessionCtrl;
using sessionctrl::SessionCtrl;

// ---- the written line ----
TEST(LineFloorTest, AppendsExactlyTheBytesOfTheLineOursWrote) {
    const std::wstring path = PrepareLogMachine(true);
    ssolog::TraceResult(L"GetClientAddress >", L"192.0.2.10");
    const std::string ours = ReadWholeFile(path);
    ASSERT_NE(ours.find("GetClientAddress >, 192.0.2.10"), std::string::npos) << ours;
    WriteLineBare(path, LastLine(path));
    WriteLineLocked(path, LastLine(path));
    // The simulated clock stands still, so ours would have written these very bytes.
    EXPECT_EQ(ReadWholeFile(path), ours + ours + ours);
    EXPECT_EQ(winsim::CountOutstanding().openFiles, 0);
    EXPECT_EQ(winsim::CountOutstanding().fileLocks, 0);
    EXPECT_EQ(winsim::CallCount("LockFileEx"), 2u);  // ours and the locked floor
}

TEST(LineFloorTest, LoggingOffWritesNothing) {
    const std::wstring path = PrepareLogMachine(false);
    ssolog::TraceResult(L"GetClientAddress >", L"192.0.2.10");
    EXPECT_EQ(ReadWholeFile(path), "");
}

// ---- sessions: four sessions, one disconnected, one without a client address ----
class SessionFloorsTest : public testing::Test {
protected:
    void SetUp() override {
        AttachLibrary();
        PrepareSessionMachine(4);
        winsim::SessionSpec disconnected = winsim::Sessions()[2];
        disconnected.state = WTSDisconnected;
        winsim::AddSession(disconnected);
        winsim::SessionSpec console = winsim::Sessions()[3];
        console.clientAddress.reset();
        winsim::AddSession(console);
    }
    void TearDown() override {
        EXPECT_EQ(winsim::CountOutstanding().buffers, 0);
        EXPECT_TRUE(winsim::Misuses().empty());
    }
};

TEST_F(SessionFloorsTest, AnswerAsTheExportsDoForEverySession) {
    for (DWORD id = 1; id <= 5; ++id) {  // 5 does not exist
        SCOPED_TRACE(id);
        std::wstring oursName = L"before";
        std::wstring floorName = L"before";
        EXPECT_EQ(BareWinStationName(id, floorName), SessionCtrl::GetWinStationName(id, oursName));
        EXPECT_EQ(floorName, oursName);

        EXPECT_EQ(BareIsConnected(id), SessionCtrl::IsConnected(id));

        std::wstring oursAddress = L"before";
        std::wstring floorAddress = L"before";
        bool oursLocal = true;
        bool floorLocal = true;
        const bool oursResult = SessionCtrl::GetClientAddress(id, oursAddress, oursLocal);
        EXPECT_EQ(BareClientAddress(id, floorAddress, floorLocal), oursResult);
        EXPECT_EQ(floorAddress, oursAddress);
        if (oursResult) {
            EXPECT_EQ(floorLocal, oursLocal);
        }
    }
}

TEST_F(SessionFloorsTest, MakeTheSameTerminalServicesQueryAsTheBackend) {
    std::wstring text;
    bool local = false;
    const unsigned before = winsim::CallCount("WTSQuerySessionInformationW");
    SessionCtrl::GetWinStationName(2, text);
    SessionCtrl::GetClientAddress(2, text, local);
    SessionCtrl::IsConnected(2);
    const unsigned ours = winsim::CallCount("WTSQuerySessionInformationW") - before;
    BareWinStationName(2, text);
    BareClientAddress(2, text, local);
    BareIsConnected(2);
    const unsigned floor = winsim::CallCount("WTSQuerySessionInformationW") - before - ours;
    EXPECT_EQ(ours, 3u);
    EXPECT_EQ(floor, ours);
}

TEST_F(SessionFloorsTest, ListTheSessionsAsTheExportDoes) {
    std::list<ISessionCtrl::SESSION_INFO> ours;
    std::list<ISessionCtrl::SESSION_INFO> floor;
    ASSERT_TRUE(SessionCtrl::GetAllWinStationName(ours));
    ASSERT_TRUE(BareAllSessions(floor));
    ASSERT_EQ(floor.size(), ours.size());
    auto expected = ours.begin();
    for (const auto& session : floor) {
        EXPECT_EQ(session.SessionId, expected->SessionId);
        EXPECT_EQ(session.WinStationName, expected->WinStationName);
        EXPECT_EQ(session.State, expected->State);
        ++expected;
    }
}

// ---- processes: the searched name last, in the caller's session ----
class ProcessFloorsTest : public testing::Test {
protected:
    void SetUp() override {
        AttachLibrary();
        PrepareSessionMachine(4);
        AddProcesses(50, L"Searched.exe");
        winsim::AddProcess({90000, 3, L"Elsewhere.exe"});
    }
    void TearDown() override { EXPECT_EQ(winsim::CountOutstanding().buffers, 0); }
};

TEST_F(ProcessFloorsTest, FindProcessAnswersAsTheExportDoes) {
    const struct {
        DWORD session;
        const wchar_t* name;
    } cases[] = {{0, L"searched.EXE"}, {kCallerSession, L"Searched.exe"}, {2, L"Searched.exe"},
                 {0, L"Elsewhere.exe"}, {kCallerSession, L"Elsewhere.exe"}, {0, L"Absent.exe"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.session << " " << c.name);
        EXPECT_EQ(BareFindProcess(c.session, c.name), SessionCtrl::FindProcess(c.session, c.name));
    }
    EXPECT_TRUE(BareFindProcess(0, L"Searched.exe"));  // the machine is what we think
}

TEST_F(ProcessFloorsTest, OwnSessionSearchAnswersAsTheVMwareSearchDoes) {
    const wchar_t* const lists[][2] = {{L"Searched.exe", L"Absent.exe"},
                                       {L"Absent.exe", L"SEARCHED.exe"},
                                       {L"Elsewhere.exe", L"Absent.exe"}};
    for (const auto& names : lists) {
        SCOPED_TRACE(testing::Message() << names[0] << " " << names[1]);
        EXPECT_EQ(BareFindInOwnSession(names, 2),
                  sessionctrl::vmware::FindProcessInOwnSession(names, 2));
    }
    EXPECT_EQ(BareFindInOwnSession(lists[1], 2), 1);
}

// ---- the VMware retry path ----
class VdmSessionFloorTest : public testing::Test {
protected:
    static constexpr DWORD kSession = 7;
    const wchar_t* const servers[2] = {kPCoIPServer, kBlastServer};

    void SetUp() override {
        AttachLibrary();
        PrepareVMwareMachine(L"7.5.1");
        AddProcesses(20, L"explorer.exe");
        // The benchmark measures the steady state: server names read and kept.
        sessionctrl::vmware::IsVdmSession(kSession);
    }

    static DWORD Slept() {
        const auto sleeps = winsim::Sleeps();
        return std::accumulate(sleeps.begin(), sleeps.end(), DWORD{0});
    }

    // Runs `call` and gives its answer, its simulated sleep and its registry opens.
    template <class Call>
    static std::tuple<bool, DWORD, unsigned> Observe(Call call) {
        const DWORD slept = Slept();
        const unsigned opens = winsim::CallCount("RegOpenKeyExW");
        const bool answer = call();
        return {answer, Slept() - slept, winsim::CallCount("RegOpenKeyExW") - opens};
    }
};

TEST_F(VdmSessionFloorTest, WorstCaseSleepsAndOpensAsOursDoes) {
    winsim::CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData");
    const auto ours = Observe([] { return sessionctrl::vmware::IsVdmSession(kSession); });
    const auto floor = Observe([&] { return BareVdmSession(kSession, servers, 2); });
    EXPECT_EQ(ours, std::make_tuple(false, DWORD{600}, 4u));
    EXPECT_EQ(floor, ours);
}

TEST_F(VdmSessionFloorTest, SessionKeyFoundOrServerProcessRunningAnswerAsOursDoes) {
    winsim::CreateKey(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData\\" +
                          std::to_wstring(kSession));
    const auto oursFound = Observe([] { return sessionctrl::vmware::IsVdmSession(kSession); });
    EXPECT_EQ(oursFound, std::make_tuple(true, DWORD{0}, 2u));
    EXPECT_EQ(Observe([&] { return BareVdmSession(kSession, servers, 2); }), oursFound);

    winsim::DeleteKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData");
    winsim::AddProcess({95000, kCallerSession, kBlastServer});
    const auto ours = Observe([] { return sessionctrl::vmware::IsVdmSession(kSession); });
    EXPECT_TRUE(std::get<0>(ours));
    EXPECT_EQ(Observe([&] { return BareVdmSession(kSession, servers, 2); }), ours);
}

}  // namespace
}  // namespace bench
