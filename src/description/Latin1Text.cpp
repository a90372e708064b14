#include "description/Latin1Text.h"

namespace Latin1Text {

std::string ToUtf8(const std::string& latin1) {
    std::string out;
    out.reserve(latin1.size());
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        if (byte < 0x80) {
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

bool FromUtf8(const std::string& utf8, std::string& latin1, std::string& problem) {
    static const std::string kOutside = "has a character outside Latin-1 (U+0001..U+00FF)";
    latin1.clear();
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char lead = at(i);
        unsigned code = 0;
        std::size_t length = 1;
        if (lead < 0x80) {
            code = lead;
        } else if (lead >= 0xC2 && lead <= 0xF4) {
            length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            if (i + length > utf8.size()) {
                problem = "is not valid UTF-8";
                return false;
            }
            code = lead & (0x7Fu >> length);
            for (std::size_t k = 1; k < length; ++k) {
                if ((at(i + k) & 0xC0) != 0x80) {
                    problem = "is not valid UTF-8";
                    return false;
                }
                code = (code << 6) | (at(i + k) & 0x3Fu);
            }
        } else {
            problem = "is not valid UTF-8";
            return false;
        }
        if (code == 0) {
            problem = "contains a NUL character, which would end the text";
            return false;
        }
        if (code > 0xFF) {
            problem = kOutside;
            return false;
        }
        latin1 += static_cast<char>(code);
        i += length;
    }
    return true;
}

} // namespace Latin1Text
