// Terminal Services: the shapes and sizes of the buffers, errors and recorded actions.
#include "winsim_test.h"

namespace {

class TerminalServicesTest : public LeakCheckedMachine {
protected:
    void SetUp() override {
        LeakCheckedMachine::SetUp();
        winsim::SessionSpec console = MakeSession(1, L"Console", L"alice", L"CORP", WTSActive);
        winsim::SessionSpec remote = MakeSession(5, L"RDP-Tcp#3", L"bob", L"CORP", WTSDisconnected);
        remote.clientAddress = winsim::IPv4(192, 0, 2, 10);
        winsim::AddSession(console);
        winsim::AddSession(remote);
    }
    // Queries one class; the buffer is freed on return and its bytes kept.
    static bool Query(DWORD session, WTS_INFO_CLASS infoClass, std::vector<BYTE>& bytes, bool& nullBuffer) {
        LPWSTR buffer = nullptr;
        DWORD size = 0;
        if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, infoClass, &buffer, &size)) return false;
        nullBuffer = buffer == nullptr;
        const auto* first = reinterpret_cast<const BYTE*>(buffer);
        bytes.assign(first, first + size);
        if (buffer != nullptr) WTSFreeMemory(buffer);
        return true;
    }
};

TEST_F(TerminalServicesTest, TextClassesAreTerminatedAndSizedInWideCharacters) {
    std::vector<BYTE> bytes;
    bool nullBuffer = true;
    ASSERT_TRUE(Query(5, WTSWinStationName, bytes, nullBuffer));
    EXPECT_EQ(bytes.size(), 10 * sizeof(WCHAR));
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(bytes.data()), L"RDP-Tcp#3");
    ASSERT_TRUE(Query(WTS_CURRENT_SESSION, WTSUserName, bytes, nullBuffer));
    EXPECT_STREQ(reinterpret_cast<const wchar_t*>(bytes.data()), L"alice");
    ASSERT_TRUE(Query(5, WTSConnectState, bytes, nullBuffer));
    ASSERT_EQ(bytes.size(), 4u);
    EXPECT_EQ(bytes[0], static_cast<BYTE>(WTSDisconnected));
}

TEST_F(TerminalServicesTest, ClientAddressIsTheWindowsRecordOrNoBufferWhenLocal) {
    std::vector<BYTE> bytes;
    bool nullBuffer = true;
    ASSERT_TRUE(Query(5, WTSClientAddress, bytes, nullBuffer));
    ASSERT_EQ(bytes.size(), 24u);
    WTS_CLIENT_ADDRESS record{};
    std::memcpy(&record, bytes.data(), sizeof record);
    EXPECT_EQ(record.AddressFamily, static_cast<DWORD>(AF_INET));
    EXPECT_EQ(record.Address[2], 192);
    EXPECT_EQ(record.Address[5], 10);
    ASSERT_TRUE(Query(1, WTSClientAddress, bytes, nullBuffer));
    EXPECT_TRUE(nullBuffer);
    EXPECT_TRUE(bytes.empty());
}

TEST_F(TerminalServicesTest, OverridesAndUnknownSessionsFail) {
    winsim::SessionSpec odd = MakeSession(7, L"ICA-CGP#1", L"carol", L"CORP");
    odd.rawInfo[WTSClientAddress] = {1, 2, 3};
    odd.failingInfo[WTSDomainName] = ERROR_ACCESS_DENIED;
    winsim::AddSession(odd);
    std::vector<BYTE> bytes;
    bool nullBuffer = true;
    ASSERT_TRUE(Query(7, WTSClientAddress, bytes, nullBuffer));
    EXPECT_EQ(bytes, (std::vector<BYTE>{1, 2, 3}));
    EXPECT_FALSE(Query(7, WTSDomainName, bytes, nullBuffer));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(Query(42, WTSUserName, bytes, nullBuffer));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CTX_WINSTATION_NOT_FOUND));
}

