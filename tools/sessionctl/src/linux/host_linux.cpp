// The Linux host: a simulated Windows, loaded from the machine description and
// .reg files, with the library's entry point called around the run.
#include "../host.h"

#include "../input_error.h"
#include "../machine_model.h"
#include "../reg_file.h"
#include "../text.h"
#include "fake_wfapi.h"
#include "machine_apply.h"

#include <winsim/machine.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace sessionctl {
namespace {

namespace fs = std::filesystem;

const wchar_t kLogKey[] = L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";
const wchar_t kTraceBase[] = L"C:\\";
const wchar_t kModuleDirectory[] = L"C:\\Program Files\\Corvane\\Keywarden\\";

// A private directory standing for the machine's drives when no --trace is given, so
// that a log switched on by a replayed registry lands nowhere visible.
std::string MakeScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "sessionctl-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw InputError(pattern, 0, "cannot create a scratch directory");
    }
    return pattern;
}

class LinuxHost : public Host {
public:
    explicit LinuxHost(const HostOptions& options) {
        winsim::Reset();
        MachineModel model = options.machineFile
                                 ? ParseMachine(ReadFileBytes(*options.machineFile), *options.machineFile)
                                 : ParseMachine(kDefaultMachine, "(built-in machine)");
        std::vector<std::vector<RegOperation>> regFiles;
        for (const std::string& file : options.regFiles) {
            regFiles.push_back(ParseRegFile(ReadFileBytes(file), file));
        }
        ApplyMachine(model);
        for (const auto& operations : regFiles) {
            ApplyRegistry(operations);
        }
        winsim::SetModuleDirectory(kModuleDirectory);
        if (options.traceDirectory) {
            std::error_code error;
            fs::create_directories(*options.traceDirectory, error);
            if (!fs::is_directory(*options.traceDirectory, error)) {
                throw InputError(*options.traceDirectory, 0, "cannot create the trace directory");
            }
            winsim::SetFileRoot(fs::absolute(*options.traceDirectory).string());
            winsim::SetDword(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLog", 1);
            winsim::SetString(HKEY_LOCAL_MACHINE, kLogKey, L"OutputLogDir", kTraceBase);
            std::wstring log = std::wstring(kTraceBase) + L"DebugSSO\\session.log";
            traceNotes_.push_back("trace: " + winsim::HostPath(log) + " (" + ToUtf8(log) +
                                  " on the simulated machine)");
        } else {
            scratch_ = MakeScratchDirectory();
            winsim::SetFileRoot(scratch_);
        }
        HMODULE module = nullptr;
        GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCWSTR>(reinterpret_cast<void*>(&DllMain)), &module);
        instance_ = module;
        DllMain(instance_, DLL_PROCESS_ATTACH, nullptr);
    }

    ~LinuxHost() override {
        DllMain(instance_, DLL_PROCESS_DETACH, nullptr);
        if (!scratch_.empty()) {
            std::error_code error;
            fs::remove_all(scratch_, error);
        }
    }

    std::vector<std::string> RecordedActions() const override {
        std::vector<std::string> recorded;
        for (const winsim::Action& action : winsim::Actions()) {
            recorded.push_back(action.function == "LockWorkStation"
                                   ? action.function + "()"
                                   : action.function + "(session " + std::to_string(action.sessionId) +
                                         ", wait " + (action.wait ? "yes" : "no") + ")");
        }
        for (const std::string& action : FakeWfapiActions()) {
            recorded.push_back(action);
        }
        for (const winsim::Launch& launch : winsim::Launches()) {
            recorded.push_back("CreateProcessAsUserW(\"" + ToUtf8(launch.applicationName) + "\" \"" +
                               ToUtf8(launch.commandLine) + "\", user " + ToUtf8(launch.user) + ", session " +
                               std::to_string(launch.sessionId) + ")");
        }
        return recorded;
    }

    std::vector<std::string> TraceNotes() const override { return traceNotes_; }

private:
    HINSTANCE instance_ = nullptr;
    std::string scratch_;
    std::vector<std::string> traceNotes_;
};

}  // namespace

std::string SystemErrorText(long) { return "refused by the simulated registry"; }

std::unique_ptr<Host> StartHost(const HostOptions& options) {
    return std::make_unique<LinuxHost>(options);
}

}  // namespace sessionctl
