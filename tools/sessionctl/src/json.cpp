#include "json.h"

#include "input_error.h"
#include "text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace sessionctl {
namespace {

class Parser {
public:
    Parser(const std::string& text, const std::string& fileName) : text_(text), file_(fileName) {}

    JsonValue Document() {
        SkipSpace();
        JsonValue value = Value(0);
        SkipSpace();
        if (pos_ != text_.size()) {
            Fail("unexpected text after the JSON value");
        }
        return value;
    }

private:
    static constexpr int kMaxDepth = 64;

    [[noreturn]] void Fail(const std::string& message) const {
        throw InputError(file_, line_, message);
    }

    bool AtEnd() const { return pos_ >= text_.size(); }
    char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

    void SkipSpace() {
        while (!AtEnd()) {
            char c = text_[pos_];
            if (c == '\n') {
                ++line_;
            } else if (c != ' ' && c != '\t' && c != '\r') {
                return;
            }
            ++pos_;
        }
    }

    void Expect(char c, const char* what) {
        if (Peek() != c) {
            Fail(std::string("expected ") + what);
        }
        ++pos_;
    }

    JsonValue Value(int depth) {
        if (depth > kMaxDepth) {
            Fail("nesting too deep");
        }
        JsonValue value;
        value.line = line_;
        char c = Peek();
        if (c == '{') {
            value.kind = JsonValue::Kind::Object;
            ObjectBody(value, depth);
        } else if (c == '[') {
            value.kind = JsonValue::Kind::Array;
            ArrayBody(value, depth);
        } else if (c == '"') {
            value.kind = JsonValue::Kind::String;
            value.text = String();
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            value.kind = JsonValue::Kind::Number;
            Number(value);
        } else if (Keyword("true")) {
            value.kind = JsonValue::Kind::Bool;
            value.boolean = true;
        } else if (Keyword("false")) {
            value.kind = JsonValue::Kind::Bool;
        } else if (Keyword("null")) {
            value.kind = JsonValue::Kind::Null;
        } else if (AtEnd()) {
            Fail("unexpected end of file");
        } else {
            Fail(std::string("unexpected character '") + c + "'");
        }
        return value;
    }

    bool Keyword(const char* word) {
        size_t length = std::char_traits<char>::length(word);
        if (text_.compare(pos_, length, word) != 0) {
            return false;
        }
        pos_ += length;
        return true;
    }

    void ObjectBody(JsonValue& value, int depth) {
        ++pos_;
        SkipSpace();
        if (Peek() == '}') {
            ++pos_;
            return;
        }
        for (;;) {
            SkipSpace();
            if (Peek() != '"') {
                Fail("expected a member name in double quotes");
            }
            int nameLine = line_;
            std::string name = String();
            if (value.Find(name) != nullptr) {
                throw InputError(file_, nameLine, "duplicate member \"" + name + "\"");
            }
            SkipSpace();
            Expect(':', "':' after the member name");
            SkipSpace();
            value.members.emplace_back(name, Value(depth + 1));
            SkipSpace();
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            Expect('}', "',' or '}' in the object");
            return;
        }
    }

    void ArrayBody(JsonValue& value, int depth) {
        ++pos_;
        SkipSpace();
        if (Peek() == ']') {
            ++pos_;
            return;
        }
        for (;;) {
            SkipSpace();
            value.items.push_back(Value(depth + 1));
            SkipSpace();
            if (Peek() == ',') {
                ++pos_;
                continue;
            }
            Expect(']', "',' or ']' in the array");
            return;
        }
    }

    unsigned Hex4() {
        unsigned result = 0;
        for (int i = 0; i < 4; ++i) {
            char c = Peek();
            unsigned digit;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                Fail("bad \\u escape");
            }
            result = result * 16 + digit;
            ++pos_;
        }
        return result;
    }

