#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

// A new folder of its own below the system's temporary folder, removed with all it holds when
// the object goes. Empty Path() when the folder could not be made.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::string& prefix) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        if (!path_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(path_, ec);
        }
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
    [[nodiscard]] std::string File(const std::string& name) const {
        return (path_ / name).string();
    }

private:
    std::filesystem::path path_;
};
