// One line of the library's diagnostic log ("session.log", "kwarden.log"):
//   2026/12/04T09:05:03.042, SID:000002, PID:004711, TID:005120, Initialize..., XenDesktop
// The header is fixed; the text part is the traced text, a comma, and when the trace
// had a detail, one blank and the detail.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sessionctl {

struct LogLine {
    std::string time;  // as written, local time
    int64_t session = 0;
    int64_t process = 0;
    int64_t thread = 0;
    std::string text;
    std::optional<std::string> detail;
};

// nullopt when the line is not in the log's format. A trailing carriage return is ignored.
std::optional<LogLine> ParseLogLine(const std::string& line);

// A scope's entry line (">> in") or exit line ("<< out - N [msec]", N returned).
bool IsScopeEntry(const LogLine& line);
std::optional<int64_t> ScopeExitMilliseconds(const LogLine& line);

// Whether the line reports a failure: its text or detail says "error", or its text
// says "not found" or "failed" (case-insensitive).
bool IsErrorTrace(const LogLine& line);

}  // namespace sessionctl
