// Where the log configuration lives in the registry, and how its directory is read.
#pragma once

#include <platform/win32.h>

#include <string>

namespace ssolog {

constexpr const wchar_t* kLogConfigKey =
    L"SOFTWARE\\Corvane Systems K.K.\\Corvane Keywarden\\SSOLog";

// Reads "OutputLogDir" (REG_SZ only) from an open key. An empty value gives true with
// an empty text.
bool ReadLogDirectory(HKEY key, std::wstring& directoryText);

}  // namespace ssolog
