#pragma once

#include <string>
#include <string_view>

#include "exporter/WebConfig.h"

// Reads the web configuration file in the format Prometheus exporters share (YAML:
// tls_server_config, basic_auth_users). Strict like theirs: an unknown key, a key given twice, a
// value of the wrong kind or a malformed hash refuses the whole file with one line naming the
// file and the place, so a typo never leaves the port open by accident.
class WebConfigReader {
public:
    // A web configuration is a few lines; anything much bigger is not one.
    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    // The file's text; path names it in errors and relative file names are taken from its
    // folder. Loads no certificate.
    [[nodiscard]] static bool Parse(std::string_view text, const std::string& path,
                                    WebConfig& config, std::string& error);
    // Reads and parses the file, then loads the certificate and key into config.tlsContext.
    [[nodiscard]] static bool Read(const std::string& path, WebConfig& config, std::string& error);
    // "$2b$10$" and 53 characters of bcrypt's alphabet ($2a$ and $2y$ too), cost 4 to 31.
    [[nodiscard]] static bool ValidBcrypt(std::string_view hash);
};
