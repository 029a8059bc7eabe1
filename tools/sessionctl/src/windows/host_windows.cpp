// The Windows host: the real machine and the real DLL, loaded by Windows itself.
#include "../host.h"

#include "../text.h"

#include <platform/win32.h>

namespace sessionctl {
namespace {

class WindowsHost : public Host {
public:
    explicit WindowsHost(const HostOptions& options) {
        SetConsoleOutputCP(CP_UTF8);
        if (options.traceDirectory) {
            // The real registry is not changed behind the user's back; say how instead.
            notes_.push_back("trace: the log is switched on in the registry; as an administrator run");
            notes_.push_back("  sessionctl log on --dir \"" + *options.traceDirectory + "\"");
            notes_.push_back("then the log of this library is " + *options.traceDirectory +
                             "\\DebugSSO\\session.log (seen by running processes within 2 seconds)");
        }
    }

    std::vector<std::string> RecordedActions() const override { return {}; }
    std::vector<std::string> TraceNotes() const override { return notes_; }

private:
    std::vector<std::string> notes_;
};

}  // namespace

std::string SystemErrorText(long code) {
    LPWSTR text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        static_cast<DWORD>(code), 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
    std::wstring message(text != nullptr ? text : L"", length);
    LocalFree(text);
    message.erase(message.find_last_not_of(L" \r\n") + 1);
    return message.empty() ? "error " + std::to_string(code) : ToUtf8(message);
}

std::unique_ptr<Host> StartHost(const HostOptions& options) {
    if (options.machineFile || !options.regFiles.empty()) {
        throw UsageError("--machine and --reg describe a simulated Windows; on Windows sessionctl drives the real machine");
    }
    return std::make_unique<WindowsHost>(options);
}

}  // namespace sessionctl
