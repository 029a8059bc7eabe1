// Where VMware View and Teradici PCoIP record what the VMware backend needs, and the
// one way every such registry text is read.
#pragma once

#include <platform/win32.h>

#include <cstddef>
#include <optional>
#include <string>

namespace sessionctrl::vmware {

inline constexpr const wchar_t* kVdmKey = L"SOFTWARE\\VMware, Inc.\\VMware VDM";
inline constexpr const wchar_t* kSessionDataKey = L"SOFTWARE\\VMware, Inc.\\VMware VDM\\SessionData";
inline constexpr const wchar_t* kVolatileEnvironmentKey = L"Volatile Environment";
inline constexpr const wchar_t* kPCoIPKey = L"SOFTWARE\\Teradici\\PCoIP";
inline constexpr const wchar_t* kBlastRdeStubKey =
    L"SOFTWARE\\VMware, Inc.\\Vmware Blast\\Vvc\\Plugins\\blastRdeStub";

// Buffer sizes in characters: 510 and 1024 bytes of UTF-16 on Windows.
inline constexpr std::size_t kValueChars = 255;
inline constexpr std::size_t kPathChars = 512;

// The per-session key of VMware View: kSessionDataKey + "\" + the id as "%d".
std::wstring SessionKeyPath(DWORD sessionId);

// A REG_SZ value read through a zeroed buffer of `bufferChars` characters; the key is
// opened with BackendRegistryAccess() and closed right after the query. Absent when
// the key or value is missing, the value is not REG_SZ or larger than the buffer, or
// memory runs out. A value filling the buffer without a NUL is taken whole.
std::optional<std::wstring> ReadRegistryString(HKEY root, const wchar_t* keyPath,
                                               const wchar_t* valueName,
                                               std::size_t bufferChars) noexcept;

// Whether the key can be opened for reading; it is closed again at once.
bool RegistryKeyExists(HKEY root, const wchar_t* keyPath) noexcept;

}  // namespace sessionctrl::vmware
