#include "pages/SpinFieldUnit.h"

#include <algorithm>
#include <cctype>

#include "description/Latin1Text.h"
#include "pages/SpinFieldScale.h"

namespace {

enum class TimePart { None, Hours, Minutes, Seconds };

TimePart PartOf(const ParamItem& item) {
    if (item.kind != ParamItem::Numeric) {
        return TimePart::None;
    }
    std::string unit = item.unit;
    std::transform(unit.begin(), unit.end(), unit.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (unit == "h" || unit == "hr" || unit == "hour" || unit == "hours") {
        return TimePart::Hours;
    }
    if (unit == "min" || unit == "m" || unit == "minute" || unit == "minutes") {
        return TimePart::Minutes;
    }
    if (unit == "s" || unit == "sec" || unit == "second" || unit == "seconds") {
        return TimePart::Seconds;
    }
    return TimePart::None;
}

} // namespace

bool SpinFieldUnit::IsTimeStep(const ParamItem& left, const ParamItem& right) {
    const TimePart a = PartOf(left);
    const TimePart b = PartOf(right);
    return (a == TimePart::Hours && b == TimePart::Minutes) ||
           (a == TimePart::Minutes && b == TimePart::Seconds);
}

std::string SpinFieldUnit::NumberFormat(const ParamItem& item, bool showUnit) {
    std::string format = SpinFieldScale::Format(item);
    if (!showUnit || item.unit.empty()) {
        return format;
    }
    format += ' ';
    for (const char c : Latin1Text::ToUtf8(item.unit)) {
        format += c;
        if (c == '%') {
            format += '%'; // printf's own '%' stands for one
        }
    }
    return format;
}

std::string SpinFieldUnit::EntryText(const std::string& entry, const std::string& unit) {
    if (unit.empty() || entry.find('*') != std::string::npos) {
        return Latin1Text::ToUtf8(entry);
    }
    return Latin1Text::ToUtf8(entry + " " + unit);
}
