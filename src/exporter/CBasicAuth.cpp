#include "exporter/CBasicAuth.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <asio/post.hpp>
#include <crypt.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

namespace {

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    if (c == '+') {
        return 62;
    }
    if (c == '/') {
        return 63;
    }
    return -1;
}

// Standard base64 with its padding, nothing else allowed.
bool DecodeBase64(std::string_view text, std::string& out) {
    if (text.empty() || text.size() % 4 != 0) {
        return false;
    }
    std::size_t padding = 0;
    while (padding < 2 && text[text.size() - 1 - padding] == '=') {
        ++padding;
    }
    out.clear();
    std::uint32_t bits = 0;
    int count = 0;
    for (std::size_t i = 0; i < text.size() - padding; ++i) {
        const int value = Base64Value(text[i]);
        if (value < 0) {
            return false;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        if (++count == 4) {
            out += static_cast<char>((bits >> 16) & 0xff);
            out += static_cast<char>((bits >> 8) & 0xff);
            out += static_cast<char>(bits & 0xff);
            bits = 0;
            count = 0;
        }
    }
    if (count == 3) {
        out += static_cast<char>((bits >> 10) & 0xff);
        out += static_cast<char>((bits >> 2) & 0xff);
        return (bits & 0x3) == 0;
    }
    if (count == 2) {
        out += static_cast<char>((bits >> 4) & 0xff);
        return (bits & 0xf) == 0;
    }
    return count == 0;
}

} // namespace

CBasicAuth::CBasicAuth(asio::io_context& io, std::map<std::string, std::string> users)
    : m_io(io), m_users(std::move(users)), m_cryptData(std::make_unique<crypt_data>()) {
    if (!m_users.empty()) {
        m_decoyHash = m_users.begin()->second;
    }
    if (RAND_bytes(m_salt.data(), static_cast<int>(m_salt.size())) != 1) {
        // Without randomness the digests stay private to this process all the same.
        std::fill(m_salt.begin(), m_salt.end(), 0);
    }
}

CBasicAuth::~CBasicAuth() {
    m_worker.Stop();
    OPENSSL_cleanse(m_cryptData.get(), sizeof(crypt_data));
}

bool CBasicAuth::Decode(std::string_view authorization, std::string& user, std::string& password) {
    const auto space = authorization.find(' ');
    if (space != 5) {
        return false;
    }
    const std::string_view scheme = authorization.substr(0, space);
    const bool basic = std::equal(scheme.begin(), scheme.end(), "basic", [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == b;
    });
    std::string_view encoded = authorization.substr(space);
    encoded.remove_prefix(std::min(encoded.find_first_not_of(' '), encoded.size()));
    std::string decoded;
    if (!basic || !DecodeBase64(encoded, decoded)) {
        return false;
    }
    const auto colon = decoded.find(':');
    if (colon == std::string::npos) {
        OPENSSL_cleanse(decoded.data(), decoded.size());
        return false;
    }
    user = decoded.substr(0, colon);
    password = decoded.substr(colon + 1);
    OPENSSL_cleanse(decoded.data(), decoded.size());
    return true;
}

CBasicAuth::Digest CBasicAuth::Key(const std::string& user, const std::string& password) const {
    Digest digest{};
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    unsigned int length = 0;
    const unsigned char separator = 0;
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
    EVP_DigestUpdate(context, m_salt.data(), m_salt.size());
    EVP_DigestUpdate(context, user.data(), user.size());
    EVP_DigestUpdate(context, &separator, 1);
    EVP_DigestUpdate(context, password.data(), password.size());
    EVP_DigestFinal_ex(context, digest.data(), &length);
    EVP_MD_CTX_free(context);
    return digest;
}

bool CBasicAuth::Matches(const std::string& password, const std::string& hash) {
    ++m_checksRun;
    std::memset(m_cryptData.get(), 0, sizeof(crypt_data));
    const char* result = crypt_r(password.c_str(), hash.c_str(), m_cryptData.get());
    // A failed crypt returns null or a string starting with '*'; neither matches a hash.
    return result != nullptr && std::strlen(result) == hash.size() &&
           CRYPTO_memcmp(result, hash.data(), hash.size()) == 0;
}

void CBasicAuth::Check(std::string_view authorization, Done done) {
    std::string user;
    std::string password;
    if (authorization.empty() || authorization.size() > kMaxHeaderBytes ||
        !Decode(authorization, user, password) || password.find('\0') != std::string::npos) {
        done(Verdict::Denied);
        return;
    }
    const Digest key = Key(user, password);
    if (m_state->remembered.count(key) != 0) {
        OPENSSL_cleanse(password.data(), password.size());
        done(Verdict::Allowed);
        return;
    }
    if (m_state->running >= kMaxChecks) {
        OPENSSL_cleanse(password.data(), password.size());
        done(Verdict::Busy);
        return;
    }
    ++m_state->running;
    const auto found = m_users.find(user);
    const bool known = found != m_users.end();
    const std::string hash = known ? found->second : m_decoyHash;
    m_worker.Dispatch([this, state = m_state, key, known, hash, password = std::move(password),
                       done = std::move(done)]() mutable {
        const bool ok = Matches(password, hash) && known;
        OPENSSL_cleanse(password.data(), password.size());
        asio::post(m_io, [state, key, ok, done = std::move(done)] {
            --state->running;
            if (ok) {
                if (state->remembered.size() >= kMaxRemembered) {
                    state->remembered.clear();
                }
                state->remembered.insert(key);
            }
            done(ok ? Verdict::Allowed : Verdict::Denied);
        });
    });
}
