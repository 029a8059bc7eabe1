// sessionctl: asks HalcyonSessionCtrl about Windows sessions, acts on them, and reads
// its diagnostic logs. See README.md.
#include "cli.h"
#include "commands.h"
#include "host.h"
#include "input_error.h"
#include "log_switch.h"

#include <iostream>
#include <vector>

int main(int argc, char** argv) {
    using namespace sessionctl;
    try {
        Invocation invocation = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
        const CommandInfo* command = FindCommand(invocation.command);
        if (invocation.help) {
            std::cout << (command ? CommandHelp(*command) : GeneralHelp());
            return kExitTrue;
        }
        if (!command->needsLibrary) {
            return RunLogStats(invocation, std::cout);
        }
        std::unique_ptr<Host> host = StartHost(invocation.host);
        int exitCode = invocation.command.compare(0, 4, "log ") == 0
                           ? RunLogSwitch(invocation, std::cout, std::cerr)
                           : RunLibraryCommand(invocation, *host, std::cout);
        std::cout.flush();
        for (const std::string& note : host->TraceNotes()) {
            std::cerr << note << "\n";
        }
        return exitCode;
    } catch (const UsageError& error) {
        std::cerr << "sessionctl: " << error.what() << "\n(see sessionctl --help)\n";
    } catch (const InputError& error) {
        std::cerr << "sessionctl: " << error.what() << "\n";
    }
    return kExitUsage;
}
