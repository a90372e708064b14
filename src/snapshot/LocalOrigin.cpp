#include "snapshot/LocalOrigin.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

SnapshotOrigin LocalOrigin::Now(const std::string& program, const std::string& processor) {
    return {UtcText(std::time(nullptr)), program, UserName(), HostName(), processor};
}

std::string LocalOrigin::UtcText(std::time_t moment) {
    std::tm utc{};
    gmtime_r(&moment, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string LocalOrigin::UserName() {
    for (const char* variable : {"USER", "LOGNAME"}) {
        if (const char* user = std::getenv(variable); user != nullptr && *user != '\0') {
            return user;
        }
    }
    // The reentrant look-up, so that any thread may ask.
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_name != nullptr) {
        return found->pw_name;
    }
    return std::to_string(::getuid());
}

std::string LocalOrigin::HostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') {
        return "unknown";
    }
    return name;
}
