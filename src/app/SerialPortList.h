#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// What opening a serial device for a moment tells about it.
enum class PortProbe { Free, Missing, Busy, Denied, Failed };

// Where the port list looks. Tests point the folders at temporary ones and replace the probe.
struct SerialPortScan {
    // Holds ttyUSB* and ttyACM*.
    std::string deviceFolder = "/dev";
    // udev's stable names of USB serial adapters (links to the devices).
    std::string byIdFolder = "/dev/serial/by-id";
    // Tries one port name ("COMn" or an absolute path); empty: ProbePort.
    std::function<PortProbe(const std::string& name)> probe;
};

// The settings panel's port names, built once: "Ethernet", each free "COM1" .. "COM20", then
// each free USB serial adapter by its stable path (by-id when udev gives one, else
// /dev/ttyUSB* and /dev/ttyACM*), then a stored absolute device path that exists (for example
// a pseudo-terminal) and the device paths the operator typed that exist, when not listed yet.
class SerialPortList {
public:
    using LogSink = std::function<void(const std::string& line)>;

    static constexpr const char* kEthernet = "Ethernet";
    static constexpr int kComPorts = 20;
    static constexpr std::size_t kCaptionLength = 16;
    static constexpr std::size_t kCaptionHead = 7;

    explicit SerialPortList(SerialPortScan scan = {});

    // Looks at every candidate once; later calls do nothing.
    void Build(const std::string& storedName, const std::vector<std::string>& typedPaths = {});
    [[nodiscard]] bool IsBuilt() const { return built_; }
    [[nodiscard]] const std::vector<std::string>& Names() const { return names_; }
    // One line naming the ports that exist but may not be opened for lack of permission, with
    // what to do about it; empty when there are none.
    [[nodiscard]] const std::string& PermissionNote() const { return permissionNote_; }

    // The short caption shown for a port name: the name itself, or for a path its last part
    // without udev's "usb-" prefix and "-ifNN-portN" suffix, at most kCaptionLength
    // characters (the middle of a longer one gives way to an ellipsis).
    [[nodiscard]] static std::string Caption(const std::string& name);
    // Opens and closes the port through CheckPort; an in-use answer on a device this user
    // may not open is Denied.
    [[nodiscard]] static PortProbe ProbePort(const std::string& name);

private:
    PortProbe Probe(const std::string& name) const;

    SerialPortScan scan_;
    std::vector<std::string> names_;
    std::string permissionNote_;
    bool built_ = false;
};
