#pragma once

#include <string>

// What the web security tests need, made fresh for each run: a self-signed certificate for
// 127.0.0.1 with its key, bcrypt hashes and Authorization values. No key is ever checked in.
class WebSecurityFiles {
public:
    // Writes DIR/NAME.crt and DIR/NAME.key with the openssl command line; false if it failed.
    [[nodiscard]] static bool MakeCertificate(const std::string& dir, const std::string& name);
    // A bcrypt hash ($2b$) of password at the given cost, through the system's crypt.
    [[nodiscard]] static std::string BcryptHash(const std::string& password, int cost = 4);
    // "Basic " and base64 of user:password.
    [[nodiscard]] static std::string BasicHeader(const std::string& user,
                                                 const std::string& password);
};