TEST_F(TerminalServicesTest, SessionListIsOneBufferWithOptionalNullStation) {
    winsim::SessionSpec listener = MakeSession(65536, L"RDP-Tcp", L"", L"", WTSListen);
    listener.nullStationInList = true;
    winsim::AddSession(listener);
    PWTS_SESSION_INFOW sessions = nullptr;
    DWORD count = 0;
    ASSERT_TRUE(WTSEnumerateSessionsW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count));
    ASSERT_EQ(count, 3u);
    EXPECT_EQ(winsim::CountOutstanding().buffers, 1);
    EXPECT_EQ(sessions[0].SessionId, 1u);
    EXPECT_STREQ(sessions[1].pWinStationName, L"RDP-Tcp#3");
    EXPECT_EQ(sessions[1].State, WTSDisconnected);
    EXPECT_EQ(sessions[2].pWinStationName, nullptr);
    WTSFreeMemory(sessions);
}

TEST_F(TerminalServicesTest, ProcessListsIncludeTheCurrentProcessAndFilterBySession) {
    winsim::SetCurrentProcessName(L"KwardenHost.exe");
    winsim::AddProcess({800, 5, L"vmware-view.exe"});
    winsim::AddProcess({900, 1, L"explorer.exe"});
    PWTS_PROCESS_INFOW all = nullptr;
    DWORD count = 0;
    ASSERT_TRUE(WTSEnumerateProcessesW(WTS_CURRENT_SERVER_HANDLE, 0, 1, &all, &count));
    ASSERT_EQ(count, 3u);
    EXPECT_STREQ(all[0].pProcessName, L"KwardenHost.exe");
    EXPECT_EQ(all[0].ProcessId, 4711u);
    WTSFreeMemory(all);

    DWORD level = 0;
    LPWSTR raw = nullptr;
    ASSERT_TRUE(WTSEnumerateProcessesExW(WTS_CURRENT_SERVER_HANDLE, &level, 5, &raw, &count));
    ASSERT_EQ(count, 1u);
    EXPECT_STREQ(reinterpret_cast<PWTS_PROCESS_INFOW>(raw)[0].pProcessName, L"vmware-view.exe");
    EXPECT_TRUE(WTSFreeMemoryExW(WTSTypeProcessInfoLevel0, raw, count));
    ASSERT_TRUE(WTSEnumerateProcessesExW(WTS_CURRENT_SERVER_HANDLE, &level, WTS_ANY_SESSION, &raw, &count));
    EXPECT_EQ(count, 3u);
    EXPECT_TRUE(WTSFreeMemoryExW(WTSTypeProcessInfoLevel0, raw, count));
    EXPECT_TRUE(winsim::Misuses().empty());
}

TEST_F(TerminalServicesTest, FreeingTheExtendedListTheWrongWayIsMisuse) {
    DWORD level = 0, count = 0;
    LPWSTR raw = nullptr;
    ASSERT_TRUE(WTSEnumerateProcessesExW(WTS_CURRENT_SERVER_HANDLE, &level, WTS_ANY_SESSION, &raw, &count));
    WTSFreeMemory(raw);
    EXPECT_EQ(winsim::Misuses().size(), 1u);
}

TEST_F(TerminalServicesTest, ActionsAreRecordedAndCanBeMadeToFail) {
    EXPECT_TRUE(LockWorkStation());
    EXPECT_TRUE(WTSDisconnectSession(WTS_CURRENT_SERVER_HANDLE, 5, FALSE));
    winsim::FailCall("WTSLogoffSession", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(WTSLogoffSession(WTS_CURRENT_SERVER_HANDLE, 5, TRUE));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    winsim::ClearFaults();
    EXPECT_TRUE(WTSLogoffSession(WTS_CURRENT_SERVER_HANDLE, 5, TRUE));
    const auto actions = winsim::Actions();
    ASSERT_EQ(actions.size(), 3u);
    EXPECT_EQ(actions[0].function, "LockWorkStation");
    EXPECT_EQ(actions[0].sessionId, 1u);
    EXPECT_EQ(actions[1].function, "WTSDisconnectSession");
    EXPECT_EQ(actions[2].function, "WTSLogoffSession");
    EXPECT_EQ(actions[2].wait, TRUE);
}

TEST_F(TerminalServicesTest, ServerHandlesAreCountedUntilClosed) {
    HANDLE server = WTSOpenServerW(nullptr);
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(winsim::CountOutstanding().handles, 1);
    WTSCloseServer(server);
    WTSCloseServer(server);
    EXPECT_EQ(winsim::Misuses().size(), 1u);
    winsim::SetRemoteSession(true);
    EXPECT_EQ(GetSystemMetrics(SM_REMOTESESSION), 1);
}

}  // namespace
