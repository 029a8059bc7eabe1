// The exported token holder: it owns exactly one handle at a time and renders the
// token user's SID.
#include <test_support/library_fixture.h>

#include <sessionctrl/IUserTokenHolder.h>

#include <ostream>

namespace sessionctrl_test {
namespace {

using namespace test_support;

class TokenHolderTest : public LibraryFixture {
protected:
    void SetUp() override {
        LibraryFixture::SetUp();
        winsim::AddUser(L"bob", L"S-1-5-21-1000-2000-3000-1002");
        for (DWORD id : {1u, 2u}) {
            winsim::SessionSpec session;
            session.id = id;
            session.user = id == 1 ? L"alice" : L"bob";
            winsim::AddSession(session);
        }
    }

    HANDLE TokenOf(DWORD sessionId) {
        HANDLE token = nullptr;
        EXPECT_TRUE(WTSQueryUserToken(sessionId, &token));
        return token;
    }

    long OpenHandles() { return winsim::CountOutstanding().handles; }
};

TEST_F(TokenHolderTest, EmptyHolderHasNothingToCloseOrRender) {
    const unsigned closes = winsim::CallCount("CloseHandle");
    {
        sessionctrl::UserTokenHolder holder;
        EXPECT_EQ(holder.GetToken(), nullptr);
        std::wstring sid = L"kept";
        EXPECT_FALSE(holder.GetTokenSID(sid));
        EXPECT_EQ(sid, L"kept");
        EXPECT_EQ(winsim::CallCount("GetTokenInformation"), 0u);
    }
    EXPECT_EQ(winsim::CallCount("CloseHandle"), closes);
}

TEST_F(TokenHolderTest, ReplacingClosesThePreviousTokenOnce) {
    const long before = OpenHandles();
    HANDLE first = TokenOf(1);
    HANDLE second = TokenOf(2);
    {
        sessionctrl::UserTokenHolder holder(first);
        holder.SetToken(second);
        EXPECT_EQ(holder.GetToken(), second);
        EXPECT_EQ(OpenHandles(), before + 1);
        holder.SetToken(nullptr);
        EXPECT_EQ(holder.GetToken(), nullptr);
        EXPECT_EQ(OpenHandles(), before);
    }
    EXPECT_EQ(winsim::CallCount("CloseHandle"), 2u);
}

TEST_F(TokenHolderTest, SameTokenAgainIsKeptAndClosedOnceAtTheEnd) {
    const long before = OpenHandles();
    HANDLE token = TokenOf(1);
    {
        sessionctrl::UserTokenHolder holder(token);
        holder.SetToken(token);
        EXPECT_EQ(holder.GetToken(), token);
        EXPECT_EQ(OpenHandles(), before + 1);
        std::wstring sid;
        EXPECT_TRUE(holder.GetTokenSID(sid));  // still a live handle
    }
    EXPECT_EQ(OpenHandles(), before);
    EXPECT_EQ(winsim::CallCount("CloseHandle"), 1u);
}

TEST_F(TokenHolderTest, RendersTheUsersSid) {
    sessionctrl::UserTokenHolder alice(TokenOf(1));
    sessionctrl::UserTokenHolder bob(TokenOf(2));
    std::wstring sid;
    ASSERT_TRUE(alice.GetTokenSID(sid));
    EXPECT_EQ(sid, L"S-1-5-21-1000-2000-3000-1001");
    ASSERT_TRUE(bob.GetTokenSID(sid));
    EXPECT_EQ(sid, L"S-1-5-21-1000-2000-3000-1002");
}

struct SidFailure {
    const char* function;
    unsigned nth;
    unsigned tokenQueries;  // GetTokenInformation calls made before giving up
};

void PrintTo(const SidFailure& failure, std::ostream* out) {
    *out << failure.function << " fails on call " << failure.nth;
}

class TokenSidFailureTest : public TokenHolderTest,
                            public ::testing::WithParamInterface<SidFailure> {};

TEST_P(TokenSidFailureTest, FailureKeepsTheCallersText) {
    sessionctrl::UserTokenHolder holder(TokenOf(1));
    winsim::FailCall(GetParam().function, ERROR_ACCESS_DENIED, GetParam().nth);
    const unsigned queriesBefore = winsim::CallCount("GetTokenInformation");
    std::wstring sid = L"kept";
    EXPECT_FALSE(holder.GetTokenSID(sid));
    EXPECT_EQ(sid, L"kept");
    EXPECT_EQ(winsim::CallCount("GetTokenInformation") - queriesBefore, GetParam().tokenQueries);
}

INSTANTIATE_TEST_SUITE_P(Steps, TokenSidFailureTest,
                         ::testing::Values(SidFailure{"GetTokenInformation", 1, 1},
                                           SidFailure{"GetTokenInformation", 2, 2},
                                           SidFailure{"ConvertSidToStringSidW", 1, 2}));

}  // namespace
}  // namespace sessionctrl_test
