// The command line of sessionctl: global options anywhere, one subcommand with its
// operands and flags.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sessionctl {

// Bad usage: printed with a hint to --help, exit code 2.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct HostOptions {
    std::optional<std::string> machineFile;
    std::vector<std::string> regFiles;
    std::optional<std::string> traceDirectory;
};

struct Invocation {
    std::string command;  // "sessions", "info", ..., "log stats", "log on"; empty: none given
    std::vector<std::string> operands;
    bool json = false;
    bool help = false;
    bool wait = false;
    bool force = false;
    std::optional<std::string> logDirectory;  // log on --dir: an absolute folder
    std::optional<uint32_t> logSizeLimit;     // log on --size: nonzero bytes
    HostOptions host;
};

Invocation ParseCommandLine(const std::vector<std::string>& arguments);

struct CommandInfo {
    const char* name;
    const char* usage;  // operands and flags after the name
    const char* summary;
    size_t minOperands;
    size_t maxOperands;  // SIZE_MAX: any number
    bool needsLibrary;   // runs against HalcyonSessionCtrl
};

const std::vector<CommandInfo>& Commands();
const CommandInfo* FindCommand(const std::string& name);

std::string GeneralHelp();
std::string CommandHelp(const CommandInfo& command);

// A decimal session id; throws UsageError otherwise.
unsigned long ParseSessionId(const std::string& text);

}  // namespace sessionctl
