#include "log_stats.h"

#include "log_line.h"

#include <algorithm>

namespace sessionctl {
namespace {

constexpr size_t kMalformedLinesKept = 10;

int64_t NearestRank(const std::vector<int64_t>& sorted, unsigned percent) {
    size_t rank = (sorted.size() * percent + 99) / 100;  // ceil(n * p / 100)
    return sorted[std::max<size_t>(rank, 1) - 1];
}

}  // namespace

Percentiles Summarize(std::vector<int64_t> values) {
    Percentiles result;
    if (values.empty()) {
        return result;
    }
    std::sort(values.begin(), values.end());
    result.count = values.size();
    result.p50 = NearestRank(values, 50);
    result.p95 = NearestRank(values, 95);
    result.max = values.back();
    return result;
}

void LogStatistics::AddFile(const std::string& path, const std::string& content) {
    FileStats file;
    file.path = path;
    size_t start = 0;
    uint64_t number = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        std::string raw = content.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? content.size() : end + 1;
        ++number;
        ++file.lines;
        auto line = ParseLogLine(raw);
        if (!line) {
            ++file.malformed;
            if (file.malformedLines.size() < kMalformedLinesKept) {
                file.malformedLines.push_back(number);
            }
            continue;
        }
        ProcessStats& process = processes_[line->process];
        if (process.lines == 0) {
            process.firstTime = line->time;
        }
        process.lastTime = line->time;
        ++process.lines;
        if (std::find(process.sessions.begin(), process.sessions.end(), line->session) == process.sessions.end()) {
            process.sessions.push_back(line->session);
        }
        OperationStats& operation = process.operations[line->text];
        ++operation.lines;
        if (IsErrorTrace(*line)) {
            ++operation.errors;
            ++process.errors;
        }
        auto& stack = open_[{line->process, line->thread}];
        if (IsScopeEntry(*line)) {
            stack.push_back({line->text});
        } else if (auto milliseconds = ScopeExitMilliseconds(*line)) {
            auto match = std::find_if(stack.rbegin(), stack.rend(),
                                      [&](const OpenScope& scope) { return scope.text == line->text; });
            if (match == stack.rend()) {
                ++operation.unmatchedExits;
            } else {
                stack.erase(std::next(match).base());
                operation.scopeMilliseconds.push_back(*milliseconds);
            }
        }
    }
    files_.push_back(std::move(file));
}

void LogStatistics::Finish() {
    for (auto& [key, stack] : open_) {
        for (const OpenScope& scope : stack) {
            ++processes_[key.first].operations[scope.text].unclosedEntries;
        }
        stack.clear();
    }
}

}  // namespace sessionctl
