#include "skin/SkinFileSource.h"

#include <algorithm>

#include "skin/FileBytes.h"

SkinFileSource::SkinFileSource(std::string archivePath) : archivePath_(std::move(archivePath)) {}

std::optional<std::vector<char>> SkinFileSource::Read(const std::string& name,
                                                      const std::string& folder) {
    if (auto archived = ReadArchived(name)) {
        return archived;
    }
    return ReadFileBytes<char>(DiskPath(folder, name));
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
