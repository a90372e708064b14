#include "description/ControlDescription.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "description/IDescriptionReporter.h"

namespace {

std::string Hex(std::size_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%zx", value);
    return text;
}

std::string DropOneStar(const std::string& text) {
    return !text.empty() && text.front() == '*' ? text.substr(1) : text;
}

// A page made of one top-level set is named after its first item, in upper case.
std::string PageName(const std::string& itemName) {
    std::string name = DropOneStar(itemName);
    for (char& ch : name) {
        if (ch >= 'a' && ch <= 'z') {
            ch = static_cast<char>(ch - 'a' + 'A');
        }
    }
    return name;
}

} // namespace

ControlDescription::ControlDescription(IDescriptionReporter* reporter) : reporter_(reporter) {}

bool ControlDescription::Load(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        root_.reset();
        errors_.clear();
        return false;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[16384];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    // A read that fails part way (an I/O error, a directory) is no description: parsing
    // what came would present a cut tree as the processor's.
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed) {
        root_.reset();
        errors_.clear();
        return false;
    }
    Parse(bytes);
    return true;
}

void ControlDescription::Parse(std::span<const std::uint8_t> data) {
    data_ = data;
    errors_.clear();
    strings_.clear();
    stopped_ = false;
    indexErrors_ = 0;
    hasCurrentCondition_ = false;
    currentCondition_ = {};
    budget_ = 0;
    auto root = std::make_shared<ControlNode>();

    // Trailing zero bytes are padding: records start only before the last non-zero byte.
    std::size_t loopEnd = data.size();
    while (loopEnd > 0 && data[loopEnd - 1] == 0) {
        --loopEnd;
    }
    ReadStringTable();

    // The records follow the first pair of zero bytes (the table's last terminator and the
    // empty string that ends it).
    std::size_t start = 0;
    while (start + 1 < data.size() && !(data[start] == 0 && data[start + 1] == 0)) {
        ++start;
    }
    if (start + 1 >= data.size()) {
        Stop("Config Truncated.\n The description ends inside its string table.\nAddress in "
             "config file : " +
             Hex(data.size()));
    }
    std::size_t pos = start + 2;
    while (!stopped_ && pos < loopEnd) {
        pos = ParseGroup(pos, *root, 0);
    }

    strings_.clear();
    data_ = {};
    root_ = std::move(root);
}

void ControlDescription::ReadStringTable() {
    std::size_t pos = 1;
    while (pos < data_.size() && data_[pos] != 0) {
        const auto* begin = data_.data() + pos;
        const auto* end = std::find(begin, data_.data() + data_.size(), std::uint8_t{0});
        strings_.emplace_back(begin, end);
        pos += static_cast<std::size_t>(end - begin) + 1;
    }
}

std::size_t ControlDescription::ParseGroup(std::size_t pos, ControlNode& parent, int depth) {
    if (!Need(pos, 1)) {
        return pos;
    }
    const std::uint8_t flags = data_[pos];
    auto node = std::make_unique<ControlNode>();

    if ((flags & 0x01) == 0) {
        // A set record at group level becomes a page of its own.
        pos = ParseSet(pos, *node);
        if (!node->sets.empty()) {
            node->name = PageName(node->sets.front()->items.front().name);
            parent.children.push_back(std::move(node));
        }
        return pos;
    }

    if (depth >= kMaxGroupDepth) {
        Stop("Config Nesting Error.\n Groups are nested deeper than " +
             std::to_string(kMaxGroupDepth) + " levels.\nAddress in config file : " + Hex(pos));
        return pos;
    }
    ++pos;
    const bool ownCondition = (flags & 0x04) != 0;
    if (ownCondition) {
        if (!ReadCondition(pos, node->condition)) {
            return pos;
        }
        currentCondition_ = node->condition;
        hasCurrentCondition_ = true;
    }
    if (!Need(pos, 1)) {
        return pos;
    }
    const std::uint8_t childCount = data_[pos++];
    std::string name;
    if (!ReadString(pos, name)) {
        return pos;
    }
    node->name = DropOneStar(name);

    // The budget counts the records still under a group with a condition; a group reached
    // while it lasts inherits the condition in force.
    if (ownCondition || budget_ > 0) {
        budget_ += childCount;
        node->hasCondition = hasCurrentCondition_ ? 1 : 0;
        node->condition = currentCondition_;
        budget_ -= 1;
    }

    for (unsigned i = 0; i < childCount && !stopped_; ++i) {
        if (!Need(pos, 1)) {
            break;
        }
        if ((data_[pos] & 0x01) != 0) {
            pos = ParseGroup(pos, *node, depth + 1);
        } else {
            if (budget_ > 0) {
                --budget_;
            }
            pos = ParseSet(pos, *node);
        }
    }

    if (!node->sets.empty() || !node->children.empty()) {
        parent.children.push_back(std::move(node));
    }
    return pos;
}

