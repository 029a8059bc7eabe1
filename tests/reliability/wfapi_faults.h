// The scriptable fake wfapi.dll of tests/citrix behind a layer that logs every call by
// export name and can make the nth call of one export fail as wfapi.dll reports failure
// (null server, FALSE with no buffer). WFCloseServer and WFFreeMemory cannot fail.
#pragma once

#include <winsim/machine.h>

#include <string>
#include <vector>

namespace wfapi_faults {

winsim::Exports Exports();
// The next call counting from now: nth = 1.
void FailCall(const std::string& exportName, unsigned nth);
void ClearFaults();
std::vector<std::string> CallLog();
void ForgetCalls();
bool CanFail(const std::string& exportName);

}  // namespace wfapi_faults
