// Who, where and when a snapshot taken on this machine says it was taken.
#include <chrono>
#include <cstdlib>
#include <optional>
#include <pwd.h>
#include <regex>
#include <unistd.h>

#include <gtest/gtest.h>

#include "snapshot/LocalOrigin.h"

namespace {

// Sets or clears one environment variable for a test and puts it back afterwards.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        Set(value);
    }
    ~EnvironmentVariable() { Set(old_); }

private:
    void Set(const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name_, value->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

    const char* name_;
    std::optional<std::string> old_;
};

std::string AccountName() {
    const passwd* pw = ::getpwuid(::getuid());
    return pw != nullptr && pw->pw_name != nullptr ? pw->pw_name : std::to_string(::getuid());
}

TEST(LocalOriginTest, TimeIsUtcIso8601ToTheSecond) {
    struct Case {
        std::time_t moment;
        const char* text;
    };
    const Case cases[] = {
        {0, "1970-01-01T00:00:00Z"},
        {951782400, "2000-02-29T00:00:00Z"},
        {1796687999, "2026-12-07T23:59:59Z"},
        {4102444799, "2099-12-31T23:59:59Z"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LocalOrigin::UtcText(c.moment), c.text) << c.moment;
    }
}

TEST(LocalOriginTest, UserComesFromUserThenLognameThenTheAccount) {
    struct Case {
        std::optional<std::string> user;
        std::optional<std::string> logname;
        std::string expected; // empty: the account of the user id
    };
    const Case cases[] = {
        {"alice", "bob", "alice"},
        {std::nullopt, "bob", "bob"},
        {"", "bob", "bob"},
        {std::nullopt, std::nullopt, ""},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EnvironmentVariable user("USER", c.user);
        EnvironmentVariable logname("LOGNAME", c.logname);
        const std::string expected = c.expected.empty() ? AccountName() : c.expected;
        EXPECT_EQ(LocalOrigin::UserName(), expected)
            << "USER=" << c.user.value_or("(unset)")
            << " LOGNAME=" << c.logname.value_or("(unset)");
    }
}

TEST(LocalOriginTest, NowNamesProgramProcessorUserHostAndTheCurrentSecond) {
    EnvironmentVariable user("USER", "operator");
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    const std::time_t before = std::time(nullptr);
    const SnapshotOrigin origin = LocalOrigin::Now("solvei-test 1.0", "127.0.0.1:5000");
    const std::time_t after = std::time(nullptr);

    EXPECT_EQ(origin.program, "solvei-test 1.0");
    EXPECT_EQ(origin.processor, "127.0.0.1:5000");
    EXPECT_EQ(origin.user, "operator");
    EXPECT_EQ(origin.host, host[0] != '\0' ? std::string(host) : std::string("unknown"));
    EXPECT_TRUE(std::regex_match(origin.at, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")))
        << origin.at;
    EXPECT_TRUE(origin.at == LocalOrigin::UtcText(before) ||
                origin.at == LocalOrigin::UtcText(after))
        << origin.at;
}

} // namespace
