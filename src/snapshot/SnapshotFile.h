#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "snapshot/Snapshot.h"

// A snapshot as one JSON file: stable order, one parameter and one preset per line, every
// parameter with its page path, caption and shown value beside its raw address and byte,
// bytes in base64 with their SHA-256, and a SHA-256 of the whole content last.
//
// Reading refuses, with one line naming the file, whatever it did not write itself: text that
// is no JSON ("FILE: line L, column C: ..."), a document of another kind or format, a member
// missing or of the wrong type, a content that no longer matches its digest (edited by hand),
// and texts that do not follow from the description and values it holds.
class SnapshotFile {
public:
    static constexpr int kFormat = 1;
    // Far above any real snapshot (a few hundred kilobytes at most).
    static constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

    [[nodiscard]] static std::string Write(const Snapshot& snapshot);
    // name: how the error lines call the file.
    [[nodiscard]] static std::optional<Snapshot> Read(std::string_view text,
                                                      const std::string& name, std::string& error);

    // The same on files; errors name the path.
    [[nodiscard]] static bool Save(const Snapshot& snapshot, const std::string& path,
                                   std::string& error);
    [[nodiscard]] static std::optional<Snapshot> Load(const std::string& path, std::string& error);
};
