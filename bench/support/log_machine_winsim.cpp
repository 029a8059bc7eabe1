// The log machine on the simulated Windows: its files live in a temporary host
// directory, removed when the benchmark exits.
#include "log_machine.h"

#include <winsim/machine.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace bench {
namespace {

constexpr const wchar_t* kLogKey = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";

const std::string& FileRoot() {
    static const std::string root = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "halcyon-bench-XXXXXX");
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        std::atexit([] { std::filesystem::remove_all(FileRoot()); });
        return pattern;
    }();
    return root;
}

}  // namespace

void ResetMachine() {
    winsim::SetFileRoot(FileRoot());
    winsim::Reset();
}

std::wstring LogBaseDirectory() { return L"C:\\HalcyonBench"; }

void WriteLogConfiguration(bool loggingOn, const std::wstring& baseDirectory) {
    winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", loggingOn ? 1 : 0);
    winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", baseDirectory);
}

}  // namespace bench
