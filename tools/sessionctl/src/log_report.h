// `sessionctl log stats`: which files to read, and the report as a table or JSON.
#pragma once

#include "log_stats.h"

#include <string>
#include <vector>

namespace sessionctl {

// The files behind the arguments, oldest first: a directory stands for its
// "session.log" and "kwarden.log" and those of the DebugSSO folders up to four levels
// below it; a log file's ".bak" backup is read before it.
// Throws InputError for an argument that names nothing.
std::vector<std::string> LogFilesToRead(const std::vector<std::string>& arguments);

std::string LogStatsText(const LogStatistics& statistics);
std::string LogStatsJson(const LogStatistics& statistics);

}  // namespace sessionctl
