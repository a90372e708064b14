#include "exporter/HttpRequestHead.h"

#include <algorithm>
#include <cctype>

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

std::string_view Trim(std::string_view text) {
    const auto start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        return {};
    }
    const auto end = text.find_last_not_of(" \t\r");
    return text.substr(start, end - start + 1);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The next line of head without its CR LF or LF; done once no line follows.
std::string_view NextLine(std::string_view& head, bool& done) {
    const auto end = head.find('\n');
    if (end == std::string_view::npos) {
        done = true;
        const std::string_view line = head;
        head = {};
        return line;
    }
    std::string_view line = head.substr(0, end);
    head.remove_prefix(end + 1);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    return line;
}

} // namespace

bool HttpRequestHead::AllowsGzip(std::string_view acceptEncoding) {
    bool gzip = false;
    bool star = false;
    bool gzipNamed = false;
    while (!acceptEncoding.empty()) {
        const auto comma = acceptEncoding.find(',');
        std::string_view item = acceptEncoding.substr(0, comma);
        acceptEncoding.remove_prefix(comma == std::string_view::npos ? acceptEncoding.size()
                                                                     : comma + 1);
        const auto semicolon = item.find(';');
        const std::string_view coding = Trim(item.substr(0, semicolon));
        bool refused = false;
        if (semicolon != std::string_view::npos) {
            // "q=0", "q=0.0", "q=0.000": the client refuses this coding.
            const std::string_view param = Trim(item.substr(semicolon + 1));
            if (param.size() >= 3 && (param[0] == 'q' || param[0] == 'Q') && param[1] == '=') {
                const std::string_view q = param.substr(2);
                refused = q.find_first_not_of("0.") == std::string_view::npos && q[0] == '0';
            }
        }
        if (EqualsNoCase(coding, "gzip") || EqualsNoCase(coding, "x-gzip")) {
            gzipNamed = true;
            gzip = !refused;
        } else if (coding == "*") {
            star = !refused;
        }
    }
    return gzipNamed ? gzip : star;
}

std::size_t HttpRequestHead::HeadEnd(std::string_view data) {
    // The first empty line: "\n\n" or "\n\r\n".
    for (std::size_t at = data.find('\n'); at != std::string_view::npos;
         at = data.find('\n', at + 1)) {
        if (at + 1 < data.size() && data[at + 1] == '\n') {
            return at + 2;
        }
        if (at + 2 < data.size() && data[at + 1] == '\r' && data[at + 2] == '\n') {
            return at + 3;
        }
    }
    return std::string_view::npos;
}

HttpRequestHead HttpRequestHead::Parse(std::string_view head) {
    HttpRequestHead request;
    // The request line ends at its first CR or LF; the fields follow the next LF.
    std::string_view line = head.substr(0, head.find_first_of("\r\n"));
    bool done = false;
    (void)NextLine(head, done);
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
    while (!done) {
        const std::string_view field = NextLine(head, done);
        const auto colon = field.find(':');
        if (colon != std::string_view::npos &&
            EqualsNoCase(field.substr(0, colon), "Accept-Encoding")) {
            request.acceptsGzip = AllowsGzip(field.substr(colon + 1));
        } else if (colon != std::string_view::npos && request.authorization.empty() &&
                   EqualsNoCase(field.substr(0, colon), "Authorization")) {
            request.authorization = std::string(Trim(field.substr(colon + 1)));
        }
    }
    return request;
}
