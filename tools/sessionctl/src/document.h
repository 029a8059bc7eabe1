// JSON in and out, by nlohmann/json. A document read from a file remembers the line each
// value starts on, so that later checks (an unknown field, a wrong type) can name it too.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace sessionctl {

// Objects keep their members in the order written, in files and in --json output.
using Json = nlohmann::ordered_json;

// Compact, one line, with its line end; bytes that are not UTF-8 become U+FFFD.
std::string JsonText(const Json& value);

class Document {
public:
    // Strict JSON; a duplicate member name is refused too. Throws InputError naming
    // `fileName` and the line of the first fault.
    Document(const std::string& text, std::string fileName);
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;

    const Json& Root() const { return root_; }
    const std::string& FileName() const { return fileName_; }
    // The line `value` (a value of this document) starts on.
    int LineOf(const Json& value) const;

private:
    void Locate(const Json& value, std::vector<int>::const_iterator& line);

    std::string fileName_;
    Json root_;
    std::unordered_map<const Json*, int> lines_;
};

// Reads the members of one object and insists that every member was asked for.
class ObjectReader {
public:
    ObjectReader(const Document& document, const Json& object, std::string what);

    const Json* Optional(const std::string& name);
    const Json& Required(const std::string& name);
    // Throws for the first member that was never asked for.
    void RejectUnknown() const;

    std::string String(const Json& value) const;
    bool Bool(const Json& value) const;
    uint32_t Unsigned(const Json& value) const;
    const Json& Array(const Json& value) const;
    [[noreturn]] void Fail(const Json& value, const std::string& message) const;

    const Document& Source() const { return document_; }

private:
    void Expect(const Json& value, Json::value_t type) const;

    const Document& document_;
    const Json& object_;
    std::string what_;
    std::vector<std::string> asked_;
};

}  // namespace sessionctl
