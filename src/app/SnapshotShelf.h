#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "snapshot/Snapshot.h"

// Where the window keeps a processor's snapshots: one folder per processor (named after its
// address-book name, else its address, made safe as a file name) under a root folder, one
// snapshot file per moment ("20261211T043015123Z.json") with its note beside it (".note").
class SnapshotShelf {
public:
    struct Entry {
        std::filesystem::path file;
        std::string when; // local time, "2026-12-11 05:30:15"
        std::string note;
    };

    explicit SnapshotShelf(std::filesystem::path root) : root_(std::move(root)) {}

    // A processor's name as a folder name: letters, digits, '-', '_' and '.' are kept, any
    // other byte becomes '_', and then a short digest of the whole name is added so that two
    // names made alike stay apart. Never empty, never "." or "..", at most 80 characters.
    [[nodiscard]] static std::string SafeName(const std::string& processor);

    void SetProcessor(const std::string& processor) { processor_ = processor; }
    [[nodiscard]] const std::string& Processor() const { return processor_; }
    [[nodiscard]] std::filesystem::path Folder() const;

    // The processor's snapshots, newest first.
    [[nodiscard]] std::vector<Entry> List() const;
    // Keeps a snapshot with its note; the new entry, or nothing with error set.
    std::optional<Entry> Keep(const Snapshot& snapshot, const std::string& note,
                              std::string& error) const;

private:
    std::filesystem::path root_;
    std::string processor_;
};
