// A simulated VMware Horizon machine with the library attached.
#pragma once

#include <test_support/library_fixture.h>

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

using test_support::InstallProduct;
using test_support::RowName;

class VMwareFixture : public test_support::LibraryFixture {
protected:
    void SetUp() override;

    static void SetVdmVersion(const std::wstring& version, DWORD type = REG_SZ);
    static void RecordClientAddress(DWORD sessionId, const std::wstring& address);
    static void RecordProtocol(DWORD sessionId, const std::wstring& protocol);
    // A session on station "Console" of domain "CORP"; with no address given, the
    // Terminal Services client-address query succeeds without a record.
    static void LogOn(DWORD sessionId, const std::wstring& user,
                      std::optional<winsim::ClientAddress> address = std::nullopt);
    // pids are handed out in order, so the enumeration lists processes as added.
    void RunProcess(DWORD sessionId, const std::wstring& name);

private:
    DWORD nextPid_ = 9000;
};

}  // namespace vmware_test
