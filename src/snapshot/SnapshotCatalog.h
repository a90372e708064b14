#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "description/ControlNode.h"
#include "link/ByteString.h"
#include "snapshot/Snapshot.h"

// The parameters a control description names, each address once, in page order (a node's sets,
// then its children, depth first), with their page path and caption, and the texts the pages
// show for given values.
class SnapshotCatalog {
public:
    struct Entry {
        ParamItem item;
        std::string path;    // UTF-8
        std::string caption; // UTF-8
        bool live = false;
    };

    explicit SnapshotCatalog(const ByteString& description);

    [[nodiscard]] const std::vector<Entry>& Entries() const { return m_entries; }

    // The snapshot's parameters for these values (by entry; a missing value reads 0) with the
    // preset names (Latin-1, in preset order) that preset-name items choose from.
    [[nodiscard]] std::vector<SnapshotParameter>
    Parameters(const std::vector<std::uint8_t>& values,
               const std::vector<std::string>& presetNames) const;

    // A page's clock fields (address byte a = 5) are re-read every second by the page: they
    // are live readings, not settings.
    [[nodiscard]] static bool IsLive(const ParamAddress& address) { return address.a == 5; }

private:
    void Walk(const ControlNode& node, const std::string& path);

    std::vector<Entry> m_entries;
    std::set<std::uint32_t> m_seen;
};
