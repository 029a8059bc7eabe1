// The subcommands that ask HalcyonSessionCtrl (everything but `log stats`).
#pragma once

#include "cli.h"
#include "host.h"

#include <ostream>

namespace sessionctl {

enum ExitCode { kExitTrue = 0, kExitFalse = 1, kExitUsage = 2 };

// Runs one library command and writes its answer; returns the exit code.
int RunLibraryCommand(const Invocation& invocation, const Host& host, std::ostream& out);

// `log stats`; throws InputError for an argument that names no file.
int RunLogStats(const Invocation& invocation, std::ostream& out);

}  // namespace sessionctl
