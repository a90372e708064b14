#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Where in a text a reader stopped, said as an editor shows it, and what a JSON reader's
// refusal means, so every file the programs read reports a bad place in the same words.
namespace TextPlace {

// "line L, column C" (both from 1) of the byte at index (from 0); an index past the end is
// the end of the text.
[[nodiscard]] std::string At(std::string_view text, std::size_t index);

// The words of a JSON library error ("[json.exception.parse_error.101] parse error at line 1,
// column 3: syntax error ...") without its prefix and its own idea of the place.
[[nodiscard]] std::string JsonReason(const std::string& what);

// "line L, column C: reason" for a JSON parse error at the library's byte position (from 1,
// 0 for before the first byte).
[[nodiscard]] std::string JsonParseError(std::string_view text, std::size_t byte,
                                         const std::string& what);

} // namespace TextPlace
