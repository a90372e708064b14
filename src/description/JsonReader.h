#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "description/JsonValue.h"

// A small strict JSON reader (RFC 8259): one value, surrounded by white space only.
// Errors name the line and column (both from 1) where the text stops making sense.
class JsonReader {
public:
    // Deeper nesting is refused, so hostile input cannot exhaust the stack.
    static constexpr int kMaxDepth = 1000;

    [[nodiscard]] static std::optional<JsonValue> Parse(std::string_view text, std::string& error);

private:
    explicit JsonReader(std::string_view text) : text_(text) {}

    bool ReadValue(JsonValue& out, int depth);
    bool ReadObject(JsonValue& out, int depth);
    bool ReadArray(JsonValue& out, int depth);
    bool ReadString(std::string& out);
    bool ReadNumber(JsonValue& out);
    bool ReadLiteral(std::string_view word, JsonValue& out);
    bool ReadHex4(unsigned& out);
    void SkipSpace();
    bool Fail(const std::string& message);

    std::string_view text_;
    std::size_t pos_ = 0;
    std::string error_;
};
