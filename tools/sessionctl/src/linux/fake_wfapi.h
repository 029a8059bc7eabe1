// A stand-in for Citrix's wfapi.dll on the simulated machine: the seven functions
// HalcyonSessionCtrl resolves, answering from the machine's sessions.
#pragma once

#include <winsim/machine.h>

#include <string>
#include <vector>

namespace sessionctl {

winsim::Exports FakeWfapiExports();

// The disconnects and logoffs asked of the fake, as "WFDisconnectSession(session 2, wait no)".
std::vector<std::string> FakeWfapiActions();

}  // namespace sessionctl
