#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "description/ValueText.h"

namespace {

ParamItem Numeric(int minimum, int step, int decimals, const std::string& unit) {
    ParamItem item;
    item.kind = ParamItem::Numeric;
    item.minimum = minimum;
    item.step = step;
    item.format = static_cast<std::uint8_t>(decimals << 4 | 0x0B); // width bits must not matter
    item.unit = unit;
    return item;
}

ParamItem Enumeration(std::vector<std::string> entries, const std::string& unit) {
    ParamItem item;
    item.kind = ParamItem::Enumeration;
    item.entries = std::move(entries);
    item.unit = unit;
    return item;
}

struct TextCase {
    const char* what;
    ParamItem item;
    std::uint8_t value;
    const char* text;
};
// Listed by its name, not as a dump of its bytes.
void PrintTo(const TextCase& c, std::ostream* os) {
    *os << c.what;
}

class ValueTexts : public testing::TestWithParam<TextCase> {};

TEST_P(ValueTexts, ShowTheDeviceValue) {
    const std::vector<std::string> presets = {"Rock", "Speech"};
    EXPECT_EQ(ValueText::Text(GetParam().item, GetParam().value, presets), GetParam().text);
}

ParamItem OfKind(std::uint8_t kind) {
    ParamItem item;
    item.kind = kind;
    item.unit = "u";
    return item;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ValueTexts,
    testing::Values(
        TextCase{"lowest", Numeric(-200, 5, 1, "dB"), 0, "-20.0 dB"},
        TextCase{"middle", Numeric(-200, 5, 1, "dB"), 40, "0.0 dB"},
        TextCase{"highest", Numeric(-200, 5, 1, "dB"), 80, "20.0 dB"},
        TextCase{"hundredths, empty unit", Numeric(0, 1, 2, ""), 5, "0.05 "},
        TextCase{"no decimals", Numeric(1000, 1, 0, "Hz"), 234, "1234 Hz"},
        // minimum / step truncates toward zero before it is multiplied back.
        TextCase{"truncated negative minimum", Numeric(-7, 2, 0, "ms"), 0, "-6 ms"},
        TextCase{"truncated positive minimum", Numeric(7, 2, 0, "ms"), 1, "8 ms"},
        TextCase{"negative step", Numeric(10, -5, 0, ""), 1, "5 "},
        TextCase{"zero step", Numeric(300, 0, 1, "x"), 9, "0.0 x"},
        TextCase{"entry with unit", Enumeration({"Low", "*High*", "Auto"}, "dB"), 0, "Low dB"},
        TextCase{"entry with star", Enumeration({"Low", "*High*", "Auto"}, "dB"), 1, "High*"},
        TextCase{"entry beyond the list", Enumeration({"Low"}, "dB"), 3, "3"},
        TextCase{"preset off", OfKind(ParamItem::PresetName), 0, "Off"},
        TextCase{"preset name", OfKind(ParamItem::PresetName), 2, "Speech"},
        TextCase{"preset beyond the list", OfKind(ParamItem::PresetName), 3, "3"},
        TextCase{"other kind", OfKind(6), 7, "7"}),
    [](const auto& info) {
        std::string name = info.param.what;
        for (char& ch : name) {
            ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        }
        return name;
    });

TEST(ValueText, NumberPutsTheDecimalPoint) {
    const struct {
        std::int64_t n;
        unsigned decimals;
        const char* text;
    } cases[] = {{-5, 2, "-0.05"},
                 {0, 1, "0.0"},
                 {1234, 0, "1234"},
                 {-1234, 2, "-12.34"},
                 {100, 2, "1.00"},
                 {-120, 1, "-12.0"},
                 {7, 15, "0.000000000000007"},
                 {-32768, 0, "-32768"}};
    for (const auto& c : cases) {
        EXPECT_EQ(ValueText::Number(c.n, c.decimals), c.text) << c.n << " / " << c.decimals;
    }
}

} // namespace
