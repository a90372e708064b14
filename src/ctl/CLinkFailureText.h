#pragma once

#include <string>

#include "link/CConnectionSettings.h"

// Names why the link failed in words an operator knows ("device busy", "no such device",
// "not a serial device", "connection refused") instead of an error number.
class CLinkFailureText {
public:
    // The text for an error value the link reported (a system error value).
    [[nodiscard]] static std::string FromCode(int code);
    // Why the serial port of the settings cannot be used, found by trying it once more: the
    // serial channel reports only that it did not open. Empty when it opens now.
    [[nodiscard]] static std::string SerialCause(const CConnectionSettings& settings);
    // The cause of a failed connection or exchange; empty when none is known.
    [[nodiscard]] static std::string Cause(int code, const CConnectionSettings& settings);
};
