// Where wfapi.dll lives: the Citrix installation directory from the registry.
#pragma once

#include <string>

namespace sessionctrl {

// The full path of wfapi.dll from HKLM "SOFTWARE\Citrix\PortICA\Install" "Location".
// Traces "registry not found." and answers false when the value cannot be used.
bool LocateWfapi(std::wstring& path);

}  // namespace sessionctrl
