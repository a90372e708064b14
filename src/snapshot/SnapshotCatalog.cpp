#include "snapshot/SnapshotCatalog.h"

#include "description/ControlDescription.h"
#include "description/Latin1Text.h"
#include "description/ValueText.h"

SnapshotCatalog::SnapshotCatalog(const ByteString& description) {
    ControlDescription parsed;
    parsed.Parse(description);
    if (const auto root = parsed.Root()) {
        Walk(*root, {});
    }
}

void SnapshotCatalog::Walk(const ControlNode& node, const std::string& parentPath) {
    // The page tree's path: the root has no name and adds nothing.
    const std::string path = node.name.empty()    ? parentPath
                             : parentPath.empty() ? node.name
                                                  : parentPath + " > " + node.name;
    for (const auto& set : node.sets) {
        for (const ParamItem& item : set->items) {
            const auto key = (std::uint32_t{item.address.a} << 16) |
                             (std::uint32_t{item.address.b} << 8) | item.address.c;
            if (!m_seen.insert(key).second) {
                continue; // named again on another page: the first place counts
            }
            std::string caption = item.name;
            if (!caption.empty() && caption[0] == '*') {
                caption.erase(0, 1);
            }
            m_entries.push_back({item, Latin1Text::ToUtf8(path), Latin1Text::ToUtf8(caption),
                                 IsLive(item.address)});
        }
    }
    for (const auto& child : node.children) {
        Walk(*child, path);
    }
}

std::vector<SnapshotParameter>
SnapshotCatalog::Parameters(const std::vector<std::uint8_t>& values,
                            const std::vector<std::string>& presetNames) const {
    std::vector<SnapshotParameter> out;
    out.reserve(m_entries.size());
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& e = m_entries[i];
        const std::uint8_t value = i < values.size() ? values[i] : 0;
        // An empty unit leaves a trailing space on the page; it would only blur a diff line.
        std::string shown = ValueText::Text(e.item, value, presetNames);
        shown.erase(shown.find_last_not_of(' ') + 1);
        out.push_back(
            {e.item.address, e.path, e.caption, value, Latin1Text::ToUtf8(shown), e.live});
    }
    return out;
}
