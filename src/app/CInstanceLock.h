#pragma once

#include <memory>
#include <string>

class QLockFile;

// Makes sure only one copy of the application runs per user: a lock file of a fixed name and
// the user's own number in a folder (the temporary folder, shared by every user of the
// machine). A copy that crashed leaves no lock that blocks the next one.
class CInstanceLock {
public:
    static constexpr const char* kName = "TARROWIN_FALX_Application";

    explicit CInstanceLock(const std::string& folder);
    ~CInstanceLock();

    // True when this process now holds the lock; false when another copy holds it or the lock
    // could not be taken at all (HeldByAnother tells which, Reason says why).
    [[nodiscard]] bool TryAcquire();
    [[nodiscard]] bool HeldByAnother() const { return heldByAnother_; }
    [[nodiscard]] std::string Reason() const;
    // The lock file's name for this user.
    [[nodiscard]] static std::string FileName();
    void Release();
    [[nodiscard]] bool IsHeld() const { return held_; }

private:
    std::unique_ptr<QLockFile> file_;
    bool held_ = false;
    bool heldByAnother_ = false;
    std::string path_;
};
