// Where the log configuration lives in the registry, and how its values are read: by the
// logger's refresh, and by sessionctl's `log show`, which must read them the same way.
#pragma once

#include <platform/win32.h>

#include <string>

namespace ssolog {

constexpr const wchar_t* kLogConfigKey =
    L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";

// KEY_READ, plus KEY_WOW64_64KEY in a 32-bit process on 64-bit Windows: the configuration
// always lies in the 64-bit view.
REGSAM ConfigAccess();

// A REG_DWORD value that is present and nonzero ("OutputLog", "OutputLogSize").
bool ReadNonzeroDword(HKEY key, const wchar_t* name, DWORD& value);

// Reads "OutputLogDir" (REG_SZ only) from an open key. An empty value gives true with
// an empty text.
bool ReadLogDirectory(HKEY key, std::wstring& directoryText);

// "OutputLogDir" when it is usable, else the root of the system drive ("C:\"); empty when
// even the system directory is unusable.
std::wstring ConfiguredBaseDirectory(HKEY key);

// The folder of the log files below a base directory: "<base>\DebugSSO".
std::wstring LogDirectoryIn(std::wstring base);

}  // namespace ssolog
