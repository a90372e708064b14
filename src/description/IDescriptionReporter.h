#pragma once

#include <string>

// Receives the description errors the operator must see (the application shows them in a
// "Config Error" box; tests record them).
class IDescriptionReporter {
public:
    virtual ~IDescriptionReporter() = default;
    virtual void ReportConfigError(const std::string& text) = 0;
};
