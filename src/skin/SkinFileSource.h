#pragma once

#include <optional>
#include <string>
#include <vector>

#include "skin/ArchiveIndex.h"

// Where a skin's files come from: the archive appended to the program first, then the file
// of that name inside the skin folder. Names use backslashes between folders, as the
// archive and the skin script write them.
class SkinFileSource {
public:
    // archivePath: the file whose appended archive is searched (empty for none). It is read
    // once, on the first request.
    explicit SkinFileSource(std::string archivePath);

    [[nodiscard]] std::optional<std::vector<char>> Read(const std::string& name,
                                                        const std::string& folder);
    [[nodiscard]] std::optional<std::vector<char>> ReadArchived(const std::string& name);

    // The folder joined with a skin-relative name, backslashes turned into '/'; an empty
    // folder gives the bare name.
    static std::string DiskPath(const std::string& folder, const std::string& name);

private:
    const ArchiveIndex& Index();

    std::string archivePath_;
    std::optional<ArchiveIndex> index_;
};
