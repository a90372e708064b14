#include "exporter/WebSecurityFiles.h"

#include <vector>

#include <crypt.h>
#include <openssl/evp.h>

#include "ctl/TestProcess.h"

bool WebSecurityFiles::MakeCertificate(const std::string& dir, const std::string& name) {
    const auto result = TestProcess::Run(
        {"/usr/bin/openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
         "-nodes", "-keyout", dir + "/" + name + ".key", "-out", dir + "/" + name + ".crt", "-days",
         "2", "-subj", "/CN=" + name, "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"},
        {});
    return result.exitCode == 0;
}

std::string WebSecurityFiles::BcryptHash(const std::string& password, int cost) {
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    if (crypt_gensalt_rn("$2b$", static_cast<unsigned long>(cost), nullptr, 0, setting,
                         sizeof(setting)) == nullptr) {
        return {};
    }
    crypt_data data{};
    const char* hash = crypt_r(password.c_str(), setting, &data);
    return hash != nullptr && hash[0] == '$' ? std::string(hash) : std::string();
}

std::string WebSecurityFiles::BasicHeader(const std::string& user, const std::string& password) {
    const std::string plain = user + ":" + password;
    std::vector<unsigned char> encoded(4 * ((plain.size() + 2) / 3) + 1);
    const int n =
        EVP_EncodeBlock(encoded.data(), reinterpret_cast<const unsigned char*>(plain.data()),
                        static_cast<int>(plain.size()));
    return "Basic " +
           std::string(reinterpret_cast<const char*>(encoded.data()), static_cast<std::size_t>(n));
}
