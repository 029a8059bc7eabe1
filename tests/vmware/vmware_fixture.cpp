#include "vmware_fixture.h"

#include <cstring>

namespace vmware_test {

std::wstring SessionKey(DWORD sessionId) {
    return std::wstring(kSessionDataKey) + L"\\" + std::to_wstring(sessionId);
}

winsim::RegValue UnterminatedString(const std::wstring& text) {
    winsim::RegValue value;
    value.type = REG_SZ;
    value.data.resize(text.size() * sizeof(WCHAR));
    std::memcpy(value.data.data(), text.data(), value.data.size());
    return value;
}

void VMwareFixture::SetUp() {
    LibraryFixture::SetUp();
    InstallProduct(L"VMwareHorizon");
}

void VMwareFixture::SetVdmVersion(const std::wstring& version, DWORD type) {
    winsim::SetString(HKEY_LOCAL_MACHINE, kVdmKey, L"ProductVersion", version, type);
}

void VMwareFixture::RecordClientAddress(DWORD sessionId, const std::wstring& address) {
    winsim::SetString(HKEY_LOCAL_MACHINE, SessionKey(sessionId), L"ViewClient_IP_Address",
                      address);
}

void VMwareFixture::RecordProtocol(DWORD sessionId, const std::wstring& protocol) {
    winsim::SetString(HKEY_LOCAL_MACHINE, SessionKey(sessionId), L"ViewClient_Protocol",
                      protocol);
}

void VMwareFixture::LogOn(DWORD sessionId, const std::wstring& user,
                          std::optional<winsim::ClientAddress> address) {
    winsim::SessionSpec session;
    session.id = sessionId;
    session.station = L"Console";
    session.user = user;
    session.domain = L"CORP";
    session.clientAddress = address;
    winsim::AddSession(session);
}

void VMwareFixture::RunProcess(DWORD sessionId, const std::wstring& name) {
    winsim::AddProcess({nextPid_++, sessionId, name});
}

}  // namespace vmware_test
