#pragma once

#include <string>

// Texts of the processor are Latin-1, one byte a character; people and JSON use UTF-8.
namespace Latin1Text {

// Every byte as the character of that code.
[[nodiscard]] std::string ToUtf8(const std::string& latin1);

// false, with problem set to the end of a sentence about the text, when a character lies
// outside U+0001..U+00FF (Latin-1 has no place for it, and a NUL would end the text) or
// the text is not valid UTF-8.
[[nodiscard]] bool FromUtf8(const std::string& utf8, std::string& latin1, std::string& problem);

} // namespace Latin1Text
