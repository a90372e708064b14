#pragma once

#include <string>

// The debug window's log, as far as the parameter model writes to it.
class IParameterLog {
public:
    virtual ~IParameterLog() = default;
    virtual void Log(const std::string& line) = 0;
};
