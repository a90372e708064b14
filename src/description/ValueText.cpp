#include "description/ValueText.h"

std::int32_t ValueText::LowestIndex(const ParamItem& item) {
    return item.step == 0 ? 0 : item.minimum / item.step;
}

std::string ValueText::Number(std::int64_t n, unsigned decimals) {
    if (decimals == 0) {
        return std::to_string(n);
    }
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string whole = "0";
    std::string fraction;
    if (digits.size() > decimals) {
        whole = digits.substr(0, digits.size() - decimals);
        fraction = digits.substr(digits.size() - decimals);
    } else {
        fraction = std::string(decimals - digits.size(), '0') + digits;
    }
    return (n < 0 ? "-" : "") + whole + "." + fraction;
}

std::string ValueText::NumericText(const ParamItem& item, std::uint8_t value) {
    const std::int64_t n = (static_cast<std::int64_t>(LowestIndex(item)) + value) * item.step;
    return Number(n, item.format >> 4) + " " + item.unit;
}

std::string ValueText::EntryText(const std::string& entry, const std::string& unit) {
    const auto star = entry.find('*');
    if (star == std::string::npos) {
        return entry + " " + unit;
    }
    std::string text = entry;
    text.erase(star, 1);
    return text;
}

std::string ValueText::Text(const ParamItem& item, std::uint8_t value,
                            const std::vector<std::string>& presetNames) {
    switch (item.kind) {
    case ParamItem::Numeric:
        return NumericText(item, value);
    case ParamItem::Enumeration:
        if (value < item.entries.size()) {
            return EntryText(item.entries[value], item.unit);
        }
        break;
    case ParamItem::PresetName:
        if (value == 0) {
            return "Off";
        }
        if (value - 1u < presetNames.size()) {
            return presetNames[value - 1u];
        }
        break;
    default:
        break;
    }
    return std::to_string(value);
}
