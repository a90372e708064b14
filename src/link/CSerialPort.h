#pragma once

#include <string>

#include <asio/io_context.hpp>
#include <asio/serial_port.hpp>

// One serial device, held exclusively while open. "COMn" names /dev/ttyS(n-1); an absolute
// path is used as it stands. Every operation returns 0 or the system's error value, which it
// also keeps as the last error.
class CSerialPort {
public:
    explicit CSerialPort(asio::io_context& io);
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // Fails with EBUSY when another program (or another open here) holds the device and with
    // ENOENT when there is no such device.
    int Open(const std::string& name);
    // Line codes as stored in the settings: baud 0-3 (9600, 19200, 38400, 57600), data 0-3
    // (5 to 8 bits), parity 0-2 (none, odd, even), stop 0-1 (one, two).
    int Setup(unsigned baudCode, unsigned dataCode, unsigned parityCode, unsigned stopCode);
    // Flow code 0 none, 1 hardware, 2 software (XON/XOFF). Hardware handshaking is meant to
    // let the line hold the processor back (RTS) without holding back what is sent (CTS).
    // Linux has one switch for both directions (CRTSCTS), so there CTS holds the output too.
    int SetHandshaking(unsigned flowCode);
    // Closing a closed port succeeds and does nothing.
    int Close();

    [[nodiscard]] bool IsOpen() const { return port_.is_open(); }
    [[nodiscard]] int LastError() const { return lastError_; }
    [[nodiscard]] asio::serial_port& Port() { return port_; }

    // The device a port name stands for, or empty when the name names none.
    [[nodiscard]] static std::string DevicePath(const std::string& name);

private:
    int Fail(int code);

    asio::serial_port port_;
    int lastError_ = 0;
};

// Tries to open and close the named port: 0 present and free, 1 no such device, 2 in use,
// -1 any other failure.
[[nodiscard]] int CheckPort(const std::string& name);
