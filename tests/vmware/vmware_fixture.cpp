#include "vmware_fixture.h"

#include <dll_main.h>
#include <tessark/tessark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace vmware_test {
namespace {

constexpr const wchar_t* kLogKey = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";
constexpr const wchar_t* kLogFile = L"C:\\vmlogs\\DebugSSO\\session.log";
HINSTANCE const kModule = reinterpret_cast<HINSTANCE>(0x10000000);

// "2026/12/04T09:05:03.042, SID:000001, PID:004711, TID:005120, text, detail"
std::string TextPart(std::string line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t tid = line.find(", TID:");
    if (tid == std::string::npos) return line;
    const std::size_t text = line.find(", ", tid + 1);
    return text == std::string::npos ? line : line.substr(text + 2);
}

}  // namespace

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
    char pattern[] = "/tmp/vmware-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    fileRoot_ = pattern;
    winsim::Reset();
    winsim::SetFileRoot(fileRoot_);
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 1);
    winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", L"C:\\vmlogs");
    InstallProduct(L"VMwareHorizon");
    ASSERT_TRUE(DllMain(kModule, DLL_PROCESS_ATTACH, nullptr));
    baseline_ = winsim::CountOutstanding();
}

void VMwareFixture::TearDown() {
    EXPECT_EQ(winsim::CountOutstanding(), baseline_)
        << "now: " << winsim::CountOutstanding().Describe()
        << "\nat start: " << baseline_.Describe();
    EXPECT_TRUE(winsim::Misuses().empty()) << testing::PrintToString(winsim::Misuses());
    DllMain(kModule, DLL_PROCESS_DETACH, nullptr);
    std::filesystem::remove_all(fileRoot_);
}

void VMwareFixture::InstallProduct(const wchar_t* product) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, product, 1);
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

std::vector<std::string> VMwareFixture::LoggedTexts() const {
    std::vector<std::string> texts;
    std::ifstream log(winsim::HostPath(kLogFile), std::ios::binary);
    std::string line;
    for (std::size_t n = 0; std::getline(log, line); ++n) {
        if (n >= forgottenLines_) texts.push_back(TextPart(line));
    }
    return texts;
}

bool VMwareFixture::Logged(const std::string& text) const {
    const auto texts = LoggedTexts();
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void VMwareFixture::ForgetLog() {
    forgottenLines_ = 0;
    forgottenLines_ = LoggedTexts().size();
}

}  // namespace vmware_test
