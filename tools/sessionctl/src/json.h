// A small strict JSON reader (RFC 8259): no comments, no trailing commas, no
// duplicate member names. Every value remembers the line it starts on, so that
// later checks (an unknown field, a wrong type) can name the line as well.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace sessionctl {

struct JsonValue {
    enum class Kind { Null, Bool, Number, String, Array, Object };

    Kind kind = Kind::Null;
    int line = 0;
    bool boolean = false;
    double number = 0;
    bool integral = false;  // written without fraction or exponent
    std::string text;       // strings, UTF-8
    std::vector<JsonValue> items;
    std::vector<std::pair<std::string, JsonValue>> members;  // in file order

    const JsonValue* Find(const std::string& name) const;
};

const char* KindName(JsonValue::Kind kind);

// Throws InputError naming `fileName` and the line of the first fault.
JsonValue ParseJson(const std::string& text, const std::string& fileName);

// Reads the members of one object and insists that every member was asked for.
class JsonObjectReader {
public:
    JsonObjectReader(const JsonValue& object, std::string fileName, std::string what);

    const JsonValue* Optional(const std::string& name);
    const JsonValue& Required(const std::string& name);
    // Throws for the first member that was never asked for.
    void RejectUnknown() const;

    std::string String(const JsonValue& value) const;
    bool Bool(const JsonValue& value) const;
    uint32_t Unsigned(const JsonValue& value) const;
    const JsonValue& Array(const JsonValue& value) const;
    const JsonValue& Object(const JsonValue& value) const;
    [[noreturn]] void Fail(const JsonValue& value, const std::string& message) const;

    const std::string& FileName() const { return fileName_; }

private:
    void Expect(const JsonValue& value, JsonValue::Kind kind) const;

    const JsonValue& object_;
    std::string fileName_;
    std::string what_;
    std::vector<std::string> asked_;
};

}  // namespace sessionctl
