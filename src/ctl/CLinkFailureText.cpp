#include "ctl/CLinkFailureText.h"

#include <cerrno>
#include <cstring>

#include <asio/io_context.hpp>

#include "link/CSerialPort.h"

std::string CLinkFailureText::FromCode(int code) {
    switch (code) {
    case EBUSY:
    case EWOULDBLOCK:
        return "device busy";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return "no such device";
    case ENOTTY:
    case EISDIR:
        return "not a serial device";
    case EACCES:
    case EPERM:
        return "permission denied";
    case ECONNREFUSED:
        return "connection refused";
    case EHOSTUNREACH:
        return "host unreachable";
    case ENETUNREACH:
        return "network unreachable";
    default:
        break;
    }
    if (code <= 0) {
        return {};
    }
    std::string text = std::strerror(code);
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    return text;
}

std::string CLinkFailureText::SerialCause(const CConnectionSettings& settings) {
    asio::io_context io;
    CSerialPort port(io);
    int error = port.Open(settings.portName);
    if (error == 0) {
        error = port.Setup(settings.baud, settings.data, settings.parity, settings.stop);
    }
    port.Close();
    return error == 0 ? std::string() : FromCode(error);
}

std::string CLinkFailureText::Cause(int code, const CConnectionSettings& settings) {
    if (code < 0 && settings.serial != 0) {
        return SerialCause(settings);
    }
    return FromCode(code);
}
