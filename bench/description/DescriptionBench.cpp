// Parsing speed of a realistic description of about 100 KiB: it is parsed on every connect,
// on the user-interface thread.
#include <cstdint>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "description/ControlDescription.h"
#include "description/DescriptionEncoder.h"
#include "description/DescriptionJson.h"

namespace {

// Pages of sliders, button groups and three-field spins, with conditions and enumerations,
// grown until the bytes reach targetBytes.
std::vector<std::uint8_t> MakeDescription(std::size_t targetBytes) {
    std::string strings = R"("Off", "On", "Slow", "Medium", "Fast", "*Auto")";
    for (int page = 0;; ++page) {
        std::string records;
        for (int p = 0; p <= page; ++p) {
            std::string children;
            for (int s = 0; s < 24; ++s) {
                std::string address = "[";
                address += std::to_string(p % 4);
                address += ", ";
                address += std::to_string(p);
                address += ", ";
                address += std::to_string(s);
                address += "]";
                if (!children.empty()) {
                    children += ",";
                }
                if (s % 3 == 0) {
                    children += R"({"style": 0, "box": {"width": 8, "height": 20, "left": 1,
                        "top": 2}, "items": [{"kind": 0, "address": )" +
                                address +
                                R"(, "name": "Threshold level", "unit": "dBFS", "span": 200,
                        "minimum": -400, "step": 2, "format": 16, "flag": 1}]})";
                } else if (s % 3 == 1) {
                    children += R"({"style": 1, "condition": {"address": [0, 0, 1], "low": 1,
                        "high": 3}, "box": {"width": 20, "height": 4, "left": 10, "top": 2},
                        "items": [{"kind": 1, "address": )" +
                                address +
                                R"(, "name": "Release speed", "entries": ["Slow", "Medium",
                        "Fast", "*Auto"]}]})";
                } else {
                    children += R"({"style": 2, "box": {"width": 20, "height": 3, "left": 1,
                        "top": 24}, "items": [)";
                    for (int f = 0; f < 3; ++f) {
                        children += std::string(f == 0 ? "" : ",") + R"({"kind": 0, "address": )" +
                                    address + R"(, "name": "Field", "span": 59, "step": 1,
                            "format": 10})";
                    }
                    children += "]}";
                }
            }
            records += std::string(p == 0 ? "" : ",") + R"({"group": "*Page )" + std::to_string(p) +
                       R"(", "condition": {"address": [0, 0, 2], "low": 0,
                "high": 9}, "children": [)" +
                       children + "]}";
        }
        std::string error;
        auto bytes = EncodeDescription(
            R"({"strings": [)" + strings + R"(], "records": [)" + records + "]}", error);
        if (!bytes || bytes->size() >= targetBytes) {
            return bytes.value_or(std::vector<std::uint8_t>{});
        }
    }
}

const std::vector<std::uint8_t>& Description100KiB() {
    static const std::vector<std::uint8_t> bytes = MakeDescription(100 * 1024);
    return bytes;
}

void BM_Parse100KiB(benchmark::State& state) {
    const auto& bytes = Description100KiB();
    for (auto _ : state) {
        ControlDescription description;
        description.Parse(bytes);
        benchmark::DoNotOptimize(description.Root().get());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
    state.counters["bytes"] = static_cast<double>(bytes.size());
}
BENCHMARK(BM_Parse100KiB)->Unit(benchmark::kMicrosecond);

void BM_DescribeJson100KiB(benchmark::State& state) {
    const auto& bytes = Description100KiB();
    ControlDescription description;
    description.Parse(bytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(DescriptionJson::Write(3, {}, *description.Root()));
    }
}
BENCHMARK(BM_DescribeJson100KiB)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
