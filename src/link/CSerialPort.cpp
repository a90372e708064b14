#include "link/CSerialPort.h"

#include <cerrno>
#include <cstdlib>

#include <sys/file.h>
#include <sys/ioctl.h>

CSerialPort::CSerialPort(asio::io_context& io) : port_(io) {}

CSerialPort::~CSerialPort() {
    Close();
}

int CSerialPort::Fail(int code) {
    lastError_ = code;
    return code;
}

std::string CSerialPort::DevicePath(const std::string& name) {
    if (!name.empty() && name[0] == '/') {
        return name;
    }
    if (name.size() > 3 && name.compare(0, 3, "COM") == 0 &&
        name.find_first_not_of("0123456789", 3) == std::string::npos && name.size() <= 6) {
        const int n = std::atoi(name.c_str() + 3);
        if (n >= 1) {
            return "/dev/ttyS" + std::to_string(n - 1);
        }
    }
    return {};
}

int CSerialPort::Open(const std::string& name) {
    lastError_ = 0;
    if (port_.is_open()) {
        return Fail(EALREADY);
    }
    const std::string path = DevicePath(name);
    if (path.empty()) {
        return Fail(ENOENT);
    }
    std::error_code ec;
    port_.open(path, ec);
    if (ec) {
        return Fail(ec.value());
    }
    // asio opens serial devices shared; another holder must see the port as in use. The
    // lock comes first: exclusive mode belongs to the device, not to this handle, so setting
    // it before knowing the port is ours would lock its owner out of its own port.
    const int fd = port_.native_handle();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        port_.close(ec);
        return Fail(error);
    }
    if (::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        port_.close(ec);
        return Fail(error);
    }
    return 0;
}

int CSerialPort::Setup(unsigned baudCode, unsigned dataCode, unsigned parityCode,
                       unsigned stopCode) {
    lastError_ = 0;
    if (!port_.is_open()) {
        return Fail(EBADF);
    }
    static constexpr unsigned kBauds[] = {9600, 19200, 38400, 57600};
    using asio::serial_port_base;
    if (baudCode > 3 || dataCode > 3 || parityCode > 2 || stopCode > 1) {
        return Fail(EINVAL);
    }
    const serial_port_base::parity::type parities[] = {serial_port_base::parity::none,
                                                       serial_port_base::parity::odd,
                                                       serial_port_base::parity::even};
    std::error_code ec;
    port_.set_option(serial_port_base::baud_rate(kBauds[baudCode]), ec);
    if (!ec) {
        port_.set_option(serial_port_base::character_size(5 + dataCode), ec);
    }
    if (!ec) {
        port_.set_option(serial_port_base::parity(parities[parityCode]), ec);
    }
    if (!ec) {
        port_.set_option(serial_port_base::stop_bits(stopCode == 0
                                                         ? serial_port_base::stop_bits::one
                                                         : serial_port_base::stop_bits::two),
                         ec);
    }
    return ec ? Fail(ec.value()) : 0;
}

int CSerialPort::SetHandshaking(unsigned flowCode) {
    lastError_ = 0;
    if (!port_.is_open()) {
        return Fail(EBADF);
    }
    using flow = asio::serial_port_base::flow_control;
    flow::type type;
    switch (flowCode) {
    case 0:
        type = flow::none;
        break;
    case 1:
        type = flow::hardware;
        break;
    case 2:
        type = flow::software;
        break;
    default:
        return Fail(EINVAL);
    }
    std::error_code ec;
    port_.set_option(flow(type), ec);
    return ec ? Fail(ec.value()) : 0;
}

int CSerialPort::Close() {
    lastError_ = 0;
    if (!port_.is_open()) {
        return 0;
    }
    // Give the device back in the state it was found, so it can be opened again.
    ::ioctl(port_.native_handle(), TIOCNXCL);
    std::error_code ec;
    port_.close(ec);
    return ec ? Fail(ec.value()) : 0;
}

int CheckPort(const std::string& name) {
    asio::io_context io;
    CSerialPort port(io);
    const int error = port.Open(name);
    port.Close();
    switch (error) {
    case 0:
        return 0;
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return 1;
    case EBUSY:
    case EACCES:
        return 2;
    default:
        return -1;
    }
}
