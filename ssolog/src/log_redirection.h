// Refusing a log folder or file that leads elsewhere. The library writes as SYSTEM into a
// folder ordinary users may have made before it (the system drive's root is open to them):
// a junction or symbolic link in place of the folder or above it, or a link or second name
// in place of the file, would make each line a write where that user chose.
#pragma once

#include <platform/win32.h>

#include <string>

namespace ssolog {

// Neither the folder nor any folder above it is a junction or symbolic link.
bool IsOwnFolder(const std::wstring& directory);
// The open file is the one named `path`: no reparse point, no other name, and its final
// path, which sees a redirection at any level, is `path`. Never throws.
bool IsOwnFile(HANDLE file, const wchar_t* path);
// The handle of a stream just opened, made not inheritable at once, so that a child that
// another thread starts with inheritance cannot get it; null when that fails.
HANDLE UninheritedHandleOf(FILE* file);

}  // namespace ssolog
