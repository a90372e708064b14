#pragma once

#include <string>

// Keeps a second exporter out of a history folder: an exclusive lock (flock) on a file in the
// folder, held for this object's life and released by the system when the process dies, so a
// crashed exporter leaves no stale lock behind. The file names the holder's process id.
class CHistoryLock {
public:
    static constexpr const char* kFileName = ".solvei-exporter.lock";
    enum class Outcome { Held, InUse, Failed };

    CHistoryLock() = default;
    ~CHistoryLock();
    CHistoryLock(const CHistoryLock&) = delete;
    CHistoryLock& operator=(const CHistoryLock&) = delete;

    // Creates the folder when missing. error: one line naming the folder (and, in use, the
    // process that holds it).
    Outcome Take(const std::string& folder, std::string& error);
    [[nodiscard]] bool Held() const { return m_fd >= 0; }
    void Release();

private:
    int m_fd = -1;
};
