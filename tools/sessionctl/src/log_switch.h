// `sessionctl log show | on | off`: the diagnostic log's configuration in the registry, read
// with the library's own functions and written as the library accepts it.
#pragma once

#include "cli.h"

#include <ostream>

namespace sessionctl {

// Writes the answer to `out`; a write the registry refuses goes to `err` with exit code 1.
int RunLogSwitch(const Invocation& invocation, std::ostream& out, std::ostream& err);

}  // namespace sessionctl
