#include "tools/CFileReader.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Reason(const std::string& path, int error) {
    if (error == EISDIR) {
        return path + " is a directory";
    }
    return "cannot read " + path + ": " + std::strerror(error);
}

std::string TooLarge(const std::string& path, std::size_t maxBytes) {
    return path + " is larger than " + std::to_string(maxBytes) + " bytes";
}

// Closes the descriptor on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    [[nodiscard]] int Get() const { return m_fd; }

private:
    int m_fd;
};

bool Kind(const struct stat& info, const std::string& path, std::string& error) {
    if (S_ISDIR(info.st_mode)) {
        error = path + " is a directory";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = path + " is not a regular file";
        return false;
    }
    return true;
}

} // namespace

std::optional<std::vector<std::uint8_t>>
CFileReader::Read(const std::string& path, std::size_t maxBytes, std::string& error) {
    // Looked at before opening: opening a pipe would block until a writer comes.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = Reason(path, errno);
        return std::nullopt;
    }
    if (!Kind(info, path, error)) {
        return std::nullopt;
    }
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
        error = Reason(path, errno);
        return std::nullopt;
    }
    // The path may have been replaced in between: judge what was opened.
    if (::fstat(fd.Get(), &info) != 0 || !Kind(info, path, error)) {
        error = error.empty() ? Reason(path, errno) : error;
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        error = TooLarge(path, maxBytes);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd.Get(), chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            error = Reason(path, errno);
            return std::nullopt;
        }
        if (got == 0) {
            break;
        }
        // A file that grows while it is read is held to the same limit.
        if (bytes.size() + static_cast<std::size_t>(got) > maxBytes) {
            error = TooLarge(path, maxBytes);
            return std::nullopt;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return bytes;
}

bool CFileReader::Check(const std::string& path, std::size_t maxBytes, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        error = Reason(path, errno);
        return false;
    }
    if (!Kind(info, path, error)) {
        return false;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        error = TooLarge(path, maxBytes);
        return false;
    }
    const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0) {
        error = Reason(path, errno);
        return false;
    }
    return true;
}

std::optional<std::string> CFileReader::ReadText(const std::string& path, std::size_t maxBytes,
                                                 std::string& error) {
    auto bytes = Read(path, maxBytes, error);
    if (!bytes) {
        return std::nullopt;
    }
    return std::string(bytes->begin(), bytes->end());
}
