#pragma once

#include <string>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

// A remote's end of a pseudo-terminal, opened by its path and set raw, so every byte value
// passes unchanged both ways, as over a serial port; closed with the object.
class RawTerminal {
public:
    // flags: added to O_RDWR | O_NOCTTY (O_NONBLOCK, say).
    explicit RawTerminal(const std::string& path, int flags = 0)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | flags)) {
        if (fd_ >= 0) {
            termios raw{};
            ::tcgetattr(fd_, &raw);
            ::cfmakeraw(&raw);
            ::tcsetattr(fd_, TCSANOW, &raw);
        }
    }
    ~RawTerminal() { Close(); }
    RawTerminal(const RawTerminal&) = delete;
    RawTerminal& operator=(const RawTerminal&) = delete;

    // -1 when the path could not be opened.
    [[nodiscard]] int Fd() const { return fd_; }
    void Close() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};
