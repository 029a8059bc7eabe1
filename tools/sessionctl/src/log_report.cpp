#include "log_report.h"

#include "input_error.h"
#include "document.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>

namespace sessionctl {
namespace {

namespace fs = std::filesystem;

const char* const kLogNames[] = {"session.log", "kwarden.log"};

// Adds what exists of the file and, before it, its ".bak" backup (older lines first).
void AddWithBackup(const std::string& path, std::vector<std::string>& files) {
    std::error_code error;
    bool isBackup = path.size() > 4 && path.compare(path.size() - 4, 4, ".bak") == 0;
    for (const std::string& file : {isBackup ? std::string() : path + ".bak", path}) {
        if (!file.empty() && fs::is_regular_file(file, error) &&
            std::find(files.begin(), files.end(), file) == files.end()) {
            files.push_back(file);
        }
    }
}

// The library writes into "<OutputLogDir>\DebugSSO" (and `--trace DIR` into
// DIR/C/DebugSSO), so a directory also stands for the DebugSSO folders a few levels
// below it; deeper ones are not searched, so that a drive given by mistake stays cheap.
constexpr int kDebugSsoDepth = 3;

// Compared on the native string: folder names need not fit the narrow code page on Windows.
bool IsDebugSso(const fs::path& folder) {
    const fs::path file = folder.filename();
    const fs::path::string_type& name = file.native();
    const char wanted[] = "debugsso";
    if (name.size() != sizeof wanted - 1) {
        return false;
    }
    for (size_t i = 0; i < name.size(); ++i) {
        auto c = name[i];
        if ((c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c) != wanted[i]) {
            return false;
        }
    }
    return true;
}

void AddDirectory(const fs::path& directory, std::vector<std::string>& files) {
    std::vector<fs::path> folders = {directory};
    std::vector<fs::path> below;
    std::error_code error;
    fs::recursive_directory_iterator it(directory, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it.depth() >= kDebugSsoDepth) {
            it.disable_recursion_pending();
        }
        std::error_code kind;
        if (it->is_directory(kind) && IsDebugSso(it->path())) {
            below.push_back(it->path());
        }
    }
    std::sort(below.begin(), below.end());
    folders.insert(folders.end(), below.begin(), below.end());
    for (const fs::path& folder : folders) {
        for (const char* name : kLogNames) {
            AddWithBackup((folder / name).string(), files);
        }
    }
}

std::string Plural(uint64_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

std::vector<std::string> LogFilesToRead(const std::vector<std::string>& arguments) {
    std::vector<std::string> files;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (fs::is_directory(argument, error)) {
            size_t before = files.size();
            AddDirectory(argument, files);
            if (files.size() == before) {
                throw InputError(argument, 0, "no session.log or kwarden.log here nor in a DebugSSO folder below");
            }
        } else if (fs::is_regular_file(argument, error)) {
            AddWithBackup(argument, files);
        } else {
            throw InputError(argument, 0, "no such file or directory");
        }
    }
    return files;
}

std::string LogStatsText(const LogStatistics& statistics) {
    std::ostringstream out;
    for (const FileStats& file : statistics.Files()) {
        out << "read " << file.path << ": " << Plural(file.lines, "line") << ", " << file.malformed
            << " not in the log format";
        if (!file.malformedLines.empty()) {
            out << " (line";
            for (size_t i = 0; i < file.malformedLines.size(); ++i) {
                out << (i == 0 ? " " : ", ") << file.malformedLines[i];
            }
            out << (file.malformed > file.malformedLines.size() ? ", ..." : "") << ")";
        }
        out << "\n";
    }
    for (const auto& [pid, process] : statistics.Processes()) {
        out << "\nprocess " << pid << " (session";
        for (size_t i = 0; i < process.sessions.size(); ++i) {
            out << (i == 0 ? " " : ", ") << process.sessions[i];
        }
        out << "): " << Plural(process.lines, "line") << ", " << Plural(process.errors, "error") << ", "
            << process.firstTime << " .. " << process.lastTime << "\n";
        size_t width = 9;
        for (const auto& entry : process.operations) {
            width = std::max(width, entry.first.size());
        }
        char row[64];
        out << "  " << std::string("operation") << std::string(width - 9, ' ');
        std::snprintf(row, sizeof row, " %7s %6s %6s %6s %6s %6s\n", "lines", "errors", "scopes", "p50", "p95", "max");
        out << row;
        for (const auto& [name, operation] : process.operations) {
            out << "  " << name << std::string(width - name.size(), ' ');
            std::snprintf(row, sizeof row, " %7llu %6llu", static_cast<unsigned long long>(operation.lines),
                          static_cast<unsigned long long>(operation.errors));
            out << row;
            Percentiles p = Summarize(operation.scopeMilliseconds);
            if (p.count > 0) {
                std::snprintf(row, sizeof row, " %6llu %6lld %6lld %6lld", static_cast<unsigned long long>(p.count),
                              static_cast<long long>(p.p50), static_cast<long long>(p.p95),
                              static_cast<long long>(p.max));
                out << row;
            }
            if (operation.unmatchedExits > 0 || operation.unclosedEntries > 0) {
                out << "  (" << operation.unclosedEntries << " unclosed, " << operation.unmatchedExits
                    << " unmatched exits)";
            }
            out << "\n";
        }
    }
    return out.str();
}

std::string LogStatsJson(const LogStatistics& statistics) {
    Json files = Json::array(), processes = Json::array();
    for (const FileStats& file : statistics.Files()) {
        files.push_back({{"path", file.path}, {"lines", file.lines}, {"malformed", file.malformed},
                         {"malformedLines", file.malformedLines}});
    }
    for (const auto& [pid, process] : statistics.Processes()) {
        Json operations = Json::array();
        for (const auto& [name, operation] : process.operations) {
            Percentiles p = Summarize(operation.scopeMilliseconds);
            Json row = {{"operation", name}, {"lines", operation.lines}, {"errors", operation.errors},
                        {"scopes", p.count}};
            if (p.count > 0) {
                row["p50"] = p.p50;
                row["p95"] = p.p95;
                row["max"] = p.max;
            }
            row["unclosed"] = operation.unclosedEntries;
            row["unmatchedExits"] = operation.unmatchedExits;
            operations.push_back(row);
        }
        processes.push_back({{"pid", pid}, {"sessions", process.sessions}, {"lines", process.lines},
                             {"errors", process.errors}, {"first", process.firstTime},
                             {"last", process.lastTime}, {"operations", operations}});
    }
    return JsonText({{"files", files}, {"processes", processes}});
}

}  // namespace sessionctl
