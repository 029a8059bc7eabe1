// The VMware View building blocks: installed version, recorded client addresses, the
// display-protocol server processes and the session tests built on them. Shared by
// VMViewCtrl and SessionCtrl::IsPCoIPConnect. None of them throws.
#pragma once

#include <platform/win32.h>

#include <string>

namespace sessionctrl::vmware {

// Image names used when the registry names no server.
inline constexpr const wchar_t* kDefaultPCoIPServerName = L"pcoip_server_win32.exe";
inline constexpr const wchar_t* kDefaultBlastServerName = L"VMwareView-RdeServer.exe";

// Version 7 changed where VMware View records its sessions; every decision splits there.
inline constexpr int kSessionDataVersion = 7;

// Major version of VMware View, 0 when unreadable. Read once; final for the process.
int GetVdmMajorVersion() noexcept;
// The major version a "ProductVersion" text gives: what _wtoi reads before its first
// dot ("7.5.1" is 7, "abc" is 0).
int MajorVersionOf(std::wstring productVersion) noexcept;

// True when a non-empty "ViewClient_IP_Address" is recorded for the session; then
// `address`, when given, receives it. Otherwise `address` is left alone.
bool ReadSessionClientAddress(DWORD sessionId, std::wstring* address) noexcept;

// "ViewClient_IP_Address" of the volatile environment in the hive of the thread's user
// (the impersonated one while impersonating); an empty value counts as found. `address`
// is written only when found.
bool ReadVolatileClientAddress(std::wstring& address) noexcept;

// Image names of the PCoIP and Blast RDE servers from the registry (text after the
// last backslash), empty when none is configured. A non-empty name is kept for the
// process; an empty one makes the next call read the registry again.
std::wstring GetPCoIPServerProcessName() noexcept;
std::wstring GetBlastServerProcessName() noexcept;

// Index of the first of `names` that a process of the caller's own session runs
// under (case-insensitive), -1 when none or when the processes cannot be listed.
// A null entry ends the list.
int FindProcessInOwnSession(const wchar_t* const* names, WORD count) noexcept;

// Whether the PCoIP server (configured or default name) runs in the caller's session.
bool IsPCoIPServerInOwnSession() noexcept;

// Whether VMware View serves the session: its per-session key appears (three tries,
// 200 ms apart) or a display-protocol server runs in the caller's session.
bool IsVdmSession(DWORD sessionId) noexcept;

// Whether the caller's own session is reached through PCoIP or Blast, and through Blast.
bool IsPCoIPSession() noexcept;
bool IsBlastSession() noexcept;

// Windows reports the caller's own session as a remote one.
bool WindowsReportsRemoteSession() noexcept;

}  // namespace sessionctrl::vmware
