#include "skin/ResourceArchiveWriter.h"

#include <limits>

#include <zlib.h>

#include "skin/ResourceArchive.h"

ResourceArchiveWriter::ResourceArchiveWriter(const std::string& label) {
    ResourceArchive::Header header{};
    ResourceArchive::BuildHeader(header);
    bytes_.assign(header.begin(), header.end());
    PutU32(static_cast<std::uint32_t>(label.size()));
    bytes_.insert(bytes_.end(), label.begin(), label.end());
}

bool ResourceArchiveWriter::Add(const std::string& name, std::span<const char> data) {
    if (name.size() > ResourceArchive::kMaxNameLength ||
        data.size() > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    uLongf compressedSize = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> compressed(compressedSize);
    if (compress2(compressed.data(), &compressedSize, reinterpret_cast<const Bytef*>(data.data()),
                  static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK) {
        return false;
    }
    PutU32(static_cast<std::uint32_t>(name.size()));
    bytes_.insert(bytes_.end(), name.begin(), name.end());
    PutU32(static_cast<std::uint32_t>(compressedSize));
    PutU32(static_cast<std::uint32_t>(data.size()));
    bytes_.insert(bytes_.end(), compressed.begin(), compressed.begin() + compressedSize);
    ++count_;
    return true;
}

void ResourceArchiveWriter::PutU32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}
