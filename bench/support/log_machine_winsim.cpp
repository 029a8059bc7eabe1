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

// A fresh directory for the run's files, removed with the object itself: an at-exit
// handler registered while the path was being built would run after the path died.
struct TemporaryRoot {
    std::string path;
    TemporaryRoot() : path(std::filesystem::temp_directory_path() / "halcyon-bench-XXXXXX") {
        if (mkdtemp(path.data()) == nullptr) std::abort();
    }
    ~TemporaryRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

const std::string& FileRoot() {
    static const TemporaryRoot root;
    return root.path;
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
