#include "log_machine.h"

#include <platform/win32.h>
#include <ssolog/trace.h>

#include <memory>

namespace bench {

std::wstring PrepareLogMachine(bool loggingOn) {
    ResetMachine();
    const std::wstring base = LogBaseDirectory();
    WriteLogConfiguration(loggingOn, base);
    // A new logger refreshes its configuration at its first line, whatever the clock.
    ssolog::UnregisterModuleLogger();
    ssolog::RegisterModuleLogger();
    const std::wstring path = base + L"\\DebugSSO\\session.log";
    DeleteFileW(path.c_str());
    return path;
}

std::string ReadWholeFile(const std::wstring& path) {
    std::string content;
    const std::unique_ptr<FILE, int (*)(FILE*)> file(_wfsopen(path.c_str(), L"rb", _SH_DENYNO),
                                                     &std::fclose);
    if (!file) return content;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) content.append(chunk, got);
    return content;
}

std::string LastLine(const std::wstring& path) {
    std::string content = ReadWholeFile(path);
    while (!content.empty() && (content.back() == '\n' || content.back() == '\r')) {
        content.pop_back();
    }
    const std::size_t start = content.find_last_of('\n');
    return content.substr(start == std::string::npos ? 0 : start + 1) + "\n";
}

}  // namespace bench
