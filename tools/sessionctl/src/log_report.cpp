#include "log_report.h"

#include "input_error.h"
#include "json_writer.h"

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
    JsonWriter json;
    json.BeginObject().Key("files").BeginArray();
    for (const FileStats& file : statistics.Files()) {
        json.BeginObject()
            .Key("path").String(file.path)
            .Key("lines").Number(static_cast<int64_t>(file.lines))
            .Key("malformed").Number(static_cast<int64_t>(file.malformed))
            .Key("malformedLines").BeginArray();
        for (uint64_t line : file.malformedLines) json.Number(static_cast<int64_t>(line));
        json.EndArray().EndObject();
    }
    json.EndArray().Key("processes").BeginArray();
    for (const auto& [pid, process] : statistics.Processes()) {
        json.BeginObject()
            .Key("pid").Number(pid)
            .Key("sessions").BeginArray();
        for (int64_t session : process.sessions) json.Number(session);
        json.EndArray()
            .Key("lines").Number(static_cast<int64_t>(process.lines))
            .Key("errors").Number(static_cast<int64_t>(process.errors))
            .Key("first").String(process.firstTime)
            .Key("last").String(process.lastTime)
            .Key("operations").BeginArray();
        for (const auto& [name, operation] : process.operations) {
            Percentiles p = Summarize(operation.scopeMilliseconds);
            json.BeginObject()
                .Key("operation").String(name)
                .Key("lines").Number(static_cast<int64_t>(operation.lines))
                .Key("errors").Number(static_cast<int64_t>(operation.errors))
                .Key("scopes").Number(static_cast<int64_t>(p.count));
            if (p.count > 0) {
                json.Key("p50").Number(p.p50).Key("p95").Number(p.p95).Key("max").Number(p.max);
            }
            json.Key("unclosed").Number(static_cast<int64_t>(operation.unclosedEntries))
                .Key("unmatchedExits").Number(static_cast<int64_t>(operation.unmatchedExits))
                .EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray().EndObject();
    return json.Text() + "\n";
}

}  // namespace sessionctl
