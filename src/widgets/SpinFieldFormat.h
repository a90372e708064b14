#pragma once

#include <string>

#include <QString>

// printf-style formats of spin fields, checked before use: a number format must hold
// exactly one floating-point conversion (%f, %e, %g and their capitals) and a text format
// exactly one %s, beside any number of "%%". Anything else would read the wrong argument,
// so a bad format falls back to the plain conversion.
QString FormatSpinNumber(const std::string& format, double value);
QString FormatSpinText(const std::string& format, const QString& text);
