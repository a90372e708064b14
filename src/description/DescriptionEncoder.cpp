#include "description/DescriptionEncoder.h"

#include <algorithm>
#include <cmath>

#include "description/JsonReader.h"

namespace {

// UTF-8 to Latin-1; false when a character is outside U+0001..U+00FF or the text is malformed.
bool ToLatin1(const std::string& utf8, std::string& out, std::string& problem) {
    out.clear();
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        unsigned code = 0;
        if (lead < 0x80) {
            code = lead;
            i += 1;
        } else if ((lead & 0xE0) == 0xC0 && i + 1 < utf8.size() &&
                   (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
            code = ((lead & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            i += 2;
        } else if (lead >= 0xC0) {
            problem = "has a character outside Latin-1 (U+0001..U+00FF)";
            return false;
        } else {
            problem = "is not valid UTF-8";
            return false;
        }
        if (code == 0) {
            problem = "contains a NUL character, which would end the text";
            return false;
        }
        if (code > 0xFF) {
            problem = "has a character outside Latin-1 (U+0001..U+00FF)";
            return false;
        }
        out += static_cast<char>(code);
    }
    return true;
}

bool IsObject(const JsonValue* value) {
    return value != nullptr && value->type == JsonValue::Type::Object;
}

bool IsAbsent(const JsonValue* value) {
    return value == nullptr || value->type == JsonValue::Type::Null;
}

} // namespace

std::optional<std::vector<std::uint8_t>> DescriptionEncoder::Encode(std::string_view json,
                                                                    std::string& error) {
    std::string syntax;
    const auto doc = JsonReader::Parse(json, syntax);
    if (!doc) {
        error = syntax;
        return std::nullopt;
    }
    DescriptionEncoder encoder;
    long type = 3;
    if (!encoder.OnlyMembers(*doc, "document", {"type", "strings", "records"}) ||
        !encoder.Integer(doc->Find("type"), "type", 0, 255, 3, type) ||
        !encoder.EncodeDocument(*doc)) {
        error = encoder.error_;
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    bytes.push_back(static_cast<std::uint8_t>(type));
    for (const std::string& text : encoder.strings_) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.push_back(0);
    }
    bytes.push_back(0);
    if (encoder.strings_.empty()) {
        bytes.push_back(0); // the records start after the first pair of zero bytes
    }
    bytes.insert(bytes.end(), encoder.records_.begin(), encoder.records_.end());
    return bytes;
}

bool DescriptionEncoder::EncodeDocument(const JsonValue& doc) {
    if (const JsonValue* strings = doc.Find("strings"); !IsAbsent(strings)) {
        if (strings->type != JsonValue::Type::Array) {
            return Fail("strings", "expected an array of texts");
        }
        for (std::size_t i = 0; i < strings->items.size(); ++i) {
            std::string text;
            if (!Text(&strings->items[i], "strings[" + std::to_string(i) + "]", false, text)) {
                return false;
            }
            strings_.push_back(std::move(text));
        }
    }
    const JsonValue* records = doc.Find("records");
    if (IsAbsent(records)) {
        return true;
    }
    if (records->type != JsonValue::Type::Array) {
        return Fail("records", "expected an array of records");
    }
    for (std::size_t i = 0; i < records->items.size(); ++i) {
        if (!EncodeRecord(records->items[i], "records[" + std::to_string(i) + "]")) {
            return false;
        }
    }
    return true;
}

bool DescriptionEncoder::EncodeRecord(const JsonValue& rec, const std::string& path) {
    if (rec.type != JsonValue::Type::Object) {
        return Fail(path, "expected a record object");
    }
    if (rec.Find("group") != nullptr) {
        return EncodeGroup(rec, path);
    }
    if (rec.Find("items") != nullptr || rec.Find("empty") != nullptr) {
        return EncodeSet(rec, path);
    }
    return Fail(path, "a record needs \"group\" (a group) or \"items\" or \"empty\" (a set)");
}

bool DescriptionEncoder::EncodeGroup(const JsonValue& rec, const std::string& path) {
    if (!OnlyMembers(rec, path, {"group", "condition", "children"})) {
        return false;
    }
    std::string name;
    if (!Text(rec.Find("group"), path + ".group", true, name)) {
        return false;
    }
    const std::size_t flagsAt = records_.size();
    records_.push_back(0x01);
    bool hasCondition = false;
    if (!EncodeCondition(rec.Find("condition"), path + ".condition", hasCondition)) {
        return false;
    }
    if (hasCondition) {
        records_[flagsAt] |= 0x04;
    }
    const JsonValue* children = rec.Find("children");
    const bool none = IsAbsent(children);
    if (!none && children->type != JsonValue::Type::Array) {
        return Fail(path + ".children", "expected an array of records");
    }
    const std::size_t count = none ? 0 : children->items.size();
    if (count > 255) {
        return Fail(path + ".children", "a group holds at most 255 records");
    }
    records_.push_back(static_cast<std::uint8_t>(count));
    records_.insert(records_.end(), name.begin(), name.end());
    records_.push_back(0);
    for (std::size_t i = 0; i < count; ++i) {
        if (!EncodeRecord(children->items[i], path + ".children[" + std::to_string(i) + "]")) {
            return false;
        }
    }
    return true;
}

bool DescriptionEncoder::EncodeSet(const JsonValue& rec, const std::string& path) {
    if (!OnlyMembers(rec, path, {"style", "condition", "hidden", "box", "items", "empty"})) {
        return false;
    }
    long style = 0;
    if (!Integer(rec.Find("style"), path + ".style", 0, 15, 0, style)) {
        return false;
    }
    if (const JsonValue* hidden = rec.Find("hidden");
        hidden != nullptr && hidden->type != JsonValue::Type::Bool) {
        return Fail(path + ".hidden", "expected true or false");
    }
    const JsonValue* empty = rec.Find("empty");
    const bool isEmpty = !IsAbsent(empty) && empty->type == JsonValue::Type::Bool && empty->boolean;
    if (!IsAbsent(empty) && empty->type != JsonValue::Type::Bool) {
        return Fail(path + ".empty", "expected true or false");
    }
    const std::size_t flagsAt = records_.size();
    records_.push_back(static_cast<std::uint8_t>((style << 4) | (isEmpty ? 0x00 : 0x02)));
    if (isEmpty) {
        if (!IsAbsent(rec.Find("condition"))) {
            records_[flagsAt] |= 0x04; // the reader stops at the flags byte all the same
        }
        if (rec.Find("items") != nullptr || rec.Find("box") != nullptr) {
            return Fail(path, "an empty set has no items and no box");
        }
        return true;
    }
    bool hasCondition = false;
    if (!EncodeCondition(rec.Find("condition"), path + ".condition", hasCondition)) {
        return false;
    }
    if (hasCondition) {
        records_[flagsAt] |= 0x04;
    }
    const JsonValue* items = rec.Find("items");
    if (items == nullptr || items->type != JsonValue::Type::Array || items->items.empty() ||
        items->items.size() > 7) {
        return Fail(path + ".items", "expected an array of 1 to 7 items");
    }
    const std::size_t itemByteAt = records_.size();
    records_.push_back(static_cast<std::uint8_t>(items->items.size() << 3));
    int flag = -1;
    for (std::size_t i = 0; i < items->items.size(); ++i) {
        if (!EncodeItem(items->items[i], path + ".items[" + std::to_string(i) + "]", flag)) {
            return false;
        }
    }
    if (flag == 1) {
        records_[itemByteAt] |= 0x40;
    }
    const JsonValue* box = rec.Find("box");
    if (!IsAbsent(box) && !IsObject(box)) {
        return Fail(path + ".box", "expected an object with width, height, left and top");
    }
    if (!IsAbsent(box) && !OnlyMembers(*box, path + ".box", {"width", "height", "left", "top"})) {
        return false;
    }
    for (const char* side : {"width", "height", "left", "top"}) {
        long value = 0;
        const JsonValue* field = IsAbsent(box) ? nullptr : box->Find(side);
        if (!Integer(field, path + ".box." + side, 0, 255, 0, value)) {
            return false;
        }
        records_.push_back(static_cast<std::uint8_t>(value));
    }
    return true;
}

bool DescriptionEncoder::EncodeItem(const JsonValue& item, const std::string& path, int& flag) {
    if (item.type != JsonValue::Type::Object) {
        return Fail(path, "expected an item object");
    }
    if (!OnlyMembers(item, path,
                     {"kind", "address", "flag", "name", "unit", "span", "extra", "minimum", "step",
                      "format", "entries", "first"})) {
        return false;
    }
    long kind = 0;
    long itemFlag = 0;
    std::string name;
    std::string unit;
    long extra = 0;
    if (!Integer(item.Find("kind"), path + ".kind", 0, 7, 0, kind) ||
        !Integer(item.Find("flag"), path + ".flag", 0, 1, 0, itemFlag) ||
        !Text(item.Find("name"), path + ".name", true, name) ||
        !Text(item.Find("unit"), path + ".unit", true, unit) ||
        !Integer(item.Find("extra"), path + ".extra", 0, 255, 0, extra)) {
        return false;
    }
    if (flag >= 0 && flag != itemFlag) {
        return Fail(path + ".flag", "all items of a set share one flag");
    }
    flag = static_cast<int>(itemFlag);

    // Kind-specific fields are checked before anything of the item is written.
    long minimum = 0;
    long step = 0;
    long format = 0;
    const bool numeric = kind == 0;
    if (!Integer(item.Find("minimum"), path + ".minimum", numeric ? -32768 : 0, numeric ? 32767 : 0,
                 0, minimum) ||
        !Integer(item.Find("step"), path + ".step", numeric ? -128 : 0, numeric ? 127 : 0, 0,
                 step) ||
        !Integer(item.Find("format"), path + ".format", 0, numeric ? 255 : 0, 0, format)) {
        return false;
    }
    const JsonValue* entries = item.Find("entries");
    const JsonValue* first = item.Find("first");
    long span = 0;
    long firstIndex = 0;
    if (kind == 1) {
        if (IsAbsent(entries) == IsAbsent(first)) {
            return Fail(path, "an enumeration needs exactly one of \"entries\" and \"first\"");
        }
        if (!IsAbsent(entries)) {
            if (entries->type != JsonValue::Type::Array || entries->items.empty() ||
                entries->items.size() > 256) {
                return Fail(path + ".entries", "expected an array of 1 to 256 texts");
            }
            std::vector<std::string> texts;
            for (std::size_t i = 0; i < entries->items.size(); ++i) {
                std::string text;
                if (!Text(&entries->items[i], path + ".entries[" + std::to_string(i) + "]", false,
                          text)) {
                    return false;
                }
                texts.push_back(std::move(text));
            }
            const long count = static_cast<long>(texts.size());
            if (!Integer(item.Find("span"), path + ".span", count - 1, count - 1, count - 1,
                         span)) {
                return false;
            }
            firstIndex = FindOrAddEntries(texts);
            if (firstIndex > 32767) {
                return Fail(path + ".entries", "the string table is too large for the index");
            }
        } else if (!Integer(first, path + ".first", -32768, 32767, 0, firstIndex) ||
                   !Integer(item.Find("span"), path + ".span", 0, 255, 0, span)) {
            return false;
        }
    } else {
        if (!IsAbsent(entries) &&
            (entries->type != JsonValue::Type::Array || !entries->items.empty())) {
            return Fail(path + ".entries", "only enumeration items (kind 1) have entries");
        }
        if (first != nullptr) {
            return Fail(path + ".first", "only enumeration items (kind 1) have a first entry");
        }
        if (!Integer(item.Find("span"), path + ".span", 0, 255, 0, span)) {
            return false;
        }
    }

    records_.push_back(static_cast<std::uint8_t>(kind));
    if (!Address(item.Find("address"), path + ".address")) {
        return false;
    }
    records_.insert(records_.end(), name.begin(), name.end());
    records_.push_back(0);
    records_.insert(records_.end(), unit.begin(), unit.end());
    records_.push_back(0);
    records_.push_back(static_cast<std::uint8_t>(span));
    records_.push_back(static_cast<std::uint8_t>(extra));
    if (kind == 0) {
        const auto raw = static_cast<std::uint16_t>(static_cast<std::int16_t>(minimum));
        records_.push_back(static_cast<std::uint8_t>(raw >> 8));
        records_.push_back(static_cast<std::uint8_t>(raw & 0xFF));
        records_.push_back(static_cast<std::uint8_t>(static_cast<std::int8_t>(step)));
        records_.push_back(static_cast<std::uint8_t>(format));
    } else if (kind == 1) {
        const auto raw = static_cast<std::uint16_t>(static_cast<std::int16_t>(firstIndex));
        records_.push_back(static_cast<std::uint8_t>(raw >> 8));
        records_.push_back(static_cast<std::uint8_t>(raw & 0xFF));
    }
    return true;
}

bool DescriptionEncoder::EncodeCondition(const JsonValue* cond, const std::string& path,
                                         bool& present) {
    present = false;
    if (IsAbsent(cond)) {
        return true;
    }
    if (!IsObject(cond)) {
        return Fail(path, "expected null or an object with address, low and high");
    }
    if (!OnlyMembers(*cond, path, {"address", "low", "high"})) {
        return false;
    }
    long low = 0;
    long high = 0;
    if (cond->Find("low") == nullptr || cond->Find("high") == nullptr) {
        return Fail(path, "a condition needs address, low and high");
    }
    if (!Integer(cond->Find("low"), path + ".low", 0, 255, 0, low) ||
        !Integer(cond->Find("high"), path + ".high", 0, 255, 0, high) ||
        !Address(cond->Find("address"), path + ".address")) {
        return false;
    }
    records_.push_back(static_cast<std::uint8_t>(low));
    records_.push_back(static_cast<std::uint8_t>(high));
    present = true;
    return true;
}

bool DescriptionEncoder::Address(const JsonValue* value, const std::string& path) {
    if (value == nullptr || value->type != JsonValue::Type::Array || value->items.size() != 3) {
        return Fail(path, "expected an address of three numbers [a, b, c]");
    }
    for (std::size_t i = 0; i < 3; ++i) {
        long byte = 0;
        if (!Integer(&value->items[i], path + "[" + std::to_string(i) + "]", 0, 255, 0, byte)) {
            return false;
        }
        records_.push_back(static_cast<std::uint8_t>(byte));
    }
    return true;
}

bool DescriptionEncoder::Integer(const JsonValue* value, const std::string& path, long min,
                                 long max, long fallback, long& out) {
    if (value == nullptr) {
        out = fallback;
        return true;
    }
    const std::string range = std::to_string(min) + ".." + std::to_string(max);
    if (value->type != JsonValue::Type::Number || std::trunc(value->number) != value->number ||
        value->number < static_cast<double>(min) || value->number > static_cast<double>(max)) {
        return Fail(path,
                    min == max ? "must be " + std::to_string(min) : "expected an integer " + range);
    }
    out = static_cast<long>(value->number);
    return true;
}

bool DescriptionEncoder::Text(const JsonValue* value, const std::string& path, bool allowEmpty,
                              std::string& out) {
    if (value == nullptr) {
        out.clear();
        if (allowEmpty) {
            return true;
        }
        return Fail(path, "expected a text");
    }
    if (value->type != JsonValue::Type::String) {
        return Fail(path, "expected a text");
    }
    std::string problem;
    if (!ToLatin1(value->text, out, problem)) {
        return Fail(path, "the text " + problem);
    }
    if (!allowEmpty && out.empty()) {
        return Fail(path, "an empty text would end the string table");
    }
    return true;
}

bool DescriptionEncoder::OnlyMembers(const JsonValue& object, const std::string& path,
                                     std::initializer_list<std::string_view> names) {
    if (object.type != JsonValue::Type::Object) {
        return Fail(path, "expected an object");
    }
    for (const auto& member : object.members) {
        if (std::find(names.begin(), names.end(), member.name) == names.end()) {
            return Fail(path, "unknown member \"" + member.name + "\"");
        }
    }
    return true;
}

bool DescriptionEncoder::Fail(const std::string& path, const std::string& message) {
    error_ = path + ": " + message;
    return false;
}

int DescriptionEncoder::FindOrAddEntries(const std::vector<std::string>& entries) {
    const auto found =
        std::search(strings_.begin(), strings_.end(), entries.begin(), entries.end());
    if (found != strings_.end()) {
        return static_cast<int>(found - strings_.begin());
    }
    const int first = static_cast<int>(strings_.size());
    strings_.insert(strings_.end(), entries.begin(), entries.end());
    return first;
}
