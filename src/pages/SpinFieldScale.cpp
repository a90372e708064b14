#include "pages/SpinFieldScale.h"

#include <algorithm>
#include <cmath>

#include "description/ValueText.h"

namespace {

double PowerOfTen(unsigned decimals) {
    double result = 1;
    for (unsigned i = 0; i < decimals; ++i) {
        result *= 10;
    }
    return result;
}

} // namespace

SpinFieldScale::SpinFieldScale(const ParamItem& item)
    : lowest_(ValueText::LowestIndex(item)), span_(item.span),
      unit_(item.kind == ParamItem::Numeric && item.step != 0
                ? item.step / PowerOfTen(item.format >> 4)
                : 1.0) {
    // Only numeric items have steps and decimals; other kinds count entries from 0.
    if (item.kind != ParamItem::Numeric) {
        lowest_ = 0;
    }
}

std::string SpinFieldScale::Format(const ParamItem& item) {
    std::string format = "%";
    if ((item.format & 0x08) != 0) {
        format += "0";
    }
    format += std::to_string(item.format & 0x07);
    format += "." + std::to_string(item.format >> 4) + "f";
    return format;
}

// A negative step runs the display downwards: the range is taken from both ends.
double SpinFieldScale::Minimum() const {
    return std::min(FromDevice(0), static_cast<double>(lowest_ + span_) * unit_);
}

double SpinFieldScale::Maximum() const {
    return std::max(FromDevice(0), static_cast<double>(lowest_ + span_) * unit_);
}

double SpinFieldScale::Step() const {
    return std::abs(unit_);
}

double SpinFieldScale::FromDevice(std::uint8_t value) const {
    return static_cast<double>(lowest_ + value) * unit_;
}

std::uint8_t SpinFieldScale::ToDevice(double fieldValue) const {
    if (!std::isfinite(fieldValue)) {
        return 0;
    }
    // Truncated toward zero, forgiving the rounding error of a division by a decimal step.
    const double exact = fieldValue / unit_;
    const double steps = std::trunc(exact + std::copysign(1e-6, exact));
    const double index =
        std::clamp(steps - static_cast<double>(lowest_), 0.0, static_cast<double>(span_));
    return static_cast<std::uint8_t>(index);
}
