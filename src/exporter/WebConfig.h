#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace asio::ssl {
class context;
}

// What the exporter's web configuration file asks for: TLS on the port and the users who may
// read it. Empty: plain HTTP, open to everyone.
struct WebConfig {
    // Which client certificates the TLS handshake asks for and checks.
    enum class ClientAuth {
        None,             // NoClientCert
        Request,          // RequestClientCert: asked for, not checked
        RequireAny,       // RequireAnyClientCert: required, not checked
        VerifyIfGiven,    // VerifyClientCertIfGiven
        RequireAndVerify, // RequireAndVerifyClientCert
    };
    // TLS protocol versions as OpenSSL numbers them (TLS1_2_VERSION ...); 0: no bound.
    struct Tls {
        std::string certFile;
        std::string keyFile;
        ClientAuth clientAuth = ClientAuth::None;
        std::string clientCaFile;
        int minVersion = 0;
        int maxVersion = 0;
    };

    std::optional<Tls> tls;
    // User name → bcrypt hash ($2a$, $2b$ or $2y$).
    std::map<std::string, std::string> users;
    // Made from tls by the reader once the files have been loaded; null without TLS.
    std::shared_ptr<asio::ssl::context> tlsContext;
};
