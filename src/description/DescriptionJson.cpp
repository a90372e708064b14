#include "description/DescriptionJson.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "description/ControlDescription.h"

namespace {

void WriteCondition(std::string& out, std::uint8_t has, const VisibilityCondition& cond) {
    if (has == 0) {
        out += "null";
        return;
    }
    out += "{\"address\": [" + std::to_string(cond.address.a) + ", " +
           std::to_string(cond.address.b) + ", " + std::to_string(cond.address.c) +
           "], \"low\": " + std::to_string(cond.low) + ", \"high\": " + std::to_string(cond.high) +
           "}";
}

void WriteItem(std::string& out, const ParamItem& item) {
    out += "{\"kind\": " + std::to_string(item.kind) + ", \"address\": [" +
           std::to_string(item.address.a) + ", " + std::to_string(item.address.b) + ", " +
           std::to_string(item.address.c) + "], \"flag\": " + std::to_string(item.itemFlag) +
           ", \"name\": " + DescriptionJson::Quote(item.name) +
           ", \"unit\": " + DescriptionJson::Quote(item.unit) +
           ", \"span\": " + std::to_string(item.span) +
           ", \"extra\": " + std::to_string(item.extra) +
           ", \"minimum\": " + std::to_string(item.minimum) +
           ", \"step\": " + std::to_string(item.step) +
           ", \"format\": " + std::to_string(item.format) + ", \"entries\": [";
    for (std::size_t i = 0; i < item.entries.size(); ++i) {
        out += (i == 0 ? "" : ", ") + DescriptionJson::Quote(item.entries[i]);
    }
    out += "]}";
}

void WriteSet(std::string& out, const ParamSet& set) {
    const std::int32_t style = set.items.empty() ? 0 : set.items.front().style;
    out += "{\"style\": " + std::to_string(style) +
           ", \"hidden\": " + (set.hidden != 0 ? "true" : "false") + ", \"condition\": ";
    WriteCondition(out, set.hasCondition, set.condition);
    out += ", \"box\": {\"width\": " + std::to_string(set.boxWidth) +
           ", \"height\": " + std::to_string(set.boxHeight) +
           ", \"left\": " + std::to_string(set.boxLeft) +
           ", \"top\": " + std::to_string(set.boxTop) + "}, \"items\": [";
    for (std::size_t i = 0; i < set.items.size(); ++i) {
        out += i == 0 ? "" : ", ";
        WriteItem(out, set.items[i]);
    }
    out += "]}";
}

// Nesting is bounded by the parser's group depth limit.
void WriteNode(std::string& out, const ControlNode& node) {
    out += "{\"name\": " + DescriptionJson::Quote(node.name) +
           ", \"hidden\": " + (node.hidden != 0 ? "true" : "false") + ", \"condition\": ";
    WriteCondition(out, node.hasCondition, node.condition);
    out += ", \"sets\": [";
    for (std::size_t i = 0; i < node.sets.size(); ++i) {
        out += i == 0 ? "" : ", ";
        WriteSet(out, *node.sets[i]);
    }
    out += "], \"children\": [";
    for (std::size_t i = 0; i < node.children.size(); ++i) {
        out += i == 0 ? "" : ", ";
        WriteNode(out, *node.children[i]);
    }
    out += "]}";
}

} // namespace

std::string DescriptionJson::Quote(const std::string& latin1) {
    static const char* const kHex = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : latin1) {
        const auto byte = static_cast<unsigned char>(ch);
        switch (byte) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        default:
            if (byte < 0x20) {
                out += "\\u00";
                out += kHex[byte >> 4];
                out += kHex[byte & 0x0F];
            } else if (byte >= 0x80) {
                out += static_cast<char>(0xC0 | (byte >> 6));
                out += static_cast<char>(0x80 | (byte & 0x3F));
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

std::string DescriptionJson::Write(std::optional<int> type, const std::vector<std::string>& errors,
                                   const ControlNode& root) {
    std::string out =
        "{\"type\": " + (type ? std::to_string(*type) : std::string("null")) + ", \"errors\": [";
    for (std::size_t i = 0; i < errors.size(); ++i) {
        out += (i == 0 ? "" : ", ") + Quote(errors[i]);
    }
    out += "], \"root\": ";
    WriteNode(out, root);
    out += "}";
    return out;
}

std::optional<std::string> DescriptionJson::DescribeFile(const std::string& path,
                                                         std::string& error) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[16384];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        error = "cannot read " + path;
        return std::nullopt;
    }
    ControlDescription description;
    description.Parse(bytes);
    std::optional<int> type;
    if (!bytes.empty()) {
        type = bytes.front();
    }
    return Write(type, description.Errors(), *description.Root());
}
