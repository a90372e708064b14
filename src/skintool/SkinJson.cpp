#include "SkinJson.h"

#include <nlohmann/json.hpp>

#include "skin/CSkin.h"

namespace {

using Json = nlohmann::ordered_json;

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

// Skin scripts are written in UTF-8 or in Latin-1; JSON holds UTF-8 only.
std::string ToUtf8(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t length = Utf8Length(text, i); length > 0) {
            out.append(text, i, length);
            i += length;
        } else {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
            ++i;
        }
    }
    return out;
}

template <typename Table, typename Value> Json Object(const Table& table, Value value) {
    Json out = Json::object();
    for (const auto& [key, entry] : table) {
        out[ToUtf8(key)] = value(entry);
    }
    return out;
}

} // namespace

std::string JsonString(const std::string& text) {
    return Json(ToUtf8(text)).dump();
}

std::string SkinJson(const CSkin& skin) {
    const auto file = [](const CSkin::ImageEntry& entry) { return ToUtf8(entry.file); };
    Json out;
    out["images"] = Object(skin.Images(), file);
    out["icons"] = Object(skin.Icons(), file);
    out["numbers"] = Object(skin.Numbers(), [](int32_t n) { return n; });
    out["texts"] = Object(skin.Texts(), [](const std::string& t) { return ToUtf8(t); });
    return out.dump(2) + "\n";
}
