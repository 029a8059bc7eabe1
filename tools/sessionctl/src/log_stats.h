// Statistics over diagnostic logs: per process and per operation the line count,
// the errors traced and, for every scope (">> in" / "<< out - N [msec]" pairs,
// matched per thread), count, p50, p95 and maximum of the milliseconds.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sessionctl {

struct OperationStats {
    uint64_t lines = 0;
    uint64_t errors = 0;
    std::vector<int64_t> scopeMilliseconds;  // one per matched scope, in order of exit
    uint64_t unmatchedExits = 0;             // exit lines without an open entry
    uint64_t unclosedEntries = 0;            // entries never left (at the end of the input)
};

struct ProcessStats {
    uint64_t lines = 0;
    uint64_t errors = 0;
    std::vector<int64_t> sessions;  // distinct, in order of appearance
    std::string firstTime;
    std::string lastTime;
    std::map<std::string, OperationStats> operations;
};

struct FileStats {
    std::string path;
    uint64_t lines = 0;
    uint64_t malformed = 0;
    std::vector<uint64_t> malformedLines;  // the first few line numbers, 1-based
};

struct Percentiles {
    uint64_t count = 0;
    int64_t p50 = 0;
    int64_t p95 = 0;
    int64_t max = 0;
};

// Nearest-rank percentiles; all zero for no values.
Percentiles Summarize(std::vector<int64_t> values);

class LogStatistics {
public:
    // Adds one file's content. Files of one logger go oldest first (".bak" before the
    // live file) so that scopes that span the rotation still match.
    void AddFile(const std::string& path, const std::string& content);
    // Counts the scopes still open as unclosed; call once after the last file.
    void Finish();

    const std::vector<FileStats>& Files() const { return files_; }
    const std::map<int64_t, ProcessStats>& Processes() const { return processes_; }

private:
    struct OpenScope {
        std::string text;
    };

    std::vector<FileStats> files_;
    std::map<int64_t, ProcessStats> processes_;
    std::map<std::pair<int64_t, int64_t>, std::vector<OpenScope>> open_;  // (pid, tid)
};

}  // namespace sessionctl
