// The floor of a written line: open for append with full sharing, one write of the
// same bytes, close; the C runtime calls the logger makes, nothing else.
#pragma once

#include <string>

namespace bench {

void WriteLineBare(const std::wstring& path, const std::string& line);

// The same line inside the library's writers' lock: the token byte locked on the file's own
// handle after the open, unlocked after a flush and before the close. Paired with the bare
// line it prices the lock alone.
void WriteLineLocked(const std::wstring& path, const std::string& line);

}  // namespace bench
