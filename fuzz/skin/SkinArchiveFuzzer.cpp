#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "skin/ArchiveIndex.h"
#include "skin/ResourceArchive.h"

// Reads an archive from arbitrary bytes: every listed entry must lie inside the data, and
// extracting never hands back more than the entry declares.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> image(data, size);
    const ArchiveIndex index = ArchiveIndex::FromImage(image);
    const auto entries = ResourceArchive::Entries(image);
    if (entries.size() != index.Entries().size()) {
        std::abort();
    }
    for (const auto& entry : entries) {
        if (entry.dataOffset > size || entry.compressedSize > size - entry.dataOffset ||
            entry.name.size() > ResourceArchive::kMaxNameLength) {
            std::abort();
        }
        // The first entry of a name is the one found.
        const auto first = std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
            return ResourceArchive::NamesEqual(e.name, entry.name);
        });
        const auto bytes = index.Extract(entry.name);
        if (bytes && bytes->size() > first->uncompressedSize) {
            std::abort();
        }
    }
    (void)index.Extract("skin.ini");
    return 0;
}
