// Compact JSON output for --json: members in the order written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sessionctl {

class JsonWriter {
public:
    JsonWriter& BeginObject();
    JsonWriter& EndObject();
    JsonWriter& BeginArray();
    JsonWriter& EndArray();
    JsonWriter& Key(const std::string& name);
    JsonWriter& String(const std::string& utf8);
    JsonWriter& String(const std::wstring& text);
    JsonWriter& Number(int64_t value);
    JsonWriter& Bool(bool value);
    JsonWriter& Null();

    const std::string& Text() const { return out_; }

private:
    void BeforeValue();

    std::string out_;
    std::vector<bool> first_;
    bool afterKey_ = false;
};

std::string JsonQuote(const std::string& utf8);

}  // namespace sessionctl
