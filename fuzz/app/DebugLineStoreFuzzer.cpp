// Link log lines of any bytes (the engine logs what the processor sends) into the debug
// window's line store, with a small limit so that dropping the oldest lines is exercised:
// the store must keep the newest lines, in order, and count every line it dropped.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/DebugLineStore.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    // The first byte chooses the limit (2000 to 9000 lines) and how often the input repeats,
    // so that short inputs still fill the store.
    const std::size_t limit = 2000 + (data[0] % 8) * 1000;
    const int rounds = 1 + data[0] / 16;
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    DebugLineStore store(limit);
    std::size_t added = 0;
    std::string last;
    for (int round = 0; round < rounds; ++round) {
        std::size_t start = 0;
        while (start <= text.size()) {
            const std::size_t end = std::min(text.find('\n', start), text.size());
            last = std::string(text.substr(start, end - start)) + "#" + std::to_string(added);
            store.Add(last);
            ++added;
            start = end + 1;
        }
        Check(store.Count() <= store.Limit());
        Check(store.Count() + store.Dropped() == added);
        Check(store.Line(store.Count() - 1) == last);
    }
    if (store.Dropped() > 0) {
        // The first line kept is the one after the last dropped.
        const std::string& first = store.Line(0);
        Check(first.substr(first.rfind('#') + 1) == std::to_string(store.Dropped()));
    }
    store.Clear();
    Check(store.Count() == 0 && store.Dropped() == 0);
    return 0;
}
