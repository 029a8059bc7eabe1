// Turns a machine description and registry files into the simulated Windows.
#pragma once

#include "../machine_model.h"
#include "../reg_file.h"

#include <vector>

namespace sessionctl {

// The Windows path under which the fake wfapi.dll of a Citrix machine is registered.
std::wstring WfapiPath(const std::wstring& location);

// Expects a freshly reset machine.
void ApplyMachine(const MachineModel& model);
void ApplyRegistry(const std::vector<RegOperation>& operations);

}  // namespace sessionctl
