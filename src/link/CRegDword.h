#pragma once

#include <cstdint>
#include <string>

// One stored 32-bit value under "Tarrowin/FALX/Settings". It holds its default until Read
// finds the value; Write stores what it holds.
class CRegDword {
public:
    CRegDword(std::string name, std::uint32_t defaultValue);

    // Returns true when the value was found and readable; otherwise the default stays.
    bool Read();
    // Returns true when the value was written.
    bool Write() const;

    [[nodiscard]] std::uint32_t Value() const { return value_; }
    void SetValue(std::uint32_t value) { value_ = value; }
    [[nodiscard]] const std::string& Name() const { return name_; }
    // 0 when the last Read found the value, non-zero when the default applies.
    [[nodiscard]] int Status() const { return status_; }

private:
    std::string name_;
    std::uint32_t value_;
    int status_ = 1;
};
