#include "app/SerialPortList.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <set>
#include <utility>

#include <unistd.h>

#include "link/CSerialPort.h"

namespace fs = std::filesystem;

namespace {

// Entries of folder whose names start with one of prefixes, sorted by prefix, then by the
// number that follows it (ttyUSB2 before ttyUSB10), then by name.
std::vector<std::string> FolderEntries(const std::string& folder,
                                       const std::vector<std::string>& prefixes) {
    struct Entry {
        std::size_t prefix;
        long number;
        std::string name;
    };
    std::vector<Entry> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (std::size_t p = 0; p < prefixes.size(); ++p) {
            if (prefixes[p].empty() || name.rfind(prefixes[p], 0) == 0) {
                const std::string rest = name.substr(prefixes[p].size());
                const bool numbered = !rest.empty() &&
                                      rest.find_first_not_of("0123456789") == std::string::npos &&
                                      rest.size() < 9;
                entries.push_back({p, numbered ? std::stol(rest) : -1, name});
                break;
            }
        }
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.prefix, a.number, a.name) < std::tie(b.prefix, b.number, b.name);
    });
    std::vector<std::string> paths;
    for (const Entry& entry : entries) {
        paths.push_back((fs::path(folder) / entry.name).string());
    }
    return paths;
}

// The device a path finally names, or the path itself when it cannot be resolved.
std::string DeviceOf(const std::string& path) {
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    return ec ? path : device.string();
}

} // namespace

SerialPortList::SerialPortList(SerialPortScan scan) : scan_(std::move(scan)) {}

PortProbe SerialPortList::ProbePort(const std::string& name) {
    switch (CheckPort(name)) {
    case 0:
        return PortProbe::Free;
    case 1:
        return PortProbe::Missing;
    case 2: {
        // CheckPort counts a refused open as in use; the file's permissions tell the two apart.
        const std::string path = CSerialPort::DevicePath(name);
        if (!path.empty() && ::access(path.c_str(), R_OK | W_OK) != 0 && errno == EACCES) {
            return PortProbe::Denied;
        }
        return PortProbe::Busy;
    }
    default:
        return PortProbe::Failed;
    }
}

PortProbe SerialPortList::Probe(const std::string& name) const {
    return scan_.probe ? scan_.probe(name) : ProbePort(name);
}

void SerialPortList::Build(const std::string& storedName,
                           const std::vector<std::string>& typedPaths) {
    if (built_) {
        return;
    }
    built_ = true;
    names_.assign(1, kEthernet);
    std::vector<std::string> denied;
    const auto addIfFree = [&](const std::string& name) {
        switch (Probe(name)) {
        case PortProbe::Free:
            names_.push_back(name);
            break;
        case PortProbe::Denied:
            denied.push_back(name);
            break;
        default:
            break;
        }
    };

    for (int n = 1; n <= kComPorts; ++n) {
        addIfFree("COM" + std::to_string(n));
    }

    // USB adapters by their stable names first; a device udev named is not listed again
    // under its kernel name.
    std::set<std::string> named;
    for (const std::string& link : FolderEntries(scan_.byIdFolder, {""})) {
        named.insert(DeviceOf(link));
        addIfFree(link);
    }
    for (const std::string& device : FolderEntries(scan_.deviceFolder, {"ttyUSB", "ttyACM"})) {
        if (named.count(DeviceOf(device)) == 0) {
            addIfFree(device);
        }
    }

    // The device chosen last time and those typed before stay choosable while they exist,
    // busy or not, whatever way was used since.
    std::vector<std::string> kept{storedName};
    kept.insert(kept.end(), typedPaths.begin(), typedPaths.end());
    for (const std::string& path : kept) {
        std::error_code ec;
        if (!path.empty() && path[0] == '/' &&
            std::find(names_.begin(), names_.end(), path) == names_.end() && fs::exists(path, ec)) {
            names_.push_back(path);
        }
    }

    if (!denied.empty()) {
        std::string line = "Serial port";
        line += denied.size() > 1 ? "s " : " ";
        for (std::size_t i = 0; i < denied.size(); ++i) {
            line += (i > 0 ? ", " : "") + denied[i];
        }
        line += denied.size() > 1 ? " exist but cannot" : " exists but cannot";
        line += " be opened: permission denied. Add this user to the dialout group and log in "
                "again.";
        permissionNote_ = line;
    }
}

std::string SerialPortList::Caption(const std::string& name) {
    if (name.empty() || name[0] != '/') {
        return name;
    }
    const fs::path path(name);
    std::string caption = path.filename().string();
    if (path.parent_path().filename() == "pts") {
        return "pts/" + caption;
    }
    if (caption.rfind("usb-", 0) == 0) {
        caption.erase(0, 4);
    }
    // udev's by-id names end in "-ifNN" or "-ifNN-portN", which says nothing to the operator.
    const std::size_t suffix = caption.rfind("-if");
    if (suffix != std::string::npos && suffix > 0) {
        const std::string rest = caption.substr(suffix + 3);
        const std::size_t digits = rest.find_first_not_of("0123456789");
        const std::string tail = digits == std::string::npos ? "" : rest.substr(digits);
        if (digits != 0 &&
            (tail.empty() || (tail.rfind("-port", 0) == 0 && tail.size() > 5 &&
                              tail.find_first_not_of("0123456789", 5) == std::string::npos))) {
            caption.erase(suffix);
        }
    }
    // Long names would widen every key of the selector; the start names the maker and the
    // end usually carries the adapter's serial number, which tells two adapters apart.
    if (caption.size() > kCaptionLength) {
        caption = caption.substr(0, kCaptionHead) + "\u2026" +
                  caption.substr(caption.size() - (kCaptionLength - kCaptionHead - 1));
    }
    return caption;
}
