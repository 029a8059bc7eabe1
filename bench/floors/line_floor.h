// The floor of a written line: open for append with full sharing, one write of the
// same bytes, close; the C runtime calls the logger makes, nothing else.
#pragma once

#include <string>

namespace bench {

void WriteLineBare(const std::wstring& path, const std::string& line);

}  // namespace bench
