// Any bytes as a client's Authorization value: decoded into a user and password or refused,
// never read past its end; what is decoded splits at the first colon.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "exporter/CBasicAuth.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view header(reinterpret_cast<const char*>(data), size);
    std::string user;
    std::string password;
    if (CBasicAuth::Decode(header, user, password)) {
        Check(user.find(':') == std::string::npos);
        // base64 gives three bytes for four characters: the pair cannot be longer.
        Check(user.size() + 1 + password.size() <= size * 3 / 4);
    }
    return 0;
}
