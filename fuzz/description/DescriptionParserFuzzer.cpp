// Any bytes as a control description: the parser must neither crash nor read beyond the data,
// and everything built from the tree must hold together.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "description/ControlDescription.h"
#include "description/DescriptionJson.h"
#include "description/ValueText.h"
#include "description/VisibilityEvaluator.h"

namespace {

void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

void Walk(const ControlNode& node) {
    for (const auto& set : node.sets) {
        Check(!set->items.empty() && set->items.size() <= 7);
        for (const ParamItem& item : set->items) {
            Check(item.kind <= 7 && item.itemFlag <= 1);
            Check(item.kind != ParamItem::Enumeration || item.entries.size() == item.span + 1u);
            for (unsigned value = 0; value < 256; value += 51) {
                (void)ValueText::Text(item, static_cast<std::uint8_t>(value), {"A"});
            }
        }
    }
    for (const auto& child : node.children) {
        Check(!child->sets.empty() || !child->children.empty());
        Walk(*child);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // An exact-size copy, so any read past the end is caught.
    const std::vector<std::uint8_t> bytes(data, data + size);
    ControlDescription description;
    description.Parse(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
    const auto root = description.Root();
    Check(root != nullptr);
    Walk(*root);

    ConditionValues values;
    VisibilityMarks marks;
    VisibilityEvaluator::RecomputeVisibility(*root, values, marks);

    const std::string json =
        DescriptionJson::Write(size > 0 ? data[0] : 0, description.Errors(), *root);
    // Reading the JSON back proves it well formed; huge outputs (corrupt enumerations make
    // thousands of entries) are skipped to keep the fuzzer fast.
    if (json.size() < 4096) {
        Check(nlohmann::json::accept(json));
    }
    return 0;
}
