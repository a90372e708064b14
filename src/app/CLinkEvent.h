#pragma once

#include <cstdint>
#include <string>

#include <QEvent>

#include "link/ByteString.h"

// One link notification posted to the main window. It carries its own copies of the data,
// so nothing is shared with the link's threads once it is posted.
class CLinkEvent : public QEvent {
public:
    // message: one of the WM_LINK_* numbers; number: the preset number, count, bypass byte
    // or packed parameter word; bytes: a reply or transfer; text: a version or log line.
    CLinkEvent(int message, std::uint32_t number, ByteString bytes = {}, std::string text = {})
        : QEvent(static_cast<QEvent::Type>(message)), number_(number), bytes_(std::move(bytes)),
          text_(std::move(text)) {}

    [[nodiscard]] int Message() const { return static_cast<int>(type()); }
    [[nodiscard]] std::uint32_t Number() const { return number_; }
    [[nodiscard]] const ByteString& Bytes() const { return bytes_; }
    [[nodiscard]] const std::string& Text() const { return text_; }
    // Hands the bytes over to the handler, which owns them from then on.
    [[nodiscard]] ByteString TakeBytes() { return std::move(bytes_); }

private:
    std::uint32_t number_;
    ByteString bytes_;
    std::string text_;
};
