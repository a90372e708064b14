#pragma once

#include <string>
#include <string_view>

// The request line of an HTTP request head, as the exporter's port reads it from a client it
// does not trust: GET or HEAD of an absolute path; anything else is refused with its status.
struct HttpRequestHead {
    int status = 200;      // 200: a request to answer; else 400 or 405 to send back
    bool headOnly = false; // HEAD: the answer without its body
    std::string path;      // the target without its query string

    // head: the bytes up to and including the blank line that ends the head.
    [[nodiscard]] static HttpRequestHead Parse(std::string_view head);
};
