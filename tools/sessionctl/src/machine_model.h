// A machine description (JSON, see README.md) read into plain data; turning it into
// a simulated machine is the Linux host's business (machine_apply.h).
#pragma once

#include "reg_file.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sessionctl {

// As the Terminal Services client-address record: family, then 20 address bytes
// (IPv4 in bytes 2-5, IPv6 groups high byte first in bytes 2-17).
struct ClientAddressRecord {
    uint32_t family = 0;
    std::array<uint8_t, 20> bytes{};
};

std::optional<ClientAddressRecord> ParseClientAddress(const std::string& text);

struct MachineSession {
    uint32_t id = 0;
    std::wstring station;
    std::wstring user;
    std::wstring domain;
    std::wstring sid;   // of the user; made up from the session id when not given
    uint32_t state = 0; // WTS_CONNECTSTATE_CLASS
    std::optional<ClientAddressRecord> client;  // none: the console (no address record)
};

struct MachineProcess {
    uint32_t pid = 0;
    uint32_t session = 0;
    std::wstring name;
};

struct CitrixInstall {
    std::wstring location;  // "Location" under SOFTWARE\Citrix\PortICA\Install
    bool wfapi = true;      // whether a working wfapi.dll lies there
};

struct MachineModel {
    std::string description;
    std::vector<std::wstring> products;  // tessark switches: XenApp, XenDesktop, XenDesktop7, VMwareHorizon
    uint32_t windowsMajor = 10;
    uint32_t windowsMinor = 0;
    uint32_t servicePack = 0;
    bool wow64 = false;
    uint32_t callerSession = 1;
    uint32_t callerPid = 4711;
    std::wstring callerUser;  // empty: the caller session's user, or SYSTEM in session 0
    bool callerRemote = false;
    std::vector<MachineSession> sessions;
    std::vector<MachineProcess> processes;
    std::vector<RegOperation> registry;
    std::optional<CitrixInstall> citrix;
};

// Throws InputError naming the file and line of the first fault, unknown fields included.
MachineModel ParseMachine(const std::string& bytes, const std::string& fileName);

// State names as `query session` shows them ("Active", "Disc", ...) and back.
const char* StateName(uint32_t state);
std::optional<uint32_t> StateFromName(const std::string& name);

// The SID given to a session's user when the description names none.
std::wstring DefaultUserSid(uint32_t sessionId);

}  // namespace sessionctl
