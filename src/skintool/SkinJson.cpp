#include "SkinJson.h"

#include <cstdio>
#include <map>

#include "skin/CSkin.h"

namespace {

// Length of the valid UTF-8 sequence at text[i], or 0.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    // Reject overlong forms and surrogates.
    if ((lead == 0xE0 && byte(i + 1) < 0xA0) || (lead == 0xED && byte(i + 1) >= 0xA0) ||
        (lead == 0xF0 && byte(i + 1) < 0x90) || (lead == 0xF4 && byte(i + 1) >= 0x90)) {
        return 0;
    }
    return length;
}

template <typename Table, typename Value>
void Object(std::string& out, const char* name, const Table& table, Value value) {
    out += "  " + JsonString(name) + ": {";
    bool first = true;
    for (const auto& [key, entry] : table) {
        out += first ? "\n" : ",\n";
        out += "    " + JsonString(key) + ": " + value(entry);
        first = false;
    }
    out += first ? "}" : "\n  }";
}

} // namespace

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        char escaped[8];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (const std::size_t length = Utf8Length(text, i); length > 0) {
            out.append(text, i, length);
            i += length;
            continue;
        } else {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        }
        ++i;
    }
    return out + "\"";
}

std::string SkinJson(const CSkin& skin) {
    std::string out = "{\n";
    const auto file = [](const CSkin::ImageEntry& entry) { return JsonString(entry.file); };
    Object(out, "images", skin.Images(), file);
    out += ",\n";
    Object(out, "icons", skin.Icons(), file);
    out += ",\n";
    Object(out, "numbers", skin.Numbers(), [](int32_t n) { return std::to_string(n); });
    out += ",\n";
    Object(out, "texts", skin.Texts(), [](const std::string& t) { return JsonString(t); });
    return out + "\n}\n";
}
