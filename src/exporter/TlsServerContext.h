#pragma once

#include <memory>
#include <string>

#include "exporter/WebConfig.h"

// The OpenSSL context of the exporter's TLS port, made from the web configuration: the
// certificate chain and its key (which must match), the client certificates asked for, and the
// protocol versions (TLS 1.2 at the least unless the file says otherwise).
class TlsServerContext {
public:
    // Null with one line of explanation naming the file that could not be used.
    [[nodiscard]] static std::shared_ptr<asio::ssl::context> Make(const WebConfig::Tls& tls,
                                                                  std::string& error);
};
