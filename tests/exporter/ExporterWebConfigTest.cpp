#include <gtest/gtest.h>

#include <fstream>

#include "exporter/ExporterHarness.h"
#include "exporter/WebConfigReader.h"
#include "exporter/WebSecurityFiles.h"

using namespace std::chrono_literals;

namespace {

const std::string kHash = "$2b$10$/MJ.iVR.eCKUyx4L3jaaj.ZVW0bpDV7lHRf3PimVWJiQvKq8All66";
const std::string kPath = "/etc/solvei/web.yml";

struct ParseCase {
    const char* name;
    std::string text;
    // Empty: the file is accepted; else every piece must be in the one error line.
    std::vector<std::string> error;
};

} // namespace

TEST(ExporterWebConfig, FilesAreReadOrRefusedWithTheirPlace) {
    const ParseCase cases[] = {
        {"empty file: plain HTTP, no users", "", {}},
        {"comments only", "# nothing yet\n", {}},
        {"both parts",
         "tls_server_config:\n  cert_file: a.crt\n  key_file: /k/a.key\n"
         "  min_version: TLS13\nbasic_auth_users:\n  prom: " +
             kHash + "\n",
         {}},
        {"quoted hash", "basic_auth_users:\n  prom: '" + kHash + "'\n", {}},
        {"empty sections", "tls_server_config:\nbasic_auth_users:\n", {}},
        {"unknown key at the top",
         "basic_auth_users:\n  prom: " + kHash + "\nbasic_auth_user:\n",
         {"line 3, column 1", "unknown key \"basic_auth_user\""}},
        {"misspelt TLS key",
         "tls_server_config:\n  cert_file: a.crt\n  key_fille: a.key\n",
         {"line 3, column 3", "unknown key \"key_fille\" in tls_server_config"}},
        {"key file missing",
         "tls_server_config:\n  cert_file: a.crt\n",
         {"line 1, column 1", "needs key_file"}},
        {"certificate missing", "tls_server_config:\n  key_file: a.key\n", {"needs cert_file"}},
        {"a hash that is not bcrypt",
         "basic_auth_users:\n  prom: secret\n",
         {"line 2, column 9", "the hash of user \"prom\" is not a bcrypt hash"}},
        {"an MD5 crypt hash",
         "basic_auth_users:\n  prom: $1$abcdefgh$0123456789abcdefghijkl\n",
         {"line 2, column 9", "not a bcrypt hash"}},
        {"a bcrypt hash cut short",
         "basic_auth_users:\n  prom: " + kHash.substr(0, 59) + "\n",
         {"not a bcrypt hash"}},
        {"a user given twice",
         "basic_auth_users:\n  prom: " + kHash + "\n  prom: " + kHash + "\n",
         {"line 3, column 3", "\"prom\" is given twice"}},
        {"a user with a colon",
         "basic_auth_users:\n  'a:b': " + kHash + "\n",
         {"line 2, column 3", "without ':'"}},
        {"YAML syntax error",
         "basic_auth_users:\n  prom: [" + kHash + "\n",
         {"line 3, column 1", "did not find expected"}},
        {"tab indentation", "tls_server_config:\n\tcert_file: a.crt\n", {"line 2, column 1"}},
        {"a list at the top", "- tls_server_config\n", {"line 1, column 1", "must be a mapping"}},
        {"users as a list",
         "basic_auth_users:\n  - prom\n",
         {"line 2, column 3", "basic_auth_users must be a mapping"}},
        {"hash as a mapping",
         "basic_auth_users:\n  prom:\n    x: y\n",
         {"line 3, column 5", "must be a string"}},
        {"unknown TLS version",
         "tls_server_config:\n  cert_file: a\n  key_file: b\n"
         "  min_version: TLS14\n",
         {"line 4, column 16", "TLS10, TLS11, TLS12 or TLS13"}},
        {"versions crossed",
         "tls_server_config:\n  cert_file: a\n  key_file: b\n"
         "  min_version: TLS13\n  max_version: TLS12\n",
         {"min_version is above max_version"}},
        {"client check without its CA",
         "tls_server_config:\n  cert_file: a\n  key_file: b\n"
         "  client_auth_type: RequireAndVerifyClientCert\n",
         {"needs client_ca_file"}},
        {"unknown client check",
         "tls_server_config:\n  cert_file: a\n  key_file: b\n"
         "  client_auth_type: Always\n",
         {"line 4, column 21", "client_auth_type \"Always\""}},
        {"a part of the format not built here",
         "http_server_config:\n  http2: false\n",
         {"line 1, column 1", "http_server_config is not supported"}},
        {"a second document",
         "basic_auth_users:\n---\nbasic_auth_users:\n",
         {"only one YAML document"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        WebConfig config;
        std::string error;
        const bool ok = WebConfigReader::Parse(c.text, kPath, config, error);
        EXPECT_EQ(ok, c.error.empty()) << error;
        if (!c.error.empty()) {
            EXPECT_EQ(error.rfind("web config " + kPath + ": ", 0), 0u) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos) << error;
            for (const auto& piece : c.error) {
                EXPECT_NE(error.find(piece), std::string::npos) << error;
            }
            // Nothing half-read is left behind.
            EXPECT_FALSE(config.tls);
            EXPECT_TRUE(config.users.empty());
        }
    }
}

TEST(ExporterWebConfig, WhatAGoodFileSays) {
    WebConfig config;
    std::string error;
    ASSERT_TRUE(WebConfigReader::Parse(
        "tls_server_config:\n  cert_file: tls/a.crt\n  key_file: /k/a.key\n"
        "  client_auth_type: RequireAndVerifyClientCert\n  client_ca_file: ca.crt\n"
        "  min_version: TLS13\nbasic_auth_users:\n  prom: " +
            kHash + "\n  grafana: " + kHash + "\n",
        kPath, config, error))
        << error;
    ASSERT_TRUE(config.tls);
    // Relative names are taken from the file's folder, as Prometheus exporters do.
    EXPECT_EQ(config.tls->certFile, "/etc/solvei/tls/a.crt");
    EXPECT_EQ(config.tls->keyFile, "/k/a.key");
    EXPECT_EQ(config.tls->clientCaFile, "/etc/solvei/ca.crt");
    EXPECT_EQ(config.tls->clientAuth, WebConfig::ClientAuth::RequireAndVerify);
    EXPECT_NE(config.tls->minVersion, 0);
    EXPECT_EQ(config.users.size(), 2u);
    EXPECT_EQ(config.users.at("grafana"), kHash);
}

TEST(ExporterWebConfig, CertificateFilesAreLoadedAtStart) {
    ExporterHarness h("webconfig-files");
    ASSERT_TRUE(WebSecurityFiles::MakeCertificate(h.Path(""), "a"));
    ASSERT_TRUE(WebSecurityFiles::MakeCertificate(h.Path(""), "b"));
    std::ofstream(h.Path("garbage.crt")) << "not a certificate\n";
    struct Case {
        const char* name;
        std::string cert;
        std::string key;
        std::string error; // empty: loads
    };
    const Case cases[] = {
        {"matching pair, relative names", "a.crt", "a.key", ""},
        {"key file missing", "a.crt", "missing.key", "key_file " + h.Path("missing.key")},
        {"certificate file missing", "missing.crt", "a.key", "cert_file " + h.Path("missing.crt")},
        {"key of another certificate", "a.crt", "b.key", "does not belong to cert_file"},
        {"not a certificate", "garbage.crt", "a.key", "cert_file " + h.Path("garbage.crt")},
        {"a certificate as the key", "a.crt", "a.crt", "key_file " + h.Path("a.crt")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = h.Path("web.yml");
        std::ofstream(file) << "tls_server_config:\n  cert_file: " << c.cert
                            << "\n  key_file: " << c.key << "\n";
        WebConfig config;
        std::string error;
        const bool ok = WebConfigReader::Read(file, config, error);
        EXPECT_EQ(ok, c.error.empty()) << error;
        EXPECT_EQ(config.tlsContext != nullptr, c.error.empty());
        if (!c.error.empty()) {
            EXPECT_EQ(error.rfind("web config " + file + ": ", 0), 0u) << error;
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        }
    }
}

TEST(ExporterWebConfig, TheExporterRefusesABadFileWithOneLine) {
    ExporterHarness h("webconfig-refused");
    std::ofstream(h.Path("web.yml")) << "basic_auth_users:\n  prom: [\n";
    struct Case {
        std::vector<std::string> args;
        std::string error;
    };
    const Case cases[] = {
        {{"--web.config.file", h.Path("web.yml")}, h.Path("web.yml") + ": line 3, column 1"},
        {{"--web.config.file=" + h.Path("web.yml")}, h.Path("web.yml") + ": line 3, column 1"},
        {{"--web.config.file", h.Path("none.yml")}, "cannot read web config " + h.Path("none.yml")},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {SOLVEI_EXPORTER_PATH, "--listen", "127.0.0.1:0",
                                         "--processor", "fm=127.0.0.1:9"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto result = TestProcess::Run(argv, {}, 20s);
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("solvei-exporter: ", 0), 0u) << result.err;
        EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
}
