#pragma once

#include <string>
#include <string_view>

// gzip for HTTP answers (Content-Encoding: gzip): a fleet's exposition shrinks about
// fifteenfold.
namespace Gzip {

// The gzip stream of data; empty only when zlib fails.
[[nodiscard]] std::string Compress(std::string_view data);

} // namespace Gzip
