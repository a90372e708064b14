// Any bytes as the exporter's web configuration file: it is read or refused with one line
// naming the file, and what it lets through is usable (TLS with both files, bcrypt hashes).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "exporter/WebConfigReader.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    WebConfig config;
    std::string error;
    if (!WebConfigReader::Parse(text, "/etc/solvei/web.yml", config, error)) {
        Check(error.rfind("web config /etc/solvei/web.yml: ", 0) == 0);
        Check(error.find('\n') == std::string::npos);
        Check(!config.tls && config.users.empty());
        return 0;
    }
    Check(error.empty());
    if (config.tls) {
        Check(!config.tls->certFile.empty() && !config.tls->keyFile.empty());
        Check(config.tls->certFile.front() == '/' && config.tls->keyFile.front() == '/');
    }
    for (const auto& [user, hash] : config.users) {
        Check(!user.empty() && user.find(':') == std::string::npos);
        Check(WebConfigReader::ValidBcrypt(hash));
    }
    Check(!config.tlsContext);
    return 0;
}
