#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "link/ByteString.h"

// The encodings a snapshot file uses for bytes: SHA-256 digests in lower-case hexadecimal and
// base64 (standard alphabet, with padding).
namespace SnapshotEncoding {

[[nodiscard]] std::string Sha256(const ByteString& bytes);
[[nodiscard]] std::string Sha256(std::string_view text);
[[nodiscard]] std::string ToBase64(const ByteString& bytes);
// nullopt when the text is not strict base64.
[[nodiscard]] std::optional<ByteString> FromBase64(std::string_view text);

} // namespace SnapshotEncoding
