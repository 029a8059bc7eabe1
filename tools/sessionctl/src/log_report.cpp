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
            for (const char* name : kLogNames) {
                AddWithBackup((fs::path(argument) / name).string(), files);
            }
            if (files.size() == before) {
                throw InputError(argument, 0, "no session.log or kwarden.log in this directory");
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
        out << file.path << ": " << Plural(file.lines, "line") << ", " << file.malformed
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
