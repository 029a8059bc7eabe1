// The Windows host: the real machine and the real DLL, loaded by Windows itself.
#include "../host.h"

#include <windows.h>

namespace sessionctl {
namespace {

class WindowsHost : public Host {
public:
    explicit WindowsHost(const HostOptions& options) {
        SetConsoleOutputCP(CP_UTF8);
        if (options.traceDirectory) {
            // The real registry is not changed behind the user's back; say how instead.
            const std::string key = "\"HKLM\\SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog\"";
            notes_.push_back("trace: the log is switched on in the registry; as an administrator run");
            notes_.push_back("  reg add " + key + " /reg:64 /v OutputLog /t REG_DWORD /d 1 /f");
            notes_.push_back("  reg add " + key + " /reg:64 /v OutputLogDir /t REG_SZ /d \"" +
                             *options.traceDirectory + "\" /f");
            notes_.push_back("then the log of this library is " + *options.traceDirectory +
                             "\\DebugSSO\\session.log (re-read within 10 seconds by running processes)");
        }
    }

    std::vector<std::string> RecordedActions() const override { return {}; }
    std::vector<std::string> TraceNotes() const override { return notes_; }

private:
    std::vector<std::string> notes_;
};

}  // namespace

std::unique_ptr<Host> StartHost(const HostOptions& options) {
    if (options.machineFile || !options.regFiles.empty()) {
        throw UsageError("--machine and --reg describe a simulated Windows; on Windows sessionctl drives the real machine");
    }
    return std::make_unique<WindowsHost>(options);
}

}  // namespace sessionctl
