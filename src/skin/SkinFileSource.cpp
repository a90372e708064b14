#include "skin/SkinFileSource.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

SkinFileSource::SkinFileSource(std::string archivePath) : archivePath_(std::move(archivePath)) {}

std::optional<std::vector<char>> SkinFileSource::Read(const std::string& name,
                                                      const std::string& folder) {
    if (auto archived = ReadArchived(name)) {
        return archived;
    }
    const std::string path = DiskPath(folder, name);
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

std::optional<std::vector<char>> SkinFileSource::ReadArchived(const std::string& name) {
    return Index().Extract(name);
}

std::string SkinFileSource::DiskPath(const std::string& folder, const std::string& name) {
    std::string path = folder;
    if (!path.empty() && path.back() != '\\' && path.back() != '/') {
        path += '/';
    }
    path += name;
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

const ArchiveIndex& SkinFileSource::Index() {
    if (!index_) {
        index_ = archivePath_.empty() ? ArchiveIndex() : ArchiveIndex::FromFile(archivePath_);
    }
    return *index_;
}
