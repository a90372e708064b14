#pragma once

#include <cstdint>
#include <string>

#include "description/ParamItem.h"

// How a numeric spin field shows its parameter: in display units (the number of the value
// text), with the format's width, zero padding and decimals, stepping by one device step.
// A device value v shows (lowest index + v) x step, and a field value goes back to its
// step, truncated toward zero and clamped to 0 .. span. Items of step 1 without decimals show
// lowest index + v and step by 1.
class SpinFieldScale {
public:
    explicit SpinFieldScale(const ParamItem& item);

    // printf-style: "%", "0" when padded, the field width, "." and the decimals, "f".
    [[nodiscard]] static std::string Format(const ParamItem& item);

    [[nodiscard]] double Minimum() const;
    [[nodiscard]] double Maximum() const;
    [[nodiscard]] double Step() const;
    [[nodiscard]] double FromDevice(std::uint8_t value) const;
    [[nodiscard]] std::uint8_t ToDevice(double fieldValue) const;

private:
    std::int64_t lowest_;
    std::int64_t span_;
    double unit_; // one step in display units
};
