#include "document.h"

#include "input_error.h"

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <set>

namespace sessionctl {
namespace {

// Deeper than any description needs; also keeps the walks over a hostile file shallow.
constexpr int kMaxDepth = 64;

// The file as the parser reads it, one character at a time, remembering the last one read:
// the parser reports a value right after its last character (after a number, one more).
class ReadingPosition {
public:
    using iterator_category = std::input_iterator_tag;
    using value_type = char;
    using difference_type = std::ptrdiff_t;
    using pointer = const char*;
    using reference = const char&;

    ReadingPosition(const char* at, const char** lastRead) : at_(at), lastRead_(lastRead) {}
    reference operator*() const {
        *lastRead_ = at_;
        return *at_;
    }
    ReadingPosition& operator++() {
        ++at_;
        return *this;
    }
    ReadingPosition operator++(int) {
        ReadingPosition before = *this;
        ++at_;
        return before;
    }
    bool operator==(const ReadingPosition& other) const { return at_ == other.at_; }
    bool operator!=(const ReadingPosition& other) const { return at_ != other.at_; }

private:
    const char* at_;
    const char** lastRead_;
};

class Lines {
public:
    explicit Lines(const std::string& text) : text_(text) {
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1)) {
            newlines_.push_back(at);
        }
    }
    int LineOf(size_t offset) const {
        return static_cast<int>(std::lower_bound(newlines_.begin(), newlines_.end(), offset) - newlines_.begin()) + 1;
    }
    size_t ColumnOf(size_t offset) const {
        auto before = std::lower_bound(newlines_.begin(), newlines_.end(), offset);
        return before == newlines_.begin() ? offset + 1 : offset - *std::prev(before);
    }
    // The character read after a number is on its line too: a line feed counts to the line it ends.
    int LineOfLastRead(const char* lastRead) const {
        return lastRead == nullptr ? 1 : LineOf(static_cast<size_t>(lastRead - text_.data()));
    }

private:
    const std::string& text_;
    std::vector<size_t> newlines_;
};

// nlohmann's "... while parsing CONTEXT - DETAIL" said as this tool says it, its own words kept.
std::string SyntaxMessage(const std::string& what, size_t column) {
    static const std::pair<const char*, const char*> kContexts[] = {
        {"object key", "expected a member name"},
        {"object separator", "expected ':'"},
        {"object", "expected ',' or '}'"},
        {"array", "expected ',' or ']'"},
    };
    std::string phrase = "not valid JSON";
    size_t context = what.find("while parsing ");
    size_t detail = what.find(" - ");
    if (context != std::string::npos && detail != std::string::npos && detail > context) {
        std::string name = what.substr(context + 14, detail - context - 14);
        for (const auto& [known, said] : kContexts) {
            if (name == known) phrase = said;
        }
        detail += 3;
    } else {
        detail = what.find(": ");
        detail = detail == std::string::npos ? 0 : detail + 2;
    }
    return phrase + " at column " + std::to_string(column) + ": " + what.substr(detail);
}

std::string Described(const Json& value) {
    return std::string(value.is_array() || value.is_object() ? "an " : "a ") + value.type_name();
}

}  // namespace

std::string JsonText(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

Document::Document(const std::string& text, std::string fileName) : fileName_(std::move(fileName)) {
    const Lines lines(text);
    const char* lastRead = nullptr;
    std::vector<int> valueLines;  // in document order
    std::vector<std::set<std::string>> memberNames;
    auto record = [&](int depth, Json::parse_event_t event, Json& parsed) {
        switch (event) {
        case Json::parse_event_t::object_start:
            memberNames.emplace_back();
            [[fallthrough]];
        case Json::parse_event_t::array_start:
            if (depth >= kMaxDepth) {
                throw InputError(fileName_, lines.LineOfLastRead(lastRead), "nested too deeply");
            }
            [[fallthrough]];
        case Json::parse_event_t::value:
            valueLines.push_back(lines.LineOfLastRead(lastRead));
            break;
        case Json::parse_event_t::key:
            if (!memberNames.back().insert(parsed.get<std::string>()).second) {
                throw InputError(fileName_, lines.LineOfLastRead(lastRead),
                                 "duplicate member \"" + parsed.get<std::string>() + "\"");
            }
            break;
        case Json::parse_event_t::object_end:
            memberNames.pop_back();
            break;
        case Json::parse_event_t::array_end:
            break;
        }
        return true;
    };
    try {
        root_ = Json::parse(ReadingPosition(text.data(), &lastRead),
                            ReadingPosition(text.data() + text.size(), &lastRead), record);
    } catch (const Json::parse_error& error) {
        size_t offset = std::min(error.byte > 0 ? error.byte - 1 : 0, text.size());
        throw InputError(fileName_, lines.LineOf(offset), SyntaxMessage(error.what(), lines.ColumnOf(offset)));
    } catch (const Json::exception& error) {  // a number too large for a double
        const std::string what = error.what();
        const size_t id = what.find("] ");
        throw InputError(fileName_, lines.LineOfLastRead(lastRead), id == std::string::npos ? what : what.substr(id + 2));
    }
    auto line = valueLines.cbegin();
    Locate(root_, line);
}

void Document::Locate(const Json& value, std::vector<int>::const_iterator& line) {
    lines_[&value] = *line++;
    if (value.is_structured()) {
        for (const Json& child : value) Locate(child, line);
    }
}

int Document::LineOf(const Json& value) const {
    auto found = lines_.find(&value);
    return found == lines_.end() ? 0 : found->second;
}

ObjectReader::ObjectReader(const Document& document, const Json& object, std::string what)
    : document_(document), object_(object), what_(std::move(what)) {
    Expect(object_, Json::value_t::object);
}

const Json* ObjectReader::Optional(const std::string& name) {
    asked_.push_back(name);
    auto found = object_.find(name);
    return found == object_.end() ? nullptr : &*found;
}

const Json& ObjectReader::Required(const std::string& name) {
    const Json* value = Optional(name);
    if (value == nullptr) Fail(object_, what_ + " needs the field \"" + name + "\"");
    return *value;
}

void ObjectReader::RejectUnknown() const {
    for (const auto& member : object_.items()) {
        if (std::find(asked_.begin(), asked_.end(), member.key()) == asked_.end()) {
            std::string known;
            for (const std::string& name : asked_) known += (known.empty() ? "" : ", ") + name;
            Fail(member.value(), "unknown field \"" + member.key() + "\" in " + what_ + " (known: " + known + ")");
        }
    }
}

void ObjectReader::Fail(const Json& value, const std::string& message) const {
    throw InputError(document_.FileName(), document_.LineOf(value), message);
}

void ObjectReader::Expect(const Json& value, Json::value_t type) const {
    if (value.type() != type) Fail(value, what_ + ": expected " + Described(Json(type)) + ", found " + Described(value));
}

std::string ObjectReader::String(const Json& value) const {
    Expect(value, Json::value_t::string);
    return value.get<std::string>();
}

bool ObjectReader::Bool(const Json& value) const {
    Expect(value, Json::value_t::boolean);
    return value.get<bool>();
}

uint32_t ObjectReader::Unsigned(const Json& value) const {
    if (!value.is_number()) Expect(value, Json::value_t::number_unsigned);
    if (!value.is_number_unsigned() || value.get<uint64_t>() > 0xFFFFFFFFull) {
        Fail(value, what_ + ": expected a whole number from 0 to 4294967295");
    }
    return static_cast<uint32_t>(value.get<uint64_t>());
}

const Json& ObjectReader::Array(const Json& value) const {
    Expect(value, Json::value_t::array);
    return value;
}

}  // namespace sessionctl
