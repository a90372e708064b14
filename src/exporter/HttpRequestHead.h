#pragma once

#include <string>
#include <string_view>

// The head of an HTTP request, as the exporter's port reads it from a client it does not
// trust: GET or HEAD of an absolute path; anything else is refused with its status. Lines may
// end in CRLF or a bare LF.
struct HttpRequestHead {
    int status = 200;          // 200: a request to answer; else 400 or 405 to send back
    bool headOnly = false;     // HEAD: the answer without its body
    bool acceptsGzip = false;  // Accept-Encoding names gzip (or *) without q=0
    std::string path;          // the target without its query string
    std::string authorization; // the first Authorization field's value, trimmed; empty if none

    // head: the bytes up to and including the blank line that ends the head.
    [[nodiscard]] static HttpRequestHead Parse(std::string_view head);
    // Whether an Accept-Encoding value lets the answer be gzip-compressed.
    [[nodiscard]] static bool AllowsGzip(std::string_view acceptEncoding);
    // Where the head ends in data (just past its blank line), or npos while it goes on.
    [[nodiscard]] static std::size_t HeadEnd(std::string_view data);
};
