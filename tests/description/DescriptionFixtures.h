#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "description/ControlDescription.h"
#include "description/DescriptionEncoder.h"
#include "description/IDescriptionReporter.h"

// Records what the parser would show in "Config Error" boxes.
class RecordingReporter : public IDescriptionReporter {
public:
    void ReportConfigError(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

// Encodes a JSON source, failing the calling test when the encoder refuses it.
inline std::vector<std::uint8_t> Encode(std::string_view json) {
    std::string error;
    auto bytes = EncodeDescription(json, error);
    EXPECT_TRUE(bytes.has_value()) << error;
    return bytes.value_or(std::vector<std::uint8_t>{});
}

// Parses the bytes with a fresh description and returns its root.
inline std::shared_ptr<ControlNode> ParseBytes(const std::vector<std::uint8_t>& bytes,
                                               IDescriptionReporter* reporter = nullptr) {
    ControlDescription description(reporter);
    description.Parse(bytes);
    return description.Root();
}

// A numeric slider item at address [0, 1, c].
inline std::string NumericItem(int c, const std::string& name, int flag = 0) {
    return R"({"kind": 0, "address": [0, 1, )" + std::to_string(c) + R"(], "name": ")" + name +
           R"(", "unit": "dB", "span": 40, "minimum": -200, "step": 5, "format": 16, "flag": )" +
           std::to_string(flag) + "}";
}

// A set of one item with an optional condition ("null" for none).
inline std::string SetRecord(const std::string& item, const std::string& condition = "null",
                             int style = 0) {
    return R"({"style": )" + std::to_string(style) + R"(, "condition": )" + condition +
           R"(, "box": {"width": 20, "height": 15, "left": 1, "top": 2}, "items": [)" + item + "]}";
}

inline std::string Condition(int c, int low, int high) {
    return R"({"address": [0, 9, )" + std::to_string(c) + R"(], "low": )" + std::to_string(low) +
           R"(, "high": )" + std::to_string(high) + "}";
}
