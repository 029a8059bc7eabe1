// Simulated machines for the session, process and VMware benchmarks: logging off,
// sessions and processes in numbers, the library attached as the loader would.
#pragma once

#include <platform/win32.h>

#include <string>

namespace bench {

// The caller's own session on every benchmark machine (winsim's default).
inline constexpr DWORD kCallerSession = 1;
inline constexpr const wchar_t* kPCoIPServer = L"pcoip_server_win32.exe";
inline constexpr const wchar_t* kBlastServer = L"VMwareView-RdeServer.exe";

// What the loader does for the module, once per process: the entry point's attach.
void AttachLibrary();

// A fresh machine with logging off, no virtual-desktop product and sessions 1 to
// `count`, each active with a station, a user, a domain and an IPv4 client.
void PrepareSessionMachine(int count);

// Adds `count` processes spread over sessions 1 to 4, numbered upwards, so that the
// enumeration returns them in this order; the last one runs `lastName` in the
// caller's session, so a search for it walks the whole list.
void AddProcesses(int count, const std::wstring& lastName);

// A fresh VMware Horizon machine (logging off, one session) with the given View
// version and both display-protocol servers configured in the registry.
void PrepareVMwareMachine(const std::wstring& productVersion);

}  // namespace bench
