#include "trace_log.h"

#include <tessark/tessark.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace sessionctrl_test {

void EnableLogging() {
    const wchar_t* const key = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";
    winsim::SetDword(HKEY_LOCAL_MACHINE, key, L"OutputLog", 1);
    winsim::SetString(HKEY_LOCAL_MACHINE, key, L"OutputLogDir", L"C:\\Logs");
}

void InstallProduct(const wchar_t* product) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, tessark::kInstalledProductsKey, product, 1);
}

std::vector<std::string> TraceEntries(const wchar_t* logFile) {
    std::vector<std::string> entries;
    std::ifstream file(winsim::HostPath(logFile));
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // The header ends with the thread id column: "TID:005120, ".
        const std::string::size_type tid = line.find(", TID:");
        if (tid == std::string::npos) continue;
        const std::string::size_type text = line.find(", ", tid + 6);
        if (text == std::string::npos) continue;
        entries.push_back(line.substr(text + 2));
    }
    return entries;
}

bool HasTrace(const std::string& entry) { return CountTrace(entry) > 0; }

long CountTrace(const std::string& entry) {
    long count = 0;
    for (const std::string& line : TraceEntries()) count += line == entry ? 1 : 0;
    return count;
}

bool LogExists(const wchar_t* logFile) {
    return std::filesystem::exists(winsim::HostPath(logFile));
}

std::string Describe(const winsim::Outstanding& c) {
    std::ostringstream text;
    text << "buffers " << c.buffers << ", handles " << c.handles << ", keys " << c.keys
         << ", module references " << c.moduleReferences << ", critical sections "
         << c.criticalSections << ", local allocations " << c.localAllocations
         << ", impersonations " << c.impersonations << ", locked sections " << c.lockedSections
         << ", open files " << c.openFiles;
    return text.str();
}

std::string JoinMisuses() {
    std::string all;
    for (const std::string& misuse : winsim::Misuses()) all += misuse + "\n";
    return all;
}

}  // namespace sessionctrl_test
