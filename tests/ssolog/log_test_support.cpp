#include "log_test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>

namespace ssolog_test {

void AssertFirstUseInProcess() {
    static int uses = 0;
    ASSERT_EQ(++uses, 1) << "run this test in a process of its own (ctest does)";
}

void LogTest::SetUp() {
    char pattern[] = "/tmp/ssolog-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    winsim::SetFileRoot(root_);
    winsim::Reset();
    winsim::SetCurrentThreadId(5120);
}

void LogTest::TearDown() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

void LogTest::SwitchOn(const std::wstring& base) {
    SetOutputLog(1);
    winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", base);
}

void LogTest::SetOutputLog(DWORD value) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", value);
}

void LogTest::SetSizeLimit(DWORD bytes) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogSize", bytes);
}

void LogTest::AdvanceSeconds(unsigned seconds) { winsim::AdvanceMs(uint64_t{seconds} * 1000); }

std::string ReadBytes(const std::wstring& windowsPath) {
    std::ifstream file(winsim::HostPath(windowsPath), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool Exists(const std::wstring& windowsPath) {
    return std::filesystem::exists(winsim::HostPath(windowsPath));
}

void WriteBytes(const std::wstring& windowsPath, const std::string& bytes) {
    const std::filesystem::path host(winsim::HostPath(windowsPath));
    std::filesystem::create_directories(host.parent_path());
    std::ofstream(host, std::ios::binary) << bytes;
}

std::vector<std::string> TextParts(const std::wstring& windowsPath) {
    static const std::regex header(
        R"(^\d{4}/\d{2}/\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}, SID:\d{6,}, PID:\d{6,}, TID:\d{6,}, )");
    const std::string bytes = ReadBytes(windowsPath);
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < bytes.size()) {
        const size_t end = bytes.find("\r\n", start);
        const std::string line =
            bytes.substr(start, end == std::string::npos ? std::string::npos : end - start);
        std::smatch match;
        if (end != std::string::npos && std::regex_search(line, match, header)) {
            parts.push_back(match.suffix().str());
        } else {
            parts.push_back("BAD HEADER: " + line);
        }
        start = end == std::string::npos ? bytes.size() : end + 2;
    }
    return parts;
}

std::wstring InLogDir(const std::wstring& fileName) {
    return std::wstring(kLogDir) + L"\\" + fileName;
}

}  // namespace ssolog_test
