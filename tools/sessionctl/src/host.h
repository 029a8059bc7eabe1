// Where the library runs: on Linux a simulated Windows built from the machine
// description, on Windows the real machine. The host also loads and unloads the
// library as a module would be (entry point attach and detach).
#pragma once

#include "cli.h"

#include <memory>
#include <string>
#include <vector>

namespace sessionctl {

class Host {
public:
    virtual ~Host() = default;
    // What the machine saw the library do (actions, processes started); Linux only.
    virtual std::vector<std::string> RecordedActions() const = 0;
    // Where the diagnostic log of this run goes, or how to switch it on; for stderr.
    virtual std::vector<std::string> TraceNotes() const = 0;
};

// Throws InputError (bad machine or .reg file) or UsageError.
std::unique_ptr<Host> StartHost(const HostOptions& options);

// Windows' text for an error code, for messages; the simulated machine has none.
std::string SystemErrorText(long code);

// The built-in machine used without --machine (machines/terminal-services.json).
extern const char* const kDefaultMachine;

}  // namespace sessionctl
