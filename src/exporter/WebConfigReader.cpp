#include "exporter/WebConfigReader.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include <openssl/ssl.h>
#include <yaml.h>

#include "exporter/TlsServerContext.h"

namespace {

// The parser and its first document, freed together.
class YamlDocument {
public:
    YamlDocument() { yaml_parser_initialize(&m_parser); }
    ~YamlDocument() {
        if (m_loaded) {
            yaml_document_delete(&m_document);
        }
        yaml_parser_delete(&m_parser);
    }
    YamlDocument(const YamlDocument&) = delete;
    YamlDocument& operator=(const YamlDocument&) = delete;

    yaml_parser_t m_parser{};
    yaml_document_t m_document{};
    bool m_loaded = false;
};

// Walks the loaded document against the format, naming the place of the first fault.
class Walker {
public:
    Walker(yaml_document_t& document, const std::string& path, std::string& error)
        : m_document(document), m_path(path), m_error(error) {}

    bool Fail(const yaml_mark_t& mark, const std::string& what) {
        m_error = "web config " + m_path + ": line " + std::to_string(mark.line + 1) + ", column " +
                  std::to_string(mark.column + 1) + ": " + what;
        return false;
    }
    bool Fail(const yaml_node_t* node, const std::string& what) {
        return Fail(node->start_mark, what);
    }

    yaml_node_t* Node(int index) { return yaml_document_get_node(&m_document, index); }

    // A plain empty, "~" or "null" scalar: the key is there without a value.
    static bool IsNull(const yaml_node_t* node) {
        if (node->type != YAML_SCALAR_NODE || node->data.scalar.style != YAML_PLAIN_SCALAR_STYLE) {
            return false;
        }
        const std::string_view text(reinterpret_cast<const char*>(node->data.scalar.value),
                                    node->data.scalar.length);
        return text.empty() || text == "~" || text == "null" || text == "Null" || text == "NULL";
    }

    static std::string Text(const yaml_node_t* node) {
        return {reinterpret_cast<const char*>(node->data.scalar.value), node->data.scalar.length};
    }

    // A scalar's text (empty for null), or a fault naming the key.
    bool String(const yaml_node_t* node, const std::string& key, std::string& out) {
        if (node->type != YAML_SCALAR_NODE) {
            return Fail(node, key + " must be a string");
        }
        out = IsNull(node) ? std::string() : Text(node);
        if (out.find('\0') != std::string::npos) {
            return Fail(node, key + " holds a NUL character");
        }
        return true;
    }

    // Calls each(key, keyNode, valueNode) for every pair of a mapping (null: no pairs); a
    // non-scalar or repeated key is a fault.
    bool Pairs(const yaml_node_t* node, const std::string& what,
               const std::function<bool(const std::string&, const yaml_node_t*,
                                        const yaml_node_t*)>& each) {
        if (IsNull(node)) {
            return true;
        }
        if (node->type != YAML_MAPPING_NODE) {
            return Fail(node, what + " must be a mapping");
        }
        std::set<std::string> seen;
        for (auto* pair = node->data.mapping.pairs.start; pair < node->data.mapping.pairs.top;
             ++pair) {
            const yaml_node_t* key = Node(pair->key);
            const yaml_node_t* value = Node(pair->value);
            if (key == nullptr || value == nullptr) {
                return Fail(node, what + " is incomplete");
            }
            if (key->type != YAML_SCALAR_NODE) {
                return Fail(key, "a key of " + what + " must be a string");
            }
            const std::string name = Text(key);
            if (!seen.insert(name).second) {
                return Fail(key, "\"" + name + "\" is given twice in " + what);
            }
            if (!each(name, key, value)) {
                return false;
            }
        }
        return true;
    }

private:
    yaml_document_t& m_document;
    const std::string& m_path;
    std::string& m_error;
};

// A printable form of a key for an error line: no control characters, not too long.
std::string Shown(const std::string& key) {
    std::string shown;
    for (const char c : key.substr(0, 64)) {
        shown += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    }
    return shown;
}

bool ParseVersion(const std::string& text, int& out) {
    static const std::pair<const char*, int> kVersions[] = {{"TLS10", TLS1_VERSION},
                                                            {"TLS11", TLS1_1_VERSION},
                                                            {"TLS12", TLS1_2_VERSION},
                                                            {"TLS13", TLS1_3_VERSION}};
    for (const auto& [name, version] : kVersions) {
        if (text == name) {
            out = version;
            return true;
        }
    }
    return false;
}

bool ParseClientAuth(const std::string& text, WebConfig::ClientAuth& out) {
    static const std::pair<const char*, WebConfig::ClientAuth> kTypes[] = {
        {"NoClientCert", WebConfig::ClientAuth::None},
        {"RequestClientCert", WebConfig::ClientAuth::Request},
        {"RequireAnyClientCert", WebConfig::ClientAuth::RequireAny},
        {"VerifyClientCertIfGiven", WebConfig::ClientAuth::VerifyIfGiven},
        {"RequireAndVerifyClientCert", WebConfig::ClientAuth::RequireAndVerify}};
    for (const auto& [name, type] : kTypes) {
        if (text == name) {
            out = type;
            return true;
        }
    }
    return false;
}

// Keys of the shared format that this exporter does not implement: refused by name rather
// than as unknown, so the reader learns it is not a typo.
const std::set<std::string> kUnsupportedRoot = {"http_server_config", "rate_limit"};
const std::set<std::string> kUnsupportedTls = {"cert",
                                               "key",
                                               "client_ca",
                                               "cipher_suites",
                                               "curve_preferences",
                                               "prefer_server_cipher_suites",
                                               "client_allowed_sans"};

} // namespace

