#include "log_lines.h"

#include <fstream>
#include <regex>

namespace reliability {

LogContent ReadLog(const std::vector<std::string>& hostPaths) {
    static const std::regex header(
        R"(^\d{4}/\d{2}/\d{2}T\d{2}:\d{2}:\d{2}\.\d{3}, SID:\d{6,}, PID:(\d{6,}), TID:(\d{6,}), (.*)\r$)");
    LogContent content;
    for (const std::string& path : hostPaths) {
        std::ifstream file(path, std::ios::binary);
        std::smatch fields;
        for (std::string line; std::getline(file, line);) {
            if (!std::regex_match(line, fields, header)) {
                ++content.torn;
                continue;
            }
            content.lines.push_back({std::stol(fields[1]), std::stol(fields[2]), fields[3]});
        }
    }
    return content;
}

}  // namespace reliability
