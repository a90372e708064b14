#include "skin/ArchiveIndex.h"

#include "skin/FileBytes.h"

ArchiveIndex ArchiveIndex::FromFile(const std::string& fileName) {
    const auto image = ReadFileBytes<std::uint8_t>(fileName);
    if (!image) {
        return {};
    }
    return FromImage(*image);
}

ArchiveIndex ArchiveIndex::FromImage(std::span<const std::uint8_t> image) {
    ArchiveIndex index;
    ResourceArchive::Header header{};
    const std::int64_t first = ResourceArchive::FirstEntry(image, header);
    if (first < 0) {
        return index;
    }
    index.hasArchive_ = true;
    index.bytes_.assign(image.begin() + first, image.end());
    std::size_t offset = 0;
    while (offset < index.bytes_.size()) {
        auto entry = ResourceArchive::ReadEntryHeader(index.bytes_, offset);
        if (!entry) {
            break;
        }
        offset = entry->dataOffset + entry->compressedSize;
        index.byName_.emplace(Folded(entry->name), index.entries_.size());
        index.entries_.push_back(std::move(*entry));
    }
    return index;
}

std::optional<std::vector<char>> ArchiveIndex::Extract(std::string_view name) const {
    const auto found = byName_.find(Folded(name));
    if (found == byName_.end()) {
        return std::nullopt;
    }
    const ResourceArchive::EntryHeader& entry = entries_[found->second];
    return ResourceArchive::Inflate(
        std::span(bytes_).subspan(entry.dataOffset, entry.compressedSize), entry.uncompressedSize);
}

std::string ArchiveIndex::Folded(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return folded;
}
