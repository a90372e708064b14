#include "sim/CSimDescription.h"

#include <set>

#include "description/ControlDescription.h"
#include "description/DescriptionEncoder.h"
#include "tools/CFileReader.h"

extern const char* const kSimBuiltinDescriptionJson;

namespace {

void Collect(const ControlNode& node, std::set<std::uint32_t>& seen,
             std::vector<SimParameterInfo>& out) {
    for (const auto& set : node.sets) {
        for (const auto& item : set->items) {
            const std::uint32_t key =
                (std::uint32_t{item.address.a} << 16) | (item.address.b << 8) | item.address.c;
            if (!seen.insert(key).second) {
                continue;
            }
            SimParameterInfo info;
            info.address = item.address;
            info.name = item.name;
            info.kind = item.kind;
            info.span = item.span;
            info.minimum = item.minimum;
            info.step = item.step == 0 ? 1 : item.step;
            info.format = item.format;
            out.push_back(std::move(info));
        }
    }
    for (const auto& child : node.children) {
        Collect(*child, seen, out);
    }
}

} // namespace

std::optional<std::vector<std::uint8_t>> CSimDescription::Builtin(std::string& error) {
    auto bytes = EncodeDescription(kSimBuiltinDescriptionJson, error);
    if (!bytes) {
        error = "built-in description: " + error;
    }
    return bytes;
}

std::optional<std::vector<std::uint8_t>> CSimDescription::FromFile(const std::string& path,
                                                                   std::string& error) {
    constexpr std::size_t kMaxDescriptionBytes = 4 * 1024 * 1024;
    std::string readError;
    const auto text = CFileReader::ReadText(path, kMaxDescriptionBytes, readError);
    if (!text) {
        error = "cannot use description: " + readError;
        return std::nullopt;
    }
    const std::string& content = *text;
    if (path.size() >= 5 && path.compare(path.size() - 5, 5, ".json") == 0) {
        auto bytes = EncodeDescription(content, error);
        if (!bytes) {
            error = path + ": " + error;
        }
        return bytes;
    }
    if (content.empty()) {
        error = "description " + path + " is empty";
        return std::nullopt;
    }
    return std::vector<std::uint8_t>(content.begin(), content.end());
}

std::vector<SimParameterInfo>
CSimDescription::Catalog(const std::vector<std::uint8_t>& description) {
    ControlDescription parsed;
    parsed.Parse(description);
    std::vector<SimParameterInfo> catalog;
    std::set<std::uint32_t> seen;
    if (parsed.Root()) {
        Collect(*parsed.Root(), seen, catalog);
    }
    return catalog;
}
