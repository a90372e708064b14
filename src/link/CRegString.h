#pragma once

#include <string>

// One stored text value under "Tarrowin/FALX/Settings". It holds its default until Read
// finds the value; Write stores what it holds.
class CRegString {
public:
    CRegString(std::string name, std::string defaultValue);

    bool Read();
    bool Write() const;

    [[nodiscard]] const std::string& Value() const { return value_; }
    void SetValue(const std::string& value) { value_ = value; }
    [[nodiscard]] const std::string& Name() const { return name_; }
    [[nodiscard]] int Status() const { return status_; }

private:
    std::string name_;
    std::string value_;
    int status_ = 1;
};
