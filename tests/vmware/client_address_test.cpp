// VMViewCtrl::GetClientAddress: VMware's per-session record from version 7 on; before
// 7 the Terminal Services record for a remote session, else the session user's
// volatile environment unless the PCoIP server makes the session local.
#include "vmware_fixture.h"

#include <vmview_ctrl.h>

#include <memory>
#include <optional>

namespace vmware_test {
namespace {

constexpr DWORD kAsked = 5;  // the session asked about; the caller stays in session 1
constexpr const wchar_t* kBobSid = L"S-1-5-21-1000-2000-3000-1002";
constexpr const wchar_t* kAliceSid = L"S-1-5-21-1000-2000-3000-1001";

class ClientAddressTest : public VMwareFixture {
protected:
    void StartBackend(const wchar_t* version) {
        SetVdmVersion(version);
        backend_ = std::make_unique<sessionctrl::VMViewCtrl>();
        ASSERT_TRUE(backend_->Initialize());
    }
    bool Ask() { return backend_->GetClientAddress(kAsked, address_, isLocal_); }

    static void AddBobsSession(std::optional<winsim::ClientAddress> tsAddress = std::nullopt) {
        winsim::AddUser(L"bob", kBobSid);
        LogOn(kAsked, L"bob", tsAddress);
    }
    static void SetVolatileAddress(const wchar_t* sid, const std::wstring& address) {
        winsim::SetString(HKEY_USERS, std::wstring(sid) + L"\\Volatile Environment",
                          L"ViewClient_IP_Address", address);
    }

    std::unique_ptr<sessionctrl::VMViewCtrl> backend_;
    std::wstring address_ = L"keep";
    bool isLocal_ = false;
};

TEST_F(ClientAddressTest, From7ReadsTheAskedSessionsRecord) {
    StartBackend(L"7.5.1");
    RecordClientAddress(kAsked, L"192.0.2.7");
    RecordClientAddress(kOwnSession, L"198.51.100.1");
    EXPECT_TRUE(Ask());
    EXPECT_FALSE(isLocal_);
    EXPECT_EQ(address_, L"192.0.2.7");
}

TEST_F(ClientAddressTest, From7WithoutRecordIsLocalAndKeepsTheAddress) {
    StartBackend(L"7.5.1");
    winsim::SetRemoteSession(true);
    AddBobsSession(winsim::IPv4(10, 0, 0, 5));
    isLocal_ = false;
    EXPECT_TRUE(Ask());
    EXPECT_TRUE(isLocal_);
    EXPECT_EQ(address_, L"keep");
}

TEST_F(ClientAddressTest, From7EmptyRecordIsLocalAndKeepsTheAddress) {
    StartBackend(L"7.5.1");
    RecordClientAddress(kAsked, L"");
    EXPECT_TRUE(Ask());
    EXPECT_TRUE(isLocal_);
    EXPECT_EQ(address_, L"keep");
}

TEST_F(ClientAddressTest, From7RecordFillingItsBufferIsReadWhole) {
    StartBackend(L"7.5.1");
    const std::wstring longAddress(255, L'a');  // 510 bytes on Windows, no NUL
    winsim::SetValue(HKEY_LOCAL_MACHINE, SessionKey(kAsked), L"ViewClient_IP_Address",
                     UnterminatedString(longAddress));
    EXPECT_TRUE(Ask());
    EXPECT_EQ(address_, longAddress);
}

TEST_F(ClientAddressTest, Below7RemoteUsesTheTerminalServicesRecord) {
    StartBackend(L"6.2.0");
    winsim::SetRemoteSession(true);
    AddBobsSession(winsim::IPv4(192, 0, 2, 10));
    RecordClientAddress(kAsked, L"not this");
    EXPECT_TRUE(Ask());
    EXPECT_FALSE(isLocal_);
    EXPECT_EQ(address_, L"192.0.2.10");
}

TEST_F(ClientAddressTest, Below7RemoteFailedQueryClearsOnlyTheAddress) {
    StartBackend(L"6.2.0");
    winsim::SetRemoteSession(true);
    isLocal_ = true;
    EXPECT_FALSE(Ask());  // no session 5 at all
    EXPECT_TRUE(isLocal_);
    EXPECT_EQ(address_, L"");
}

TEST_F(ClientAddressTest, Below7WithPCoIPServerIsLocal) {
    StartBackend(L"6.2.0");
    AddBobsSession();
    SetVolatileAddress(kBobSid, L"10.9.8.7");
    RunProcess(kOwnSession, L"pcoip_server_win32.exe");
    EXPECT_TRUE(Ask());
    EXPECT_TRUE(isLocal_);
    EXPECT_EQ(address_, L"");
    EXPECT_EQ(winsim::CallCount("WTSQueryUserToken"), 0u);
}

TEST_F(ClientAddressTest, Below7ReadsTheUsersVolatileEnvironment) {
    StartBackend(L"6.2.0");
    AddBobsSession();
    SetVolatileAddress(kBobSid, L"10.9.8.7");
    SetVolatileAddress(kAliceSid, L"172.16.0.1");
    // A server in the asked session is not the caller's: it changes nothing.
    RunProcess(kAsked, L"pcoip_server_win32.exe");
    isLocal_ = true;
    EXPECT_TRUE(Ask());
    EXPECT_FALSE(isLocal_);
    EXPECT_EQ(address_, L"10.9.8.7");
    EXPECT_EQ(winsim::CallCount("RevertToSelf"), 1u);
}

TEST_F(ClientAddressTest, Below7EmptyVolatileValueCountsAsFound) {
    StartBackend(L"6.2.0");
    AddBobsSession();
    SetVolatileAddress(kBobSid, L"");
    EXPECT_TRUE(Ask());
    EXPECT_FALSE(isLocal_);
    EXPECT_EQ(address_, L"");
}

TEST_F(ClientAddressTest, Below7MissingVolatileValueFails) {
    StartBackend(L"6.2.0");
    AddBobsSession();
    SetVolatileAddress(kAliceSid, L"172.16.0.1");
    EXPECT_FALSE(Ask());
    EXPECT_FALSE(isLocal_);
    EXPECT_EQ(address_, L"");
}

TEST_F(ClientAddressTest, Below7WithoutUserTokenFails) {
    StartBackend(L"abc");
    AddBobsSession();
    winsim::FailCall("WTSQueryUserToken", ERROR_NO_TOKEN);
    SetVolatileAddress(kBobSid, L"10.9.8.7");
    EXPECT_FALSE(Ask());
    EXPECT_EQ(address_, L"");
}

TEST_F(ClientAddressTest, Below7FailedImpersonationReadsAsTheCaller) {
    StartBackend(L"6.2.0");
    AddBobsSession();
    SetVolatileAddress(kBobSid, L"10.9.8.7");
    SetVolatileAddress(kAliceSid, L"172.16.0.1");
    winsim::FailCall("ImpersonateLoggedOnUser", ERROR_ACCESS_DENIED);
    EXPECT_TRUE(Ask());
    EXPECT_EQ(address_, L"172.16.0.1");
    EXPECT_EQ(winsim::CallCount("RevertToSelf"), 0u);
}

}  // namespace
}  // namespace vmware_test