bool WebConfigReader::ValidBcrypt(std::string_view hash) {
    static constexpr std::string_view kAlphabet =
        "./ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    if (hash.size() != 60 || hash.substr(0, 2) != "$2" ||
        (hash[2] != 'a' && hash[2] != 'b' && hash[2] != 'y') || hash[3] != '$' || hash[6] != '$') {
        return false;
    }
    if (hash[4] < '0' || hash[4] > '9' || hash[5] < '0' || hash[5] > '9') {
        return false;
    }
    const int cost = (hash[4] - '0') * 10 + (hash[5] - '0');
    return cost >= 4 && cost <= 31 &&
           hash.substr(7).find_first_not_of(kAlphabet) == std::string_view::npos;
}

bool WebConfigReader::Parse(std::string_view text, const std::string& path, WebConfig& config,
                            std::string& error) {
    config = WebConfig();
    YamlDocument yaml;
    yaml_parser_set_input_string(&yaml.m_parser,
                                 reinterpret_cast<const unsigned char*>(text.data()), text.size());
    const auto syntax = [&] {
        const yaml_mark_t& mark = yaml.m_parser.problem_mark;
        error = "web config " + path + ": line " + std::to_string(mark.line + 1) + ", column " +
                std::to_string(mark.column + 1) + ": " +
                (yaml.m_parser.problem ? yaml.m_parser.problem : "not YAML");
        if (yaml.m_parser.context) {
            error += std::string(" ") + yaml.m_parser.context;
        }
        return false;
    };
    if (!yaml_parser_load(&yaml.m_parser, &yaml.m_document)) {
        return syntax();
    }
    yaml.m_loaded = true;
    Walker walker(yaml.m_document, path, error);
    const yaml_node_t* root = yaml_document_get_root_node(&yaml.m_document);
    {
        // A second document would be ignored silently: refuse it.
        yaml_document_t next;
        if (!yaml_parser_load(&yaml.m_parser, &next)) {
            return syntax();
        }
        const bool more = yaml_document_get_root_node(&next) != nullptr;
        const yaml_mark_t mark = next.start_mark;
        yaml_document_delete(&next);
        if (more) {
            return walker.Fail(mark, "only one YAML document is allowed");
        }
    }
    if (root == nullptr) {
        return true; // an empty file: plain HTTP, no users
    }

    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    const auto resolve = [&](std::string& file) {
        if (!file.empty() && std::filesystem::path(file).is_relative()) {
            file = (folder / file).lexically_normal().string();
        }
    };

    const bool ok = walker.Pairs(
        root, "the file",
        [&](const std::string& key, const yaml_node_t* keyNode, const yaml_node_t* value) {
            if (key == "tls_server_config") {
                WebConfig::Tls tls;
                bool any = false;
                const bool tlsOk = walker.Pairs(
                    value, "tls_server_config",
                    [&](const std::string& k, const yaml_node_t* kn, const yaml_node_t* v) {
                        std::string s;
                        if (kUnsupportedTls.count(k) != 0) {
                            return walker.Fail(kn, "tls_server_config: " + k +
                                                       " is not supported by solvei-exporter");
                        }
                        if (k != "cert_file" && k != "key_file" && k != "client_auth_type" &&
                            k != "client_ca_file" && k != "min_version" && k != "max_version") {
                            return walker.Fail(kn, "unknown key \"" + Shown(k) +
                                                       "\" in tls_server_config");
                        }
                        if (!walker.String(v, k, s)) {
                            return false;
                        }
                        any = any || !s.empty();
                        if (k == "cert_file") {
                            tls.certFile = s;
                        } else if (k == "key_file") {
                            tls.keyFile = s;
                        } else if (k == "client_ca_file") {
                            tls.clientCaFile = s;
                        } else if (k == "client_auth_type") {
                            if (!s.empty() && !ParseClientAuth(s, tls.clientAuth)) {
                                return walker.Fail(
                                    v, "client_auth_type \"" + Shown(s) +
                                           "\": use NoClientCert, RequestClientCert, "
                                           "RequireAnyClientCert, VerifyClientCertIfGiven "
                                           "or RequireAndVerifyClientCert");
                            }
                        } else {
                            int& version = k == "min_version" ? tls.minVersion : tls.maxVersion;
                            if (!s.empty() && !ParseVersion(s, version)) {
                                return walker.Fail(v, k + " \"" + Shown(s) +
                                                          "\": use TLS10, TLS11, TLS12 or TLS13");
                            }
                        }
                        return true;
                    });
                if (!tlsOk) {
                    return false;
                }
                if (!any) {
                    return true; // an empty section: no TLS, as if it were not there
                }
                if (tls.certFile.empty()) {
                    return walker.Fail(keyNode, "tls_server_config needs cert_file");
                }
                if (tls.keyFile.empty()) {
                    return walker.Fail(keyNode, "tls_server_config needs key_file");
                }
                const bool verifies = tls.clientAuth == WebConfig::ClientAuth::VerifyIfGiven ||
                                      tls.clientAuth == WebConfig::ClientAuth::RequireAndVerify;
                if (verifies && tls.clientCaFile.empty()) {
                    return walker.Fail(keyNode, "tls_server_config: client_auth_type checks client "
                                                "certificates and needs client_ca_file");
                }
                if (!tls.clientCaFile.empty() && !verifies) {
                    return walker.Fail(keyNode, "tls_server_config: client_ca_file is given but "
                                                "client_auth_type checks no certificate (use "
                                                "RequireAndVerifyClientCert)");
                }
                if (tls.minVersion != 0 && tls.maxVersion != 0 && tls.minVersion > tls.maxVersion) {
                    return walker.Fail(keyNode,
                                       "tls_server_config: min_version is above max_version");
                }
                resolve(tls.certFile);
                resolve(tls.keyFile);
                resolve(tls.clientCaFile);
                config.tls = tls;
                return true;
            }
            if (key == "basic_auth_users") {
                return walker.Pairs(
                    value, "basic_auth_users",
                    [&](const std::string& user, const yaml_node_t* userNode,
                        const yaml_node_t* hashNode) {
                        if (user.empty() || user.find(':') != std::string::npos ||
                            user.find_first_of(std::string("\0\r\n", 3)) != std::string::npos) {
                            return walker.Fail(userNode, "user name \"" + Shown(user) +
                                                             "\" must be non-empty, without ':'");
                        }
                        std::string hash;
                        if (!walker.String(hashNode, "the hash of user \"" + Shown(user) + "\"",
                                           hash)) {
                            return false;
                        }
                        if (!ValidBcrypt(hash)) {
                            return walker.Fail(hashNode,
                                               "the hash of user \"" + Shown(user) +
                                                   "\" is not a bcrypt hash ($2b$10$ and 53 "
                                                   "characters; make one with htpasswd -nbBC 10)");
                        }
                        config.users.emplace(user, hash);
                        return true;
                    });
            }
            if (kUnsupportedRoot.count(key) != 0) {
                return walker.Fail(keyNode, key + " is not supported by solvei-exporter");
            }
            return walker.Fail(keyNode,
                               "unknown key \"" + Shown(key) +
                                   "\" (tls_server_config and basic_auth_users are known)");
        });
    if (!ok) {
        config = WebConfig();
    }
    return ok;
}

bool WebConfigReader::Read(const std::string& path, WebConfig& config, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read web config " + path;
        return false;
    }
    std::string text(kMaxFileBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(file.gcount()));
    if (file.bad()) {
        error = "cannot read web config " + path;
        return false;
    }
    if (text.size() > kMaxFileBytes) {
        error = "web config " + path + ": larger than 1 MiB, not a web configuration";
        return false;
    }
    if (!Parse(text, path, config, error)) {
        return false;
    }
    if (config.tls) {
        config.tlsContext = TlsServerContext::Make(*config.tls, error);
        if (!config.tlsContext) {
            error = "web config " + path + ": " + error;
            config = WebConfig();
            return false;
        }
    }
    return true;
}
