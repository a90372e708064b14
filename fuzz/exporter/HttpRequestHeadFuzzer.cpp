// Any bytes as the head of a request to the exporter's port: the parser must not crash, and
// what it lets through is a GET or HEAD of an absolute path without its query string.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "exporter/HttpRequestHead.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view head(reinterpret_cast<const char*>(data), size);
    const HttpRequestHead request = HttpRequestHead::Parse(head);
    Check(request.status == 200 || request.status == 400 || request.status == 405);
    if (request.status == 200) {
        Check(!request.path.empty() && request.path.front() == '/');
        Check(request.path.find('?') == std::string::npos);
        Check(request.path.size() <= size);
    } else {
        Check(request.path.empty());
        Check(!request.acceptsGzip);
    }
    const std::size_t end = HttpRequestHead::HeadEnd(head);
    Check(end == std::string_view::npos || (end >= 2 && end <= size && head[end - 1] == '\n'));
    (void)HttpRequestHead::AllowsGzip(head);
    return 0;
}
