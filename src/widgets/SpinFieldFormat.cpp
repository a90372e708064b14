#include "widgets/SpinFieldFormat.h"

#include <cstring>

namespace {

// True when format holds exactly one conversion and its letter is among allowed.
bool HasOneConversion(const std::string& format, const char* allowed) {
    int conversions = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            continue;
        }
        ++i;
        if (i < format.size() && format[i] == '%') {
            continue;
        }
        while (i < format.size() && std::strchr("-+ #0", format[i]) != nullptr) {
            ++i;
        }
        // Widths and precisions from arguments ('*') are not allowed: there are none.
        size_t digits = 0;
        while (i < format.size() && format[i] >= '0' && format[i] <= '9' && digits < 3) {
            ++i;
            ++digits;
        }
        if (i < format.size() && format[i] == '.') {
            ++i;
            digits = 0;
            while (i < format.size() && format[i] >= '0' && format[i] <= '9' && digits < 3) {
                ++i;
                ++digits;
            }
        }
        if (i >= format.size() || std::strchr(allowed, format[i]) == nullptr || format[i] == '\0') {
            return false;
        }
        ++conversions;
    }
    return conversions == 1;
}

} // namespace

QString FormatSpinNumber(const std::string& format, double value) {
    if (!HasOneConversion(format, "feEgG")) {
        return QString::asprintf("%g", value);
    }
    return QString::asprintf(format.c_str(), value);
}

QString FormatSpinText(const std::string& format, const QString& text) {
    if (!HasOneConversion(format, "s")) {
        return text;
    }
    const QByteArray bytes = text.toUtf8();
    return QString::asprintf(format.c_str(), bytes.constData());
}
