#include "exporter/HttpRequestHead.h"

namespace {

// The next word of the request line, after any spaces or tabs.
std::string_view NextWord(std::string_view& line) {
    const auto start = line.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        line = {};
        return {};
    }
    line.remove_prefix(start);
    const auto end = line.find_first_of(" \t");
    const std::string_view word = line.substr(0, end);
    line.remove_prefix(end == std::string_view::npos ? line.size() : end);
    return word;
}

} // namespace

HttpRequestHead HttpRequestHead::Parse(std::string_view head) {
    HttpRequestHead request;
    std::string_view line = head.substr(0, head.find_first_of("\r\n"));
    const std::string_view method = NextWord(line);
    const std::string_view target = NextWord(line);
    const std::string_view version = NextWord(line);
    if (version.substr(0, 7) != "HTTP/1." || target.empty() || target.front() != '/' ||
        !NextWord(line).empty()) {
        request.status = 400;
        return request;
    }
    request.headOnly = method == "HEAD";
    if (method != "GET" && !request.headOnly) {
        request.status = 405;
        return request;
    }
    request.path = std::string(target.substr(0, target.find('?')));
    return request;
}
