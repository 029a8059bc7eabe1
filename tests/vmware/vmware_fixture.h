// A simulated VMware Horizon machine with the library attached, and checks that
// nothing handed out by Windows is left behind by a test.
#pragma once

#include <platform/win32.h>
#include <winsim/machine.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace vmware_test {

inline constexpr DWORD kOwnSession = 1;  // the session winsim runs the library in
inline constexpr const wchar_t* kVdmKey = L"SOFTWARE\\VMware, Inc.\\VMware VDM";
inline constexpr const wchar_t* kSessionDataKey =
    L"SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData";
inline constexpr const wchar_t* kPCoIPKey = L"SOFTWARE\\Teradici\\PCoIP";
inline constexpr const wchar_t* kBlastKey =
    L"SOFTWARE\\VMware, Inc.\\Vmware Blast\\Vvc\\Plugins\\blastRdeStub";

std::wstring SessionKey(DWORD sessionId);
// A REG_SZ value whose data is exactly the text's characters, with no NUL after them.
winsim::RegValue UnterminatedString(const std::wstring& text);

// Names parameterised cases after the `name` field of their row.
struct RowName {
    template <class Row>
    std::string operator()(const testing::TestParamInfo<Row>& row) const {
        return row.param.name;
    }
};

class VMwareFixture : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    static void InstallProduct(const wchar_t* product);  // tessark's switch, DWORD 1
    static void SetVdmVersion(const std::wstring& version, DWORD type = REG_SZ);
    static void RecordClientAddress(DWORD sessionId, const std::wstring& address);
    static void RecordProtocol(DWORD sessionId, const std::wstring& protocol);
    // A session on station "Console" of domain "CORP"; with no address given, the
    // Terminal Services client-address query succeeds without a record.
    static void LogOn(DWORD sessionId, const std::wstring& user,
                      std::optional<winsim::ClientAddress> address = std::nullopt);
    // pids are handed out in order, so the enumeration lists processes as added.
    void RunProcess(DWORD sessionId, const std::wstring& name);

    // The text part of every line of session.log so far ("text, detail").
    std::vector<std::string> LoggedTexts() const;
    bool Logged(const std::string& text) const;
    // Lines logged from now on only.
    void ForgetLog();

private:
    std::string fileRoot_;
    std::size_t forgottenLines_ = 0;
    DWORD nextPid_ = 9000;
    winsim::Outstanding baseline_;
};

}  // namespace vmware_test
