#include "cli.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <iterator>
#include <sstream>

namespace sessionctl {
namespace {

const char kGlobalOptions[] =
    "Options for every command:\n"
    "  --json            machine-readable output\n"
    "  --machine FILE    simulated Windows described by FILE (Linux only; default: a plain\n"
    "                    Terminal Services server with a few sessions)\n"
    "  --reg FILE        apply a regedit / `reg export` file to the simulated registry\n"
    "                    (Linux only; may be given several times, applied in order)\n"
    "  --trace DIR       write the library's diagnostic log for this run under DIR\n"
    "  -h, --help        this help, or the help of one command\n"
    "\n"
    "Exit codes: 0 success or true, 1 the answer is false, 2 usage or input error.\n";

std::string NeedValue(const std::vector<std::string>& arguments, size_t& i) {
    if (i + 1 >= arguments.size()) {
        throw UsageError(arguments[i] + " needs a value");
    }
    return arguments[++i];
}

// The library takes "OutputLogDir" as it is, so it must not depend on a working directory.
std::string AbsoluteFolder(const std::string& text) {
    const bool drive = text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
                       (text[2] == '\\' || text[2] == '/');
    const bool share = text.size() > 2 && text.compare(0, 2, "\\\\") == 0;
    if (!drive && !share) {
        throw UsageError("--dir: \"" + text + "\" is not an absolute folder (for example D:\\Logs or \\\\server\\logs)");
    }
    return text;
}

// "OutputLogSize" 0 would leave the limit at its default.
uint32_t SizeLimit(const std::string& text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoull(text) == 0 || std::stoull(text) > 0xFFFFFFFFull) {
        throw UsageError("--size: \"" + text + "\" is not a size in bytes (a number from 1 to 4294967295)");
    }
    return static_cast<uint32_t>(std::stoull(text));
}

const char* const kLogCommands[] = {"stats", "show", "on", "off"};

}  // namespace

const std::vector<CommandInfo>& Commands() {
    static const std::vector<CommandInfo> commands = {
        {"sessions", "", "list the sessions: id, station, state, user, client address", 0, 0, true},
        {"info", "[ID]", "user, domain, station, state, connection and client of a session (default: ours)", 0, 1, true},
        {"is-local", "", "whether this process runs in a local session", 0, 0, true},
        {"pcoip", "", "whether this session is reached through VMware PCoIP or Blast", 0, 0, true},
        {"token-sid", "ID", "the SID of the user whose token session ID holds", 1, 1, true},
        {"find-process", "ID NAME", "whether a process NAME runs in session ID (0: any session)", 2, 2, true},
        {"current-session", "", "the session id of this process", 0, 0, true},
        {"lock", "", "lock the workstation", 0, 0, true},
        {"disconnect", "ID [--wait] [--force]", "disconnect session ID (--force: the plain Terminal Services way)", 1, 1, true},
        {"logoff", "ID [--wait]", "log off session ID", 1, 1, true},
        {"log stats", "FILE|DIR...", "per process and operation: lines, errors, scope times of diagnostic logs", 1, SIZE_MAX, false},
        {"log show", "", "the diagnostic log's registry values and what the library makes of them", 0, 0, true},
        {"log on", "[--dir DIR] [--size BYTES]", "switch the diagnostic log on (as an administrator)", 0, 0, true},
        {"log off", "", "switch the diagnostic log off (as an administrator)", 0, 0, true},
    };
    return commands;
}