    std::string String() {
        ++pos_;
        std::string out;
        for (;;) {
            if (AtEnd()) {
                Fail("unterminated string");
            }
            char c = text_[pos_++];
            if (c == '"') {
                return out;
            }
            if (static_cast<unsigned char>(c) < 0x20) {
                Fail("control character in a string (escape it)");
            }
            if (c != '\\') {
                out += c;
                continue;
            }
            char e = Peek();
            ++pos_;
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                unsigned cp = Hex4();
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    if (!Keyword("\\u")) {
                        Fail("unpaired surrogate in \\u escape");
                    }
                    unsigned low = Hex4();
                    if (low < 0xDC00 || low > 0xDFFF) {
                        Fail("unpaired surrogate in \\u escape");
                    }
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    Fail("unpaired surrogate in \\u escape");
                }
                AppendUtf8(out, cp);
                break;
            }
            default:
                Fail("unknown escape in a string");
            }
        }
    }

    void Digits() {
        if (!(Peek() >= '0' && Peek() <= '9')) {
            Fail("malformed number");
        }
        while (Peek() >= '0' && Peek() <= '9') {
            ++pos_;
        }
    }

    void Number(JsonValue& value) {
        size_t start = pos_;
        if (Peek() == '-') {
            ++pos_;
        }
        if (Peek() == '0') {
            ++pos_;
            if (Peek() >= '0' && Peek() <= '9') {
                Fail("malformed number (leading zero)");
            }
        } else {
            Digits();
        }
        value.integral = true;
        if (Peek() == '.') {
            ++pos_;
            Digits();
            value.integral = false;
        }
        if (Peek() == 'e' || Peek() == 'E') {
            ++pos_;
            if (Peek() == '+' || Peek() == '-') {
                ++pos_;
            }
            Digits();
            value.integral = false;
        }
        value.number = std::strtod(text_.substr(start, pos_ - start).c_str(), nullptr);
    }

    const std::string& text_;
    const std::string& file_;
    size_t pos_ = 0;
    int line_ = 1;
};

}  // namespace

const JsonValue* JsonValue::Find(const std::string& name) const {
    for (const auto& member : members) {
        if (member.first == name) {
            return &member.second;
        }
    }
    return nullptr;
}

const char* KindName(JsonValue::Kind kind) {
    switch (kind) {
    case JsonValue::Kind::Null: return "null";
    case JsonValue::Kind::Bool: return "a boolean";
    case JsonValue::Kind::Number: return "a number";
    case JsonValue::Kind::String: return "a string";
    case JsonValue::Kind::Array: return "an array";
    case JsonValue::Kind::Object: return "an object";
    }
    return "?";
}

JsonValue ParseJson(const std::string& text, const std::string& fileName) {
    return Parser(text, fileName).Document();
}

JsonObjectReader::JsonObjectReader(const JsonValue& object, std::string fileName, std::string what)
    : object_(object), fileName_(std::move(fileName)), what_(std::move(what)) {
    Expect(object_, JsonValue::Kind::Object);
}

const JsonValue* JsonObjectReader::Optional(const std::string& name) {
    asked_.push_back(name);
    return object_.Find(name);
}

const JsonValue& JsonObjectReader::Required(const std::string& name) {
    const JsonValue* value = Optional(name);
    if (value == nullptr) {
        throw InputError(fileName_, object_.line, what_ + " needs the field \"" + name + "\"");
    }
    return *value;
}

void JsonObjectReader::RejectUnknown() const {
    for (const auto& member : object_.members) {
        if (std::find(asked_.begin(), asked_.end(), member.first) == asked_.end()) {
            std::string known;
            for (const auto& name : asked_) {
                known += (known.empty() ? "" : ", ") + name;
            }
            throw InputError(fileName_, member.second.line,
                             "unknown field \"" + member.first + "\" in " + what_ +
                                 " (known: " + known + ")");
        }
    }
}

void JsonObjectReader::Fail(const JsonValue& value, const std::string& message) const {
    throw InputError(fileName_, value.line, message);
}

void JsonObjectReader::Expect(const JsonValue& value, JsonValue::Kind kind) const {
    if (value.kind != kind) {
        Fail(value, what_ + ": expected " + KindName(kind) + ", found " + KindName(value.kind));
    }
}

std::string JsonObjectReader::String(const JsonValue& value) const {
    Expect(value, JsonValue::Kind::String);
    return value.text;
}

bool JsonObjectReader::Bool(const JsonValue& value) const {
    Expect(value, JsonValue::Kind::Bool);
    return value.boolean;
}

uint32_t JsonObjectReader::Unsigned(const JsonValue& value) const {
    Expect(value, JsonValue::Kind::Number);
    if (!value.integral || value.number < 0 || value.number > 4294967295.0) {
        Fail(value, what_ + ": expected a whole number from 0 to 4294967295");
    }
    return static_cast<uint32_t>(value.number);
}

const JsonValue& JsonObjectReader::Array(const JsonValue& value) const {
    Expect(value, JsonValue::Kind::Array);
    return value;
}

const JsonValue& JsonObjectReader::Object(const JsonValue& value) const {
    Expect(value, JsonValue::Kind::Object);
    return value;
}

}  // namespace sessionctl
