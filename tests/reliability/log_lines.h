// Reading back what the log writers produced: each line split into its header fields
// and its text, or counted as torn when its header is not the one the writer formats.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace reliability {

struct LogLine {
    long pid = 0;
    long tid = 0;
    std::string text;  // "text, detail"
};

struct LogContent {
    std::vector<LogLine> lines;
    std::size_t torn = 0;  // lines without a well-formed header or CR LF end
};

// The lines of the host files, in file order (pass the backup first).
LogContent ReadLog(const std::vector<std::string>& hostPaths);

}  // namespace reliability
