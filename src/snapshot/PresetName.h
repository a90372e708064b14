#pragma once

#include <algorithm>
#include <string>

#include "link/ByteString.h"

// A preset's name: its first 15 bytes up to the first zero byte, as Latin-1 text.
inline std::string PresetName(const ByteString& data) {
    constexpr std::size_t kNameBytes = 15;
    const auto end = data.begin() + static_cast<std::ptrdiff_t>(std::min(kNameBytes, data.size()));
    return std::string(data.begin(), std::find(data.begin(), end, 0));
}
