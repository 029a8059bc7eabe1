// User tokens with their SIDs, launching as a user, and the version test.
#include "winsim_test.h"

namespace {

class TokenTest : public LeakCheckedMachine {
protected:
    void SetUp() override {
        LeakCheckedMachine::SetUp();
        winsim::AddUser(L"bob", L"S-1-5-21-3623811015-3361044348-30300820-1013");
        winsim::AddSession(MakeSession(5, L"RDP-Tcp#3", L"bob", L"CORP"));
        winsim::AddSession(MakeSession(0, L"Services", L"", L""));
    }
};

TEST_F(TokenTest, SessionWithoutUserHasNoToken) {
    HANDLE token = nullptr;
    EXPECT_FALSE(WTSQueryUserToken(0, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));
    EXPECT_FALSE(WTSQueryUserToken(9, &token));
}

TEST_F(TokenTest, TokenUserSizeQueryThenSidRendersAsText) {
    HANDLE token = nullptr;
    ASSERT_TRUE(WTSQueryUserToken(5, &token));
    EXPECT_EQ(winsim::CountOutstanding().handles, 1);
    DWORD needed = 0;
    EXPECT_FALSE(GetTokenInformation(token, TokenUser, nullptr, 0, &needed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    ASSERT_GT(needed, sizeof(TOKEN_USER));
    std::vector<BYTE> buffer(needed);
    DWORD returned = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, buffer.data(), needed, &returned));
    EXPECT_EQ(returned, needed);
    const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    const auto* sid = static_cast<const BYTE*>(user->User.Sid);
    EXPECT_GE(sid, buffer.data());  // inside the caller's buffer
    EXPECT_LT(sid, buffer.data() + buffer.size());
    EXPECT_EQ(sid[1], 5);  // five sub-authorities
    LPWSTR text = nullptr;
    ASSERT_TRUE(ConvertSidToStringSidW(user->User.Sid, &text));
    EXPECT_STREQ(text, L"S-1-5-21-3623811015-3361044348-30300820-1013");
    EXPECT_EQ(winsim::CountOutstanding().localAllocations, 1);
    EXPECT_EQ(LocalFree(text), nullptr);
    EXPECT_EQ(LocalFree(text), text);
    EXPECT_EQ(winsim::Misuses().size(), 1u);
    CloseHandle(token);
}

TEST_F(TokenTest, LaunchRecordsTheTokensUserAndSessionAndCommandLine) {
    HANDLE token = nullptr;
    ASSERT_TRUE(WTSQueryUserToken(5, &token));
    ASSERT_TRUE(ImpersonateLoggedOnUser(token));
    wchar_t commandLine[] = L"\"C:\\Program Files\\Corvane Keywarden\\CorvaneKwardenService.exe\" -lock";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    wchar_t desktop[] = L"winsta0\\default";
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessAsUserW(token, nullptr, commandLine, nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                                     nullptr, nullptr, &startup, &process));
    commandLine[0] = L'X';  // the launch keeps its own copy
    RevertToSelf();
    const auto launches = winsim::Launches();
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_EQ(launches[0].commandLine.front(), L'"');
    EXPECT_NE(launches[0].commandLine.find(L"-lock"), std::wstring::npos);
    EXPECT_EQ(launches[0].user, L"bob");
    EXPECT_EQ(launches[0].sessionId, 5u);
    EXPECT_TRUE(launches[0].callerImpersonating);
    EXPECT_EQ(launches[0].desktop, L"winsta0\\default");
    EXPECT_EQ(WaitForSingleObject(process.hProcess, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_EQ(winsim::Waits().size(), 1u);
    EXPECT_EQ(winsim::Waits()[0].handle, process.hProcess);
    EXPECT_EQ(winsim::CountOutstanding().handles, 3);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    CloseHandle(token);
}

TEST_F(TokenTest, ClosingAnUnknownHandleFailsAndIsMisuse) {
    int something = 0;
    EXPECT_FALSE(CloseHandle(&something));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(winsim::Misuses().size(), 1u);
}

// VerifyVersionInfoW as the library asks it (major, minor and service pack, each at
// least), against several machines.
struct VersionCase {
    DWORD major, minor;
    WORD servicePack;
    DWORD wantedMajor, wantedMinor;
    bool met;
};

void PrintTo(const VersionCase& c, std::ostream* out) {
    *out << "Windows " << c.major << '.' << c.minor << " SP" << c.servicePack << " >= " << c.wantedMajor << '.'
         << c.wantedMinor;
}

class VersionTest : public FreshMachine, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(VersionTest, GreaterEqualComparesMajorMinorServicePackInOrder) {
    const VersionCase& c = GetParam();
    winsim::SetWindowsVersion(c.major, c.minor, c.servicePack);
    OSVERSIONINFOEXW wanted{};
    wanted.dwOSVersionInfoSize = sizeof wanted;
    wanted.dwMajorVersion = c.wantedMajor;
    wanted.dwMinorVersion = c.wantedMinor;
    const ULONGLONG mask = VerSetConditionMask(
        VerSetConditionMask(VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL), VER_MINORVERSION,
                            VER_GREATER_EQUAL),
        VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    SetLastError(0);
    EXPECT_EQ(VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask) != FALSE,
              c.met);
    if (!c.met) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_OLD_WIN_VERSION));
    }
}

INSTANTIATE_TEST_SUITE_P(Machines, VersionTest,
                         ::testing::Values(VersionCase{10, 0, 0, 10, 0, true}, VersionCase{11, 0, 0, 10, 0, true},
                                           VersionCase{6, 3, 0, 10, 0, false}, VersionCase{6, 1, 1, 10, 0, false},
                                           VersionCase{10, 1, 0, 10, 0, true},
                                           // Minor decides when the majors are equal.
                                           VersionCase{6, 1, 0, 6, 2, false}, VersionCase{6, 1, 0, 6, 1, true}));

TEST(VersionMaskTest, ConditionBitsSitThreeBitsPerField) {
    EXPECT_EQ(VerSetConditionMask(0, VER_MINORVERSION, VER_GREATER_EQUAL), 0x3ull);
    EXPECT_EQ(VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL), 0x3ull << 3);
    EXPECT_EQ(VerSetConditionMask(0, VER_SERVICEPACKMAJOR, VER_EQUAL), 0x1ull << 15);
    EXPECT_EQ(VerSetConditionMask(0x3, VER_MAJORVERSION, VER_LESS), 0x3ull | (0x4ull << 3));
}

}  // namespace
