#include "exporter/TlsServerContext.h"

#include <fstream>

#include <asio/ssl/context.hpp>
#include <asio/ssl/verify_context.hpp>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace {

// OpenSSL's reason for the last failure, or what asio said.
std::string Reason(const std::error_code& ec) {
    const unsigned long code = ERR_peek_last_error();
    std::string reason;
    if (code != 0) {
        const char* text = ERR_reason_error_string(code);
        reason = text ? text : ec.message();
    } else {
        reason = ec ? ec.message() : "unusable";
    }
    ERR_clear_error();
    return reason;
}

bool Readable(const std::string& file, const char* key, std::string& error) {
    if (!std::ifstream(file)) {
        error = std::string(key) + " " + file + ": cannot read it";
        return false;
    }
    return true;
}

} // namespace

std::shared_ptr<asio::ssl::context> TlsServerContext::Make(const WebConfig::Tls& tls,
                                                           std::string& error) {
    ERR_clear_error();
    auto context = std::make_shared<asio::ssl::context>(asio::ssl::context::tls_server);
    std::error_code ec;
    context->set_options(asio::ssl::context::default_workarounds | asio::ssl::context::no_sslv2 |
                             asio::ssl::context::no_sslv3 | asio::ssl::context::no_compression,
                         ec);
    SSL_CTX* native = context->native_handle();
    const int minVersion = tls.minVersion != 0 ? tls.minVersion : TLS1_2_VERSION;
    if (SSL_CTX_set_min_proto_version(native, minVersion) != 1 ||
        (tls.maxVersion != 0 && SSL_CTX_set_max_proto_version(native, tls.maxVersion) != 1)) {
        error = "the TLS versions asked for are not available: " + Reason(ec);
        return nullptr;
    }
    if (!Readable(tls.certFile, "cert_file", error) || !Readable(tls.keyFile, "key_file", error)) {
        return nullptr;
    }
    context->use_certificate_chain_file(tls.certFile, ec);
    if (ec) {
        error = "cert_file " + tls.certFile + ": " + Reason(ec);
        return nullptr;
    }
    context->use_private_key_file(tls.keyFile, asio::ssl::context::pem, ec);
    if (ec) {
        // OpenSSL compares the key with the certificate as it loads it; asio hands its code on.
        if (ec.category() == asio::error::get_ssl_category() &&
            ERR_GET_REASON(static_cast<unsigned long>(ec.value())) == X509_R_KEY_VALUES_MISMATCH) {
            error = "key_file " + tls.keyFile + " does not belong to cert_file " + tls.certFile;
            ERR_clear_error();
            return nullptr;
        }
        error = "key_file " + tls.keyFile + ": " + Reason(ec);
        return nullptr;
    }
    if (SSL_CTX_check_private_key(native) != 1) {
        error = "key_file " + tls.keyFile + " does not belong to cert_file " + tls.certFile;
        ERR_clear_error();
        return nullptr;
    }
    if (!tls.clientCaFile.empty()) {
        if (!Readable(tls.clientCaFile, "client_ca_file", error)) {
            return nullptr;
        }
        context->load_verify_file(tls.clientCaFile, ec);
        if (ec) {
            error = "client_ca_file " + tls.clientCaFile + ": " + Reason(ec);
            return nullptr;
        }
    }
    using Context = asio::ssl::context;
    const auto acceptAny = [](bool, asio::ssl::verify_context&) { return true; };
    switch (tls.clientAuth) {
    case WebConfig::ClientAuth::None:
        context->set_verify_mode(Context::verify_none, ec);
        break;
    case WebConfig::ClientAuth::Request:
        context->set_verify_mode(Context::verify_peer, ec);
        context->set_verify_callback(acceptAny, ec);
        break;
    case WebConfig::ClientAuth::RequireAny:
        context->set_verify_mode(Context::verify_peer | Context::verify_fail_if_no_peer_cert, ec);
        context->set_verify_callback(acceptAny, ec);
        break;
    case WebConfig::ClientAuth::VerifyIfGiven:
        context->set_verify_mode(Context::verify_peer, ec);
        break;
    case WebConfig::ClientAuth::RequireAndVerify:
        context->set_verify_mode(Context::verify_peer | Context::verify_fail_if_no_peer_cert, ec);
        break;
    }
    // Sessions resumed across reconnects must still pass the client check above.
    static const unsigned char kSessionContext[] = "solvei-exporter";
    SSL_CTX_set_session_id_context(native, kSessionContext, sizeof(kSessionContext) - 1);
    ERR_clear_error();
    return context;
}
