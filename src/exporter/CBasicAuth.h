#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include <asio/io_context.hpp>

#include "link/CIoThread.h"

// HTTP basic authentication against bcrypt hashes, checked with the system's crypt. bcrypt is
// slow on purpose (tens of milliseconds), so the checks run one after another on a worker
// thread of their own, at most kMaxChecks waiting or running (more are answered Busy at once,
// so a flood of wrong passwords costs one core at most and never the server's thread), and a pair that passed once is
// remembered by a salted SHA-256 digest, never in plain, so a scraper pays for bcrypt once.
class CBasicAuth {
public:
    enum class Verdict { Allowed, Denied, Busy };
    using Done = std::function<void(Verdict)>;

    static constexpr std::size_t kMaxChecks = 4;
    // A longer Authorization value is refused without a check (bcrypt reads 72 bytes anyway).
    static constexpr std::size_t kMaxHeaderBytes = 1024;
    static constexpr std::size_t kMaxRemembered = 1024;
    static constexpr const char* kRealm = "solvei-exporter";

    // users: name → bcrypt hash, at least one. done runs on io's thread.
    CBasicAuth(asio::io_context& io, std::map<std::string, std::string> users);
    ~CBasicAuth();
    CBasicAuth(const CBasicAuth&) = delete;
    CBasicAuth& operator=(const CBasicAuth&) = delete;

    // On io's thread. authorization: the Authorization field's value, empty when missing.
    // done runs at once for a missing, malformed or remembered credential, else after the check.
    void Check(std::string_view authorization, Done done);

    // "Basic BASE64(user:password)" split into its parts; false when it is not that.
    [[nodiscard]] static bool Decode(std::string_view authorization, std::string& user,
                                     std::string& password);
    // How many bcrypt computations have run (each costs tens of milliseconds).
    [[nodiscard]] std::uint64_t ChecksRun() const { return m_checksRun.load(); }

private:
    using Digest = std::array<unsigned char, 32>;
    // Lives on io's thread; results posted back may outlive this object.
    struct State {
        std::set<Digest> remembered;
        std::size_t running = 0;
    };

    [[nodiscard]] Digest Key(const std::string& user, const std::string& password) const;
    // On the worker: whether password hashes to hash, compared in constant time.
    [[nodiscard]] bool Matches(const std::string& password, const std::string& hash);

    asio::io_context& m_io;
    const std::map<std::string, std::string> m_users;
    // An unknown user is checked against this, so the answer's time does not tell names apart.
    std::string m_decoyHash;
    std::array<unsigned char, 32> m_salt{};
    std::shared_ptr<State> m_state = std::make_shared<State>();
    std::atomic<std::uint64_t> m_checksRun{0};
    std::unique_ptr<struct crypt_data> m_cryptData; // the worker's scratch space
    CIoThread m_worker;                             // last: stops before the rest goes
};