std::size_t ControlDescription::ParseSet(std::size_t pos, ControlNode& node) {
    const std::uint8_t flags = data_[pos++];
    if ((flags & 0x02) == 0) {
        return pos;
    }
    auto set = std::make_unique<ParamSet>();
    if ((flags & 0x04) != 0) {
        if (!ReadCondition(pos, set->condition)) {
            return pos;
        }
        set->hasCondition = 1;
    }
    if (!Need(pos, 1)) {
        return pos;
    }
    const std::uint8_t itemByte = data_[pos++];
    const unsigned count = std::max(1u, (itemByte >> 3) & 0x07u);
    const std::uint8_t itemFlag = (itemByte >> 6) & 0x01;
    set->items.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        ParamItem& item = set->items.emplace_back();
        if (!ParseItem(pos, item)) {
            set->items.pop_back();
            break;
        }
        item.itemFlag = itemFlag;
    }
    // A cut description keeps the complete items; a set without one is dropped.
    if (set->items.empty()) {
        return pos;
    }
    set->items.front().style = flags >> 4;
    if (!stopped_ && Need(pos, 4)) {
        set->boxWidth = data_[pos];
        set->boxHeight = data_[pos + 1];
        set->boxLeft = data_[pos + 2];
        set->boxTop = data_[pos + 3];
        pos += 4;
    }
    set->hidden = 0;
    node.sets.push_back(std::move(set));
    return pos;
}

bool ControlDescription::ParseItem(std::size_t& pos, ParamItem& item) {
    if (!Need(pos, 4)) {
        return false;
    }
    item.kind = data_[pos] & 0x07;
    item.address = {data_[pos + 1], data_[pos + 2], data_[pos + 3]};
    pos += 4;
    if (!ReadString(pos, item.name) || !ReadString(pos, item.unit) || !Need(pos, 2)) {
        return false;
    }
    item.span = data_[pos];
    item.extra = data_[pos + 1];
    pos += 2;
    if (item.kind == ParamItem::Numeric) {
        if (!Need(pos, 4)) {
            return false;
        }
        item.minimum = static_cast<std::int16_t>((data_[pos] << 8) | data_[pos + 1]);
        item.step = static_cast<std::int8_t>(data_[pos + 2]);
        item.format = data_[pos + 3];
        pos += 4;
    } else if (item.kind == ParamItem::Enumeration) {
        if (!Need(pos, 2)) {
            return false;
        }
        const int first = static_cast<std::int16_t>((data_[pos] << 8) | data_[pos + 1]);
        pos += 2;
        item.entries.reserve(item.span + 1u);
        for (int index = first; index <= first + item.span; ++index) {
            AddEntry(item, index, pos);
        }
    }
    return true;
}

void ControlDescription::AddEntry(ParamItem& item, int index, std::size_t fieldEnd) {
    if (index >= 0 && static_cast<std::size_t>(index) < strings_.size()) {
        item.entries.push_back(strings_[static_cast<std::size_t>(index)]);
        return;
    }
    item.entries.emplace_back("Incorect Index");
    const std::size_t seen = indexErrors_++;
    if (seen > kMaxIndexErrorTexts) {
        return;
    }
    if (seen == kMaxIndexErrorTexts) {
        errors_.push_back("Too many index errors: only the first " +
                          std::to_string(kMaxIndexErrorTexts) + " are listed.");
        return;
    }
    std::string text =
        "Index Error.\n Asked index : " + std::to_string(index) +
        ". Max possible index : " + std::to_string(static_cast<long long>(strings_.size()) - 1) +
        "\nAddress in config file : " + Hex(fieldEnd);
    if (!indexErrorReported_ && reporter_ != nullptr) {
        reporter_->ReportConfigError(text);
    }
    indexErrorReported_ = true;
    errors_.push_back(std::move(text));
}

void ControlDescription::StopTruncated(std::size_t pos) {
    Stop("Config Truncated.\n The description ends inside a record.\nAddress in config file : " +
         Hex(std::min(pos, data_.size())));
}

bool ControlDescription::ReadString(std::size_t& pos, std::string& out) {
    if (!Need(pos, 1)) {
        return false;
    }
    const auto* begin = reinterpret_cast<const char*>(data_.data()) + pos;
    const auto* end = static_cast<const char*>(std::memchr(begin, 0, data_.size() - pos));
    if (end == nullptr) {
        StopTruncated(data_.size());
        return false;
    }
    out.assign(begin, end);
    pos += static_cast<std::size_t>(end - begin) + 1;
    return true;
}

bool ControlDescription::ReadCondition(std::size_t& pos, VisibilityCondition& out) {
    if (!Need(pos, 5)) {
        return false;
    }
    out.address = {data_[pos], data_[pos + 1], data_[pos + 2]};
    out.low = data_[pos + 3];
    out.high = data_[pos + 4];
    pos += 5;
    return true;
}

void ControlDescription::Stop(const std::string& text) {
    if (stopped_) {
        return;
    }
    stopped_ = true;
    errors_.push_back(text);
    if (reporter_ != nullptr) {
        reporter_->ReportConfigError(text);
    }
}
