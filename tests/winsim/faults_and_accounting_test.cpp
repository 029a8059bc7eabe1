// Fault injection, the call log and the accounting that catches leaks and misuse.
#include "winsim_test.h"

namespace {

class FaultTest : public FreshMachine {
protected:
    void SetUp() override {
        FreshMachine::SetUp();
        winsim::AddSession(MakeSession(1, L"Console", L"alice", L"CORP"));
    }
    static bool QueryUser() {
        LPWSTR buffer = nullptr;
        DWORD size = 0;
        const BOOL ok = WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, 1, WTSUserName, &buffer, &size);
        if (buffer != nullptr) WTSFreeMemory(buffer);
        return ok != FALSE;
    }
};

TEST_F(FaultTest, NthCallFailsOnceWithTheGivenError) {
    winsim::FailCall("WTSQuerySessionInformationW", ERROR_NOT_ENOUGH_MEMORY, 2);
    EXPECT_TRUE(QueryUser());
    SetLastError(0);
    EXPECT_FALSE(QueryUser());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_TRUE(QueryUser());
    EXPECT_EQ(winsim::CallCount("WTSQuerySessionInformationW"), 3u);
}

TEST_F(FaultTest, AlwaysFailsUntilCleared) {
    winsim::FailCall("WTSQuerySessionInformationW", ERROR_ACCESS_DENIED);
    EXPECT_FALSE(QueryUser());
    EXPECT_FALSE(QueryUser());
    winsim::ClearFaults();
    EXPECT_TRUE(QueryUser());
}

// Each function answers a fault with its own documented failure value.
TEST_F(FaultTest, FailureValuesFollowEachFunction) {
    winsim::FailCall("RegOpenKeyExW", ERROR_ACCESS_DENIED);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_READ, &key), ERROR_ACCESS_DENIED);
    winsim::FailCall("CreateFileW", ERROR_SHARING_VIOLATION);
    EXPECT_EQ(CreateFileW(L"C:\\x", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    winsim::FailCall("_wfsopen", ERROR_ACCESS_DENIED);
    EXPECT_EQ(_wfsopen(L"C:\\x", L"a", _SH_DENYNO), nullptr);
    winsim::FailCall("LoadLibraryExW", ERROR_MOD_NOT_FOUND);
    EXPECT_EQ(LoadLibraryExW(L"kernel32.dll", nullptr, 0), nullptr);
    winsim::FailCall("WideCharToMultiByte", ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"a", -1, nullptr, 0, nullptr, nullptr), 0);
    winsim::FailCall("WaitForSingleObject", ERROR_INVALID_HANDLE);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), static_cast<DWORD>(WAIT_FAILED));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FaultTest, CallLogListsCallsInOrderSinceReset) {
    LockWorkStation();
    QueryUser();
    EXPECT_EQ(winsim::CallLog(),
              (std::vector<std::string>{"LockWorkStation", "WTSQuerySessionInformationW", "WTSFreeMemory"}));
    winsim::Reset();
    EXPECT_TRUE(winsim::CallLog().empty());
}

// A long run cannot grow the log without end; the counts go on past the limit.
TEST_F(FaultTest, CallLogStopsAtItsLimitWhileCountsGoOn) {
    for (std::size_t i = 0; i <= winsim::kCallLogLimit; ++i) timeGetTime();
    LockWorkStation();
    const auto log = winsim::CallLog();
    EXPECT_EQ(log.size(), winsim::kCallLogLimit);
    EXPECT_EQ(log.back(), "timeGetTime");
    EXPECT_EQ(winsim::CallCount("timeGetTime"), winsim::kCallLogLimit + 1);
    EXPECT_EQ(winsim::CallCount("LockWorkStation"), 1u);
}

class AccountingTest : public FaultTest {};

TEST_F(AccountingTest, LeaksShowInCountsAndDescription) {
    EXPECT_EQ(winsim::CountOutstanding().Describe(), "nothing");
    winsim::CreateKey(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A");
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\A", 0, KEY_READ, &key), ERROR_SUCCESS);
    LPWSTR first = nullptr, second = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, 1, WTSUserName, &first, &size));
    ASSERT_TRUE(WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, 1, WTSDomainName, &second, &size));
    const winsim::Outstanding leaked = winsim::CountOutstanding();
    EXPECT_EQ(leaked.keys, 1);
    EXPECT_EQ(leaked.buffers, 2);
    EXPECT_EQ(leaked.Describe(), "2 buffers, 1 key");
    HANDLE token = nullptr;
    ASSERT_TRUE(WTSQueryUserToken(1, &token));
    EXPECT_EQ(winsim::CountOutstanding().Describe(), "2 buffers, 1 handle, 1 key");
    CloseHandle(token);
    WTSFreeMemory(first);
    WTSFreeMemory(second);
    RegCloseKey(key);
    EXPECT_EQ(winsim::CountOutstanding(), winsim::Outstanding{});
}

TEST_F(AccountingTest, DoubleFreeIsMisuseAndDoesNotCrash) {
    LPWSTR buffer = nullptr;
    DWORD size = 0;
    ASSERT_TRUE(WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, 1, WTSUserName, &buffer, &size));
    WTSFreeMemory(buffer);
    EXPECT_TRUE(winsim::Misuses().empty());
    WTSFreeMemory(buffer);
    int stack = 0;
    WTSFreeMemory(&stack);
    EXPECT_EQ(winsim::Misuses().size(), 2u);
    EXPECT_EQ(winsim::CountOutstanding().buffers, 0);
}

TEST_F(AccountingTest, ResetClearsRecordsButKeepsTheFileRoot) {
    const std::string root = winsim::HostPath(L"C:\\");
    LockWorkStation();
    winsim::FailCall("LockWorkStation", ERROR_ACCESS_DENIED);
    winsim::Reset();
    EXPECT_TRUE(winsim::Actions().empty());
    EXPECT_TRUE(LockWorkStation());
    EXPECT_EQ(winsim::HostPath(L"C:\\"), root);
}

}  // namespace
