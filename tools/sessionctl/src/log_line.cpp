#include "log_line.h"

#include <algorithm>
#include <cctype>

namespace sessionctl {
namespace {

class Cursor {
public:
    explicit Cursor(const std::string& s) : s_(s) {}

    bool Literal(const char* text) {
        size_t length = std::char_traits<char>::length(text);
        if (s_.compare(pos_, length, text) != 0) {
            return false;
        }
        pos_ += length;
        return true;
    }

    bool Number(int64_t& value, bool allowSign) {
        bool negative = false;
        if (allowSign && pos_ < s_.size() && s_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        size_t start = pos_;
        value = 0;
        while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_])) && pos_ - start < 18) {
            value = value * 10 + (s_[pos_] - '0');
            ++pos_;
        }
        if (negative) {
            value = -value;
        }
        return pos_ > start && !(pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_])));
    }

    size_t Position() const { return pos_; }

private:
    const std::string& s_;
    size_t pos_ = 0;
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

std::optional<LogLine> ParseLogLine(const std::string& raw) {
    std::string line = raw;
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    Cursor c(line);
    int64_t part = 0;
    LogLine result;
    bool header = c.Number(part, false) && c.Literal("/") && c.Number(part, false) && c.Literal("/") &&
                  c.Number(part, false) && c.Literal("T") && c.Number(part, false) && c.Literal(":") &&
                  c.Number(part, false) && c.Literal(":") && c.Number(part, false) && c.Literal(".") &&
                  c.Number(part, false);
    if (!header) {
        return std::nullopt;
    }
    result.time = line.substr(0, c.Position());
    if (!(c.Literal(", SID:") && c.Number(result.session, true) && c.Literal(", PID:") &&
          c.Number(result.process, true) && c.Literal(", TID:") && c.Number(result.thread, true) &&
          c.Literal(", "))) {
        return std::nullopt;
    }
    std::string rest = line.substr(c.Position());
    // Scope lines first: their detail is fixed, so a comma inside the text cannot mislead.
    static const std::string kEntry = ", >> in";
    static const std::string kExit = ", << out - ";
    size_t exitAt = rest.rfind(kExit);
    if (EndsWith(rest, kEntry)) {
        result.text = rest.substr(0, rest.size() - kEntry.size());
        result.detail = ">> in";
    } else if (exitAt != std::string::npos && EndsWith(rest, " [msec]")) {
        result.text = rest.substr(0, exitAt);
        result.detail = rest.substr(exitAt + 2);
    } else if (!rest.empty() && rest.back() == ',') {
        result.text = rest.substr(0, rest.size() - 1);
    } else {
        size_t split = rest.find(", ");
        if (split == std::string::npos) {
            return std::nullopt;
        }
        result.text = rest.substr(0, split);
        result.detail = rest.substr(split + 2);
    }
    return result;
}

bool IsScopeEntry(const LogLine& line) {
    return line.detail && *line.detail == ">> in";
}

std::optional<int64_t> ScopeExitMilliseconds(const LogLine& line) {
    static const std::string kPrefix = "<< out - ";
    if (!line.detail || line.detail->compare(0, kPrefix.size(), kPrefix) != 0 || !EndsWith(*line.detail, " [msec]")) {
        return std::nullopt;
    }
    std::string number = line.detail->substr(kPrefix.size(), line.detail->size() - kPrefix.size() - 7);
    Cursor c(number);
    int64_t value = 0;
    if (!c.Number(value, true) || c.Position() != number.size()) {
        return std::nullopt;
    }
    return value;
}

bool IsErrorTrace(const LogLine& line) {
    std::string text = Lower(line.text);
    if (text.find("error") != std::string::npos || text.find("not found") != std::string::npos ||
        text.find("failed") != std::string::npos) {
        return true;
    }
    return line.detail && Lower(*line.detail) == "error";
}

}  // namespace sessionctl
