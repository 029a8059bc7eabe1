// Reader of the files that Windows' `reg export` and regedit write, so that a
// customer's registry export can be replayed on the simulated machine.
//
// Accepted: UTF-16LE with byte order mark or UTF-8; the headers "Windows Registry
// Editor Version 5.00" and "REGEDIT4"; keys "[path]" and deleted keys "[-path]";
// values "name" or @ (the default value) as "text" (escapes \\ and \"), dword:,
// hex:, hex(N): with line continuations, and deleted values ("x"=-); ';' comments.
#pragma once

#include "registry_path.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sessionctl {

struct RegOperation {
    enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };

    Kind kind = Kind::CreateKey;
    RegistryPath path;
    std::wstring name;          // value name; empty for the default value
    uint32_t type = 0;          // REG_* number
    std::vector<uint8_t> data;  // as Windows stores it: texts in UTF-16LE
    int line = 0;               // where the entry starts in the file
};

// Throws InputError naming `fileName` and the line of the first bad entry.
std::vector<RegOperation> ParseRegFile(const std::string& bytes, const std::string& fileName);

// The registry types whose data is UTF-16 text (REG_SZ, REG_EXPAND_SZ, REG_LINK,
// REG_MULTI_SZ).
bool IsTextType(uint32_t type);
// UTF-16LE bytes as wide text, NULs kept; an odd last byte is dropped.
std::wstring Utf16LeToWide(const std::vector<uint8_t>& bytes);
std::vector<uint8_t> WideToUtf16Le(const std::wstring& text);

}  // namespace sessionctl
