// Any bytes as /proc/self/stat or /proc/stat: parsed or refused, never read past the end, and
// what is parsed is a plausible count.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "exporter/CProcessMetrics.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto stat = CProcessMetrics::ParseStat(text)) {
        if (stat->cpuTicks < 0 || stat->residentPages < 0) {
            __builtin_trap();
        }
    }
    if (const auto boot = CProcessMetrics::ParseBootTime(text); boot && *boot < 0) {
        __builtin_trap();
    }
    return 0;
}
