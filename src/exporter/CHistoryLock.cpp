#include "exporter/CHistoryLock.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <unistd.h>

CHistoryLock::~CHistoryLock() {
    Release();
}

void CHistoryLock::Release() {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
}

CHistoryLock::Outcome CHistoryLock::Take(const std::string& folder, std::string& error) {
    if (m_fd >= 0) {
        return Outcome::Held;
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create history folder " + folder + ": " + ec.message();
        return Outcome::Failed;
    }
    const std::string path = (std::filesystem::path(folder) / kFileName).string();
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return Outcome::Failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        std::string holder;
        char text[32] = {};
        if (code == EWOULDBLOCK && pread(fd, text, sizeof text - 1, 0) > 0) {
            holder = std::string(text);
            while (!holder.empty() && (holder.back() == '\n' || holder.back() == ' ')) {
                holder.pop_back();
            }
        }
        close(fd);
        if (code == EWOULDBLOCK) {
            error = "history folder " + folder + " is in use by another solvei-exporter" +
                    (holder.empty() ? std::string() : " (process " + holder + ")");
            return Outcome::InUse;
        }
        error = "cannot lock " + path + ": " + std::strerror(code);
        return Outcome::Failed;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(fd, 0) != 0 || pwrite(fd, pid.data(), pid.size(), 0) < 0) {
        // The lock holds without the note of who holds it.
    }
    m_fd = fd;
    return Outcome::Held;
}
