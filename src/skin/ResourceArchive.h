#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// The skin archive appended to an executable: a 32-byte header ("@@@@", the tag, zeros), a
// label, then named zlib-compressed entries one after another up to the end of the file.
// All integers are unsigned 32-bit little-endian.
class ResourceArchive {
public:
    static constexpr std::size_t kHeaderSize = 32;
    // Names are copied into a 248-byte buffer by other readers of this layout.
    static constexpr std::size_t kMaxNameLength = 247;
    using Header = std::array<std::uint8_t, kHeaderSize>;

    struct EntryHeader {
        std::string name;
        std::uint32_t compressedSize = 0;
        std::uint32_t uncompressedSize = 0;
        std::size_t dataOffset = 0; // where the zlib stream starts
    };

    // Zeros, then "@@@@", then the tag.
    static void BuildHeader(Header& header);
    static bool CheckHeader(const Header& header);

    // Offset of the archive header inside image (the first occurrence of the whole magic),
    // or -1. header receives its 32 bytes.
    static std::int64_t FindHeader(std::span<const std::uint8_t> image, Header& header);
    // Offset of the first entry in image, or -1 when image holds no archive.
    static std::int64_t FirstEntry(std::span<const std::uint8_t> image, Header& header);
    // Reads the whole file into image and returns the offset of its first entry, or -1 (image
    // is then empty).
    static std::int64_t Locate(const std::string& fileName, std::vector<std::uint8_t>& image,
                               Header& header);
    // The entry starting at offset; nothing when it is cut off, its name is too long or its
    // data runs past the end (the archive is broken from there on).
    static std::optional<EntryHeader> ReadEntryHeader(std::span<const std::uint8_t> image,
                                                      std::size_t offset);
    // Decompresses one entry's stream; nothing when the stream is damaged or larger than
    // declared.
    static std::optional<std::vector<char>> Inflate(std::span<const std::uint8_t> data,
                                                    std::uint32_t uncompressedSize);
    // Reads the file and returns the data of the first entry of that name.
    static std::optional<std::vector<char>> Extract(const std::string& fileName,
                                                    std::string_view name);
    // Full names, ignoring the case of A to Z only.
    static bool NamesEqual(std::string_view a, std::string_view b);
    // Every entry of an archive in image, in archive order, up to the first broken one.
    static std::vector<EntryHeader> Entries(std::span<const std::uint8_t> image);
};