const CommandInfo* FindCommand(const std::string& name) {
    for (const CommandInfo& command : Commands()) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

std::string GeneralHelp() {
    std::ostringstream out;
    out << "usage: sessionctl [options] COMMAND [operands]\n\n"
           "Asks HalcyonSessionCtrl about Windows sessions and acts on them.\n\nCommands:\n";
    for (const CommandInfo& command : Commands()) {
        std::string head = std::string(command.name) + (command.usage[0] ? " " : "") + command.usage;
        out << "  " << head << std::string(head.size() < 34 ? 34 - head.size() : 1, ' ') << command.summary << "\n";
    }
    out << "\n" << kGlobalOptions << "\n`sessionctl COMMAND --help` describes one command.\n";
    return out.str();
}

std::string CommandHelp(const CommandInfo& command) {
    std::ostringstream out;
    out << "usage: sessionctl [options] " << command.name << (command.usage[0] ? " " : "") << command.usage
        << "\n\n" << command.summary << ".\n";
    std::string name = command.name;
    if (name == "disconnect" || name == "logoff") {
        out << "  --wait            wait until the session has been " << (name == "logoff" ? "logged off" : "disconnected") << "\n";
    }
    if (name == "disconnect") {
        out << "  --force           use the Terminal Services disconnect even under Citrix\n";
    }
    if (name == "log stats") {
        out << "\nReads session.log / kwarden.log files (a directory stands for both, in it and in the\n"
               "DebugSSO folders up to four levels below it; a file's .bak backup is read before\n"
               "it) and names each file read. Scopes (\">> in\" / \"<< out - N [msec]\") are matched per\n"
               "process and thread. Lines not in the log's format are counted, never fatal.\n";
    }
    if (name == "log on") {
        out << "  --dir DIR         the log goes to DIR\\DebugSSO (default: as configured, else C:\\DebugSSO)\n"
               "  --size BYTES      a file is moved to its .bak backup from this size (default: as\n"
               "                    configured, else 10485760)\n";
    }
    if (name.compare(0, 4, "log ") == 0 && name != "log stats") {
        out << "\nThe values lie in the 64-bit view of HKEY_LOCAL_MACHINE, where the 32-bit library reads\n"
               "them. Running processes see a change at their next trace: a switch on within 2\n"
               "seconds, a switch off within 10.\n";
    }
    out << "\n" << kGlobalOptions;
    return out.str();
}

unsigned long ParseSessionId(const std::string& text) {
    if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos ||
        std::stoull(text) > 0xFFFFFFFFull) {
        throw UsageError("\"" + text + "\" is not a session id (a number from 0 to 4294967295)");
    }
    return static_cast<unsigned long>(std::stoull(text));
}

Invocation ParseCommandLine(const std::vector<std::string>& arguments) {
    Invocation invocation;
    std::vector<std::string> words;
    bool onlyOperands = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyOperands || argument.empty() || argument[0] != '-' || argument == "-") {
            words.push_back(argument);
        } else if (argument == "--") {
            onlyOperands = true;
        } else if (argument == "--json") {
            invocation.json = true;
        } else if (argument == "--help" || argument == "-h") {
            invocation.help = true;
        } else if (argument == "--wait") {
            invocation.wait = true;
        } else if (argument == "--force") {
            invocation.force = true;
        } else if (argument == "--machine") {
            if (invocation.host.machineFile) {
                throw UsageError("--machine may be given once");
            }
            invocation.host.machineFile = NeedValue(arguments, i);
        } else if (argument == "--reg") {
            invocation.host.regFiles.push_back(NeedValue(arguments, i));
        } else if (argument == "--trace") {
            invocation.host.traceDirectory = NeedValue(arguments, i);
        } else if (argument == "--dir") {
            invocation.logDirectory = AbsoluteFolder(NeedValue(arguments, i));
        } else if (argument == "--size") {
            invocation.logSizeLimit = SizeLimit(NeedValue(arguments, i));
        } else {
            throw UsageError("unknown option " + argument);
        }
    }
    if (words.empty()) {
        // Help alone is an answer; a line of options without a command is a slip.
        if (!invocation.help) {
            throw UsageError("no command given (usage: sessionctl [options] COMMAND [operands])");
        }
        return invocation;
    }
    invocation.command = words[0];
    size_t first = 1;
    if (words[0] == "log") {
        if (words.size() < 2 || std::find(std::begin(kLogCommands), std::end(kLogCommands), words[1]) ==
                                    std::end(kLogCommands)) {
            if (invocation.help && words.size() == 1) {
                invocation.command = "log stats";
                return invocation;
            }
            throw UsageError("unknown command \"log" + (words.size() > 1 ? " " + words[1] : std::string()) +
                             "\" (known: log stats, log show, log on, log off)");
        }
        invocation.command = "log " + words[1];
        first = 2;
    }
    const CommandInfo* command = FindCommand(invocation.command);
    if (command == nullptr) {
        throw UsageError("unknown command \"" + invocation.command + "\"");
    }
    invocation.operands.assign(words.begin() + static_cast<std::ptrdiff_t>(first), words.end());
    if (invocation.help) {
        return invocation;
    }
    if (invocation.operands.size() < command->minOperands || invocation.operands.size() > command->maxOperands) {
        throw UsageError(std::string("usage: sessionctl ") + command->name + " " + command->usage);
    }
    std::string name = command->name;
    if (invocation.wait && name != "disconnect" && name != "logoff") {
        throw UsageError("--wait belongs to disconnect and logoff");
    }
    if (invocation.force && name != "disconnect") {
        throw UsageError("--force belongs to disconnect");
    }
    if ((invocation.logDirectory || invocation.logSizeLimit) && name != "log on") {
        throw UsageError("--dir and --size belong to log on");
    }
    return invocation;
}

}  // namespace sessionctl
