#pragma once

#include <memory>
#include <string>

class QLockFile;

// Makes sure only one copy of the application runs: a lock file of a fixed name in a folder
// (the temporary folder). A copy that crashed leaves no lock that blocks the next one.
class CInstanceLock {
public:
    static constexpr const char* kName = "TARROWIN_FALX_Application";

    explicit CInstanceLock(const std::string& folder);
    ~CInstanceLock();

    // True when this process now holds the lock; false when another copy holds it.
    [[nodiscard]] bool TryAcquire();
    void Release();
    [[nodiscard]] bool IsHeld() const { return held_; }

private:
    std::unique_ptr<QLockFile> file_;
    bool held_ = false;
};
