#include "description/JsonReader.h"

#include <charconv>
#include <cmath>

namespace {

void AppendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

} // namespace

std::optional<JsonValue> JsonReader::Parse(std::string_view text, std::string& error) {
    JsonReader reader(text);
    JsonValue value;
    reader.SkipSpace();
    bool ok = reader.ReadValue(value, 0);
    if (ok) {
        reader.SkipSpace();
        if (reader.pos_ < text.size()) {
            ok = reader.Fail("unexpected text after the value");
        }
    }
    if (!ok) {
        error = reader.error_;
        return std::nullopt;
    }
    return value;
}

bool JsonReader::Fail(const std::string& message) {
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < pos_ && i < text_.size(); ++i) {
        if (text_[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    error_ = "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
    return false;
}

void JsonReader::SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\n' || text_[pos_] == '\r')) {
        ++pos_;
    }
}

bool JsonReader::ReadValue(JsonValue& out, int depth) {
    if (pos_ >= text_.size()) {
        return Fail("a value is missing");
    }
    switch (text_[pos_]) {
    case '{':
        return ReadObject(out, depth + 1);
    case '[':
        return ReadArray(out, depth + 1);
    case '"':
        out.type = JsonValue::Type::String;
        return ReadString(out.text);
    case 't':
        out.boolean = true;
        return ReadLiteral("true", out);
    case 'f':
        return ReadLiteral("false", out);
    case 'n':
        return ReadLiteral("null", out);
    default:
        return ReadNumber(out);
    }
}

bool JsonReader::ReadLiteral(std::string_view word, JsonValue& out) {
    if (text_.substr(pos_, word.size()) != word) {
        return Fail("unknown word (expected true, false or null)");
    }
    pos_ += word.size();
    out.type = word == "null" ? JsonValue::Type::Null : JsonValue::Type::Bool;
    return true;
}

bool JsonReader::ReadObject(JsonValue& out, int depth) {
    if (depth > kMaxDepth) {
        return Fail("nested too deeply");
    }
    out.type = JsonValue::Type::Object;
    ++pos_; // '{'
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == '}') {
        ++pos_;
        return true;
    }
    while (true) {
        SkipSpace();
        if (pos_ >= text_.size() || text_[pos_] != '"') {
            return Fail("expected a member name in double quotes");
        }
        const std::size_t keyPos = pos_;
        std::string key;
        if (!ReadString(key)) {
            return false;
        }
        if (out.Find(key) != nullptr) {
            pos_ = keyPos;
            return Fail("duplicate member \"" + key + "\"");
        }
        SkipSpace();
        if (pos_ >= text_.size() || text_[pos_] != ':') {
            return Fail("expected ':' after the member name");
        }
        ++pos_;
        SkipSpace();
        JsonValue value;
        if (!ReadValue(value, depth)) {
            return false;
        }
        out.members.push_back({std::move(key), std::move(value)});
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == ',') {
            ++pos_;
            continue;
        }
        if (pos_ < text_.size() && text_[pos_] == '}') {
            ++pos_;
            return true;
        }
        return Fail("expected ',' or '}' in the object");
    }
}

bool JsonReader::ReadArray(JsonValue& out, int depth) {
    if (depth > kMaxDepth) {
        return Fail("nested too deeply");
    }
    out.type = JsonValue::Type::Array;
    ++pos_; // '['
    SkipSpace();
    if (pos_ < text_.size() && text_[pos_] == ']') {
        ++pos_;
        return true;
    }
    while (true) {
        SkipSpace();
        JsonValue value;
        if (!ReadValue(value, depth)) {
            return false;
        }
        out.items.push_back(std::move(value));
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == ',') {
            ++pos_;
            continue;
        }
        if (pos_ < text_.size() && text_[pos_] == ']') {
            ++pos_;
            return true;
        }
        return Fail("expected ',' or ']' in the array");
    }
}

bool JsonReader::ReadHex4(unsigned& out) {
    if (text_.size() - pos_ < 4) {
        return Fail("\\u needs four hexadecimal digits");
    }
    out = 0;
    for (int i = 0; i < 4; ++i) {
        const char ch = text_[pos_];
        unsigned digit = 0;
        if (IsDigit(ch)) {
            digit = static_cast<unsigned>(ch - '0');
        } else if (ch >= 'a' && ch <= 'f') {
            digit = static_cast<unsigned>(ch - 'a' + 10);
        } else if (ch >= 'A' && ch <= 'F') {
            digit = static_cast<unsigned>(ch - 'A' + 10);
        } else {
            return Fail("\\u needs four hexadecimal digits");
        }
        out = out * 16 + digit;
        ++pos_;
    }
    return true;
}

bool JsonReader::ReadString(std::string& out) {
    ++pos_; // opening quote
    while (pos_ < text_.size()) {
        const char ch = text_[pos_];
        if (ch == '"') {
            ++pos_;
            return true;
        }
        if (static_cast<unsigned char>(ch) < 0x20) {
            return Fail("control character in a string (write it as an escape)");
        }
        if (ch != '\\') {
            out += ch;
            ++pos_;
            continue;
        }
        if (++pos_ >= text_.size()) {
            break;
        }
        const char escape = text_[pos_++];
        switch (escape) {
        case '"':
        case '\\':
        case '/':
            out += escape;
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'u': {
            unsigned code = 0;
            if (!ReadHex4(code)) {
                return false;
            }
            if (code >= 0xD800 && code <= 0xDBFF) {
                unsigned low = 0;
                if (text_.substr(pos_, 2) != "\\u") {
                    return Fail("a high surrogate must be followed by a low surrogate");
                }
                pos_ += 2;
                if (!ReadHex4(low)) {
                    return false;
                }
                if (low < 0xDC00 || low > 0xDFFF) {
                    return Fail("a high surrogate must be followed by a low surrogate");
                }
                code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            } else if (code >= 0xDC00 && code <= 0xDFFF) {
                return Fail("a low surrogate without a high one");
            }
            AppendUtf8(out, code);
            break;
        }
        default:
            --pos_;
            return Fail("unknown escape in a string");
        }
    }
    return Fail("the string is not closed");
}

bool JsonReader::ReadNumber(JsonValue& out) {
    const std::size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] == '-') {
        ++pos_;
    }
    if (pos_ >= text_.size() || !IsDigit(text_[pos_])) {
        pos_ = start;
        return Fail("expected a value");
    }
    if (text_[pos_] == '0') {
        ++pos_;
    } else {
        while (pos_ < text_.size() && IsDigit(text_[pos_])) {
            ++pos_;
        }
    }
    if (pos_ < text_.size() && text_[pos_] == '.') {
        ++pos_;
        if (pos_ >= text_.size() || !IsDigit(text_[pos_])) {
            return Fail("digits must follow the decimal point");
        }
        while (pos_ < text_.size() && IsDigit(text_[pos_])) {
            ++pos_;
        }
    }
    if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
        ++pos_;
        if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
            ++pos_;
        }
        if (pos_ >= text_.size() || !IsDigit(text_[pos_])) {
            return Fail("digits must follow the exponent");
        }
        while (pos_ < text_.size() && IsDigit(text_[pos_])) {
            ++pos_;
        }
    }
    double value = 0;
    const auto result = std::from_chars(text_.data() + start, text_.data() + pos_, value);
    if (result.ec != std::errc() || !std::isfinite(value)) {
        pos_ = start;
        return Fail("number out of range");
    }
    out.type = JsonValue::Type::Number;
    out.number = value;
    return true;
}
