// The bytes of one log line: time, session, process and thread columns, the text,
// a comma, the detail and the line end.
#pragma once

#include <string>

namespace ssolog {

// Either text may be null. Throws std::bad_alloc when memory runs out.
std::string FormatLine(const wchar_t* text, const wchar_t* detail);

}  // namespace ssolog
