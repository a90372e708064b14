#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "link/ByteString.h"

// A preset file holds one preset's data exactly as the processor delivered it: no header,
// length or checksum of ours. Its first 15 bytes are the preset's name.
class PresetFile {
public:
    static constexpr std::size_t kNameBytes = 15;
    // Far beyond any preset: a bigger file is not a preset and would only tie up the link in
    // a long transfer that the processor then refuses.
    static constexpr std::uintmax_t kMaxSendBytes = 64 * 1024;

    enum class ReadStatus {
        Ok,
        CannotOpen, // missing, unreadable, or not a regular file's content
        IsDirectory,
        TooLarge,  // over the limit the caller gave; nothing read
        ShortRead, // fewer bytes than the file's length; the bytes read are kept
    };
    struct ReadResult {
        ByteString data;
        ReadStatus status = ReadStatus::CannotOpen;
    };

    // "preset" + number in lower-case hexadecimal + ".pst": preset0.pst, preseta.pst.
    [[nodiscard]] static std::string AutomaticName(int preset);
    // "U1:".."U8:" for the user presets, then "F1:", "F2:", ...
    [[nodiscard]] static std::string Label(int preset);
    // The name in the first 15 bytes of a preset's data, up to the first zero byte.
    [[nodiscard]] static std::string NameFromData(const ByteString& data);

    // Reads the whole file as bytes; a file longer than maxBytes is not read.
    [[nodiscard]] static ReadResult Read(const std::string& path,
                                         std::uintmax_t maxBytes = UINTMAX_MAX);
    // Reads length bytes from in (the file's length taken beforehand).
    [[nodiscard]] static ReadResult ReadStream(std::istream& in, std::uintmax_t length);
    // Creates or replaces the file with data; a file that could not be written whole is
    // removed again. False when nothing usable was written.
    [[nodiscard]] static bool Write(const std::string& path, const ByteString& data);
};
