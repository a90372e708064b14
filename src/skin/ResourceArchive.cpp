#include "skin/ResourceArchive.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

#include "skin/FileBytes.h"

namespace {

// The magic is kept in two pieces, read through volatile, so that it never appears whole
// inside a program that carries this code (the compiler cannot fold the pieces into one
// constant); otherwise searching that program would find the code's own copy first.
const volatile char kAts[] = "@@@@";
const volatile char kTag[] = "TarwPack";
constexpr std::size_t kAtsLength = 4;
constexpr std::size_t kTagLength = 8;
constexpr std::size_t kMagicLength = kAtsLength + kTagLength;

void CopyMagic(std::uint8_t* out) {
    for (std::size_t i = 0; i < kAtsLength; ++i) {
        out[i] = static_cast<std::uint8_t>(kAts[i]);
    }
    for (std::size_t i = 0; i < kTagLength; ++i) {
        out[kAtsLength + i] = static_cast<std::uint8_t>(kTag[i]);
    }
}

// zlib cannot expand data by more than about 1032:1; a larger claim is a damaged entry and
// must not make us allocate gigabytes.
constexpr std::uint64_t kMaxExpansion = 1040;

std::uint32_t ReadU32(std::span<const std::uint8_t> image, std::size_t offset) {
    return static_cast<std::uint32_t>(image[offset]) |
           static_cast<std::uint32_t>(image[offset + 1]) << 8 |
           static_cast<std::uint32_t>(image[offset + 2]) << 16 |
           static_cast<std::uint32_t>(image[offset + 3]) << 24;
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

void ResourceArchive::BuildHeader(Header& header) {
    header.fill(0);
    CopyMagic(header.data());
}

bool ResourceArchive::CheckHeader(const Header& header) {
    std::uint8_t magic[kMagicLength];
    CopyMagic(magic);
    return std::memcmp(header.data(), magic, kMagicLength) == 0;
}

std::int64_t ResourceArchive::FindHeader(std::span<const std::uint8_t> image, Header& header) {
    // Marked invalid first, so that a failed search never leaves an old header behind.
    header[4] = 0;
    if (image.size() < kHeaderSize) {
        return -1;
    }
    std::uint8_t magic[kMagicLength];
    CopyMagic(magic);
    const std::uint8_t* begin = image.data();
    const std::uint8_t* last = image.data() + (image.size() - kHeaderSize);
    for (const std::uint8_t* p = begin; p < last;) {
        p = static_cast<const std::uint8_t*>(
            std::memchr(p, '@', static_cast<std::size_t>(last - p)));
        if (p == nullptr) {
            break;
        }
        if (std::memcmp(p, magic, kMagicLength) == 0) {
            std::memcpy(header.data(), p, kHeaderSize);
            return p - begin;
        }
        ++p;
    }
    return -1;
}

std::int64_t ResourceArchive::FirstEntry(std::span<const std::uint8_t> image, Header& header) {
    const std::int64_t at = FindHeader(image, header);
    if (at < 0 || !CheckHeader(header)) {
        return -1;
    }
    const std::size_t labelAt = static_cast<std::size_t>(at) + kHeaderSize;
    if (image.size() - labelAt < 4) {
        return -1;
    }
    const std::uint64_t first = labelAt + 4ULL + ReadU32(image, labelAt);
    if (first > image.size()) {
        return -1;
    }
    return static_cast<std::int64_t>(first);
}

std::int64_t ResourceArchive::Locate(const std::string& fileName, std::vector<std::uint8_t>& image,
                                     Header& header) {
    header[4] = 0;
    auto bytes = ReadFileBytes<std::uint8_t>(fileName);
    if (!bytes) {
        image.clear();
        return -1;
    }
    image = std::move(*bytes);
    const std::int64_t first = FirstEntry(image, header);
    if (first < 0) {
        image.clear();
        image.shrink_to_fit();
    }
    return first;
}

std::optional<ResourceArchive::EntryHeader>
ResourceArchive::ReadEntryHeader(std::span<const std::uint8_t> image, std::size_t offset) {
    if (offset > image.size() || image.size() - offset < 4) {
        return std::nullopt;
    }
    const std::uint32_t nameLength = ReadU32(image, offset);
    if (nameLength > kMaxNameLength) {
        return std::nullopt;
    }
    const std::size_t sizesAt = offset + 4 + nameLength;
    if (sizesAt > image.size() || image.size() - sizesAt < 8) {
        return std::nullopt;
    }
    EntryHeader entry;
    entry.name.assign(reinterpret_cast<const char*>(image.data() + offset + 4), nameLength);
    entry.compressedSize = ReadU32(image, sizesAt);
    entry.uncompressedSize = ReadU32(image, sizesAt + 4);
    entry.dataOffset = sizesAt + 8;
    if (entry.compressedSize > image.size() - entry.dataOffset) {
        return std::nullopt;
    }
    return entry;
}

std::optional<std::vector<char>> ResourceArchive::Inflate(std::span<const std::uint8_t> data,
                                                          std::uint32_t uncompressedSize) {
    if (uncompressedSize > data.size() * kMaxExpansion + 64) {
        return std::nullopt;
    }
    std::vector<char> out(uncompressedSize);
    uLongf length = uncompressedSize;
    // uncompress wants a non-null destination even for an empty entry.
    Bytef dummy = 0;
    Bytef* dest = out.empty() ? &dummy : reinterpret_cast<Bytef*>(out.data());
    const int result = uncompress(dest, &length, data.data(), static_cast<uLong>(data.size()));
    if (result != Z_OK) {
        return std::nullopt;
    }
    out.resize(length);
    return out;
}

std::optional<std::vector<char>> ResourceArchive::Extract(const std::string& fileName,
                                                          std::string_view name) {
    std::vector<std::uint8_t> image;
    Header header{};
    const std::int64_t first = Locate(fileName, image, header);
    if (first < 0) {
        return std::nullopt;
    }
    std::size_t offset = static_cast<std::size_t>(first);
    while (offset < image.size()) {
        const auto entry = ReadEntryHeader(image, offset);
        if (!entry) {
            return std::nullopt;
        }
        if (NamesEqual(entry->name, name)) {
            return Inflate(std::span(image).subspan(entry->dataOffset, entry->compressedSize),
                           entry->uncompressedSize);
        }
        offset = entry->dataOffset + entry->compressedSize;
    }
    return std::nullopt;
}

bool ResourceArchive::NamesEqual(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::vector<ResourceArchive::EntryHeader>
ResourceArchive::Entries(std::span<const std::uint8_t> image) {
    std::vector<EntryHeader> entries;
    Header header{};
    const std::int64_t first = FirstEntry(image, header);
    if (first < 0) {
        return entries;
    }
    std::size_t offset = static_cast<std::size_t>(first);
    while (offset < image.size()) {
        auto entry = ReadEntryHeader(image, offset);
        if (!entry) {
            break;
        }
        offset = entry->dataOffset + entry->compressedSize;
        entries.push_back(std::move(*entry));
    }
    return entries;
}
