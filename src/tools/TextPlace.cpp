#include "tools/TextPlace.h"

#include <algorithm>

namespace TextPlace {

std::string At(std::string_view text, std::size_t index) {
    const std::size_t end = std::min(index, text.size());
    std::size_t line = 1;
    std::size_t column = 1;
    for (std::size_t i = 0; i < end; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

std::string JsonReason(const std::string& what) {
    const auto at = what.find("parse error");
    const auto colon = what.find(": ", at == std::string::npos ? 0 : at);
    if (colon != std::string::npos) {
        return what.substr(colon + 2);
    }
    // "[json.exception.out_of_range.406] number overflow parsing '1e400'"
    const auto bracket = what.rfind("] ", what.find(' '));
    return what.rfind('[', 0) == 0 && bracket != std::string::npos ? what.substr(bracket + 2)
                                                                   : what;
}

std::string JsonParseError(std::string_view text, std::size_t byte, const std::string& what) {
    return At(text, byte == 0 ? 0 : byte - 1) + ": " + JsonReason(what);
}

} // namespace TextPlace
