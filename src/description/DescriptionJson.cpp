#include "description/DescriptionJson.h"

#include "description/Latin1Text.h"

namespace {

using Json = nlohmann::ordered_json;

Json Address(const ParamAddress& address) {
    return Json::array({address.a, address.b, address.c});
}

Json Condition(std::uint8_t has, const VisibilityCondition& cond) {
    if (has == 0) {
        return nullptr;
    }
    Json out;
    out["address"] = Address(cond.address);
    out["low"] = cond.low;
    out["high"] = cond.high;
    return out;
}

Json Item(const ParamItem& item) {
    Json out;
    out["kind"] = item.kind;
    out["address"] = Address(item.address);
    out["flag"] = item.itemFlag;
    out["name"] = Latin1Text::ToUtf8(item.name);
    out["unit"] = Latin1Text::ToUtf8(item.unit);
    out["span"] = item.span;
    out["extra"] = item.extra;
    out["minimum"] = item.minimum;
    out["step"] = item.step;
    out["format"] = item.format;
    Json entries = Json::array();
    for (const std::string& entry : item.entries) {
        entries.push_back(Latin1Text::ToUtf8(entry));
    }
    out["entries"] = std::move(entries);
    return out;
}

Json Set(const ParamSet& set) {
    Json out;
    out["style"] = set.items.empty() ? 0 : set.items.front().style;
    out["hidden"] = set.hidden != 0;
    out["condition"] = Condition(set.hasCondition, set.condition);
    out["box"] = {{"width", set.boxWidth},
                  {"height", set.boxHeight},
                  {"left", set.boxLeft},
                  {"top", set.boxTop}};
    Json items = Json::array();
    for (const ParamItem& item : set.items) {
        items.push_back(Item(item));
    }
    out["items"] = std::move(items);
    return out;
}

// Nesting is bounded by the parser's group depth limit.
Json Node(const ControlNode& node) {
    Json out;
    out["name"] = Latin1Text::ToUtf8(node.name);
    out["hidden"] = node.hidden != 0;
    out["condition"] = Condition(node.hasCondition, node.condition);
    Json sets = Json::array();
    for (const auto& set : node.sets) {
        sets.push_back(Set(*set));
    }
    out["sets"] = std::move(sets);
    Json children = Json::array();
    for (const auto& child : node.children) {
        children.push_back(Node(*child));
    }
    out["children"] = std::move(children);
    return out;
}

} // namespace

Json DescriptionJson::ToJson(std::optional<int> type, const std::vector<std::string>& errors,
                             const ControlNode& root) {
    Json out;
    out["type"] = type ? Json(*type) : Json(nullptr);
    Json texts = Json::array();
    for (const std::string& error : errors) {
        texts.push_back(Latin1Text::ToUtf8(error));
    }
    out["errors"] = std::move(texts);
    out["root"] = Node(root);
    return out;
}

std::string DescriptionJson::Write(std::optional<int> type, const std::vector<std::string>& errors,
                                   const ControlNode& root, int indent) {
    return ToJson(type, errors, root).dump(indent);
}
