#include "description/DescriptionEncoder.h"

#include <algorithm>
#include <cmath>

#include <functional>
#include <set>

#include "description/Latin1Text.h"
#include "tools/TextPlace.h"

namespace {

using Json = nlohmann::ordered_json;

// The member of that name, or null when absent or when this is not an object.
const Json* Find(const Json& object, const char* key) {
    if (!object.is_object()) {
        return nullptr;
    }
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

bool IsObject(const Json* value) {
    return value != nullptr && value->is_object();
}

bool IsAbsent(const Json* value) {
    return value == nullptr || value->is_null();
}

// The place of the token an error quotes ('1e400'), for errors that carry no position of
// their own; the start of the text when the token cannot be found.
std::string PlaceOfQuotedToken(std::string_view text, const std::string& what) {
    const auto close = what.rfind('\'');
    const auto open =
        close == std::string::npos || close == 0 ? std::string::npos : what.rfind('\'', close - 1);
    if (open != std::string::npos && close > open + 1) {
        const auto token = std::string_view(what).substr(open + 1, close - open - 1);
        if (const auto at = text.find(token); at != std::string_view::npos) {
            return TextPlace::At(text, at);
        }
    }
    return TextPlace::At(text, 0);
}

// Watches the parse: the library keeps only the last of two members of one name and nests
// as deep as the text does; both are refused here, with the path of the place.
class ParseWatch {
public:
    bool operator()(int depth, Json::parse_event_t event, Json& parsed) {
        using Event = Json::parse_event_t;
        if (!m_error.empty()) {
            return false;
        }
        switch (event) {
        case Event::object_start:
        case Event::array_start:
            if (depth > DescriptionEncoder::kMaxDepth) {
                m_error = Path() + ": nested deeper than " +
                          std::to_string(DescriptionEncoder::kMaxDepth) + " levels";
                return false;
            }
            Enter();
            m_frames.push_back({event == Event::object_start, {}, 0, {}});
            break;
        case Event::key: {
            Frame& frame = m_frames.back();
            frame.key = parsed.get<std::string>();
            if (!frame.keys.insert(frame.key).second) {
                m_frames.back().key.clear();
                m_error = Path() + ": duplicate member \"" + parsed.get<std::string>() + "\"";
                return false;
            }
            break;
        }
        case Event::object_end:
        case Event::array_end:
            if (!m_frames.empty()) {
                m_frames.pop_back();
            }
            break;
        case Event::value:
            Enter();
            break;
        }
        return true;
    }

    [[nodiscard]] const std::string& Error() const { return m_error; }

private:
    struct Frame {
        bool object;
        std::string key;
        std::size_t items;
        std::set<std::string> keys;
    };

    // A value starts: in an array it takes the next index.
    void Enter() {
        if (!m_frames.empty() && !m_frames.back().object) {
            ++m_frames.back().items;
        }
    }

    [[nodiscard]] std::string Path() const {
        std::string path;
        for (const Frame& frame : m_frames) {
            if (frame.object) {
                if (&frame != &m_frames.back()) {
                    path += (path.empty() ? "" : ".") + frame.key;
                }
            } else {
                path += "[" + std::to_string(frame.items - 1) + "]";
            }
        }
        return path.empty() ? "document" : path;
    }

    std::vector<Frame> m_frames;
    std::string m_error;
};

} // namespace

std::optional<std::vector<std::uint8_t>> DescriptionEncoder::Encode(std::string_view json,
                                                                    std::string& error) {
    ParseWatch watch;
    Json parsed;
    try {
        parsed = Json::parse(json.begin(), json.end(), std::ref(watch));
    } catch (const Json::parse_error& e) {
        error = TextPlace::JsonParseError(json, e.byte, e.what());
        return std::nullopt;
    } catch (const Json::exception& e) {
        // Any other refusal of the library (a number too large for a double, 406) is a bad
        // file too, never an unexpected failure.
        error = PlaceOfQuotedToken(json, e.what()) + ": " + TextPlace::JsonReason(e.what());
        return std::nullopt;
    }
    if (!watch.Error().empty()) {
        error = watch.Error();
        return std::nullopt;
    }
    const Json* doc = &parsed;
    DescriptionEncoder encoder;
    long type = 3;
    if (!encoder.OnlyMembers(*doc, "document", {"type", "strings", "records"}) ||
        !encoder.Integer(Find(*doc, "type"), "type", 0, 255, 3, type) ||
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

bool DescriptionEncoder::EncodeDocument(const Json& doc) {
    if (const Json* strings = Find(doc, "strings"); !IsAbsent(strings)) {
        if (!strings->is_array()) {
            return Fail("strings", "expected an array of texts");
        }
        for (std::size_t i = 0; i < strings->size(); ++i) {
            std::string text;
            if (!Text(&(*strings)[i], "strings[" + std::to_string(i) + "]", false, text)) {
                return false;
            }
            strings_.push_back(std::move(text));
        }
    }
    const Json* records = Find(doc, "records");
    if (IsAbsent(records)) {
        return true;
    }
    if (!records->is_array()) {
        return Fail("records", "expected an array of records");
    }
    for (std::size_t i = 0; i < records->size(); ++i) {
        if (!EncodeRecord((*records)[i], "records[" + std::to_string(i) + "]")) {
            return false;
        }
    }
    return true;
}

bool DescriptionEncoder::EncodeRecord(const Json& rec, const std::string& path) {
    if (!rec.is_object()) {
        return Fail(path, "expected a record object");
    }
    if (Find(rec, "group") != nullptr) {
        return EncodeGroup(rec, path);
    }
    if (Find(rec, "items") != nullptr || Find(rec, "empty") != nullptr) {
        return EncodeSet(rec, path);
    }
    return Fail(path, "a record needs \"group\" (a group) or \"items\" or \"empty\" (a set)");
}

bool DescriptionEncoder::EncodeGroup(const Json& rec, const std::string& path) {
    if (!OnlyMembers(rec, path, {"group", "condition", "children"})) {
        return false;
    }
    std::string name;
    if (!Text(Find(rec, "group"), path + ".group", true, name)) {
        return false;
    }
    const std::size_t flagsAt = records_.size();
    records_.push_back(0x01);
    bool hasCondition = false;
    if (!EncodeCondition(Find(rec, "condition"), path + ".condition", hasCondition)) {
        return false;
    }
    if (hasCondition) {
        records_[flagsAt] |= 0x04;
    }
    const Json* children = Find(rec, "children");
    const bool none = IsAbsent(children);
    if (!none && !children->is_array()) {
        return Fail(path + ".children", "expected an array of records");
    }
    const std::size_t count = none ? 0 : children->size();
    if (count > 255) {
        return Fail(path + ".children", "a group holds at most 255 records");
    }
    records_.push_back(static_cast<std::uint8_t>(count));
    records_.insert(records_.end(), name.begin(), name.end());
    records_.push_back(0);
    for (std::size_t i = 0; i < count; ++i) {
        if (!EncodeRecord((*children)[i], path + ".children[" + std::to_string(i) + "]")) {
            return false;
        }
    }
    return true;
}

bool DescriptionEncoder::EncodeSet(const Json& rec, const std::string& path) {
    if (!OnlyMembers(rec, path, {"style", "condition", "hidden", "box", "items", "empty"})) {
        return false;
    }
    long style = 0;
    if (!Integer(Find(rec, "style"), path + ".style", 0, 15, 0, style)) {
        return false;
    }
    if (const Json* hidden = Find(rec, "hidden"); hidden != nullptr && !hidden->is_boolean()) {
        return Fail(path + ".hidden", "expected true or false");
    }
    const Json* empty = Find(rec, "empty");
    const bool isEmpty = !IsAbsent(empty) && empty->is_boolean() && empty->get<bool>();
    if (!IsAbsent(empty) && !empty->is_boolean()) {
        return Fail(path + ".empty", "expected true or false");
    }
    const std::size_t flagsAt = records_.size();
    records_.push_back(static_cast<std::uint8_t>((style << 4) | (isEmpty ? 0x00 : 0x02)));
    if (isEmpty) {
        if (!IsAbsent(Find(rec, "condition"))) {
            records_[flagsAt] |= 0x04; // the reader stops at the flags byte all the same
        }
        if (Find(rec, "items") != nullptr || Find(rec, "box") != nullptr) {
            return Fail(path, "an empty set has no items and no box");
        }
        return true;
    }
    bool hasCondition = false;
    if (!EncodeCondition(Find(rec, "condition"), path + ".condition", hasCondition)) {
        return false;
    }
    if (hasCondition) {
        records_[flagsAt] |= 0x04;
    }
    const Json* items = Find(rec, "items");
    if (items == nullptr || !items->is_array() || items->empty() || items->size() > 7) {
        return Fail(path + ".items", "expected an array of 1 to 7 items");
    }
    const std::size_t itemByteAt = records_.size();
    records_.push_back(static_cast<std::uint8_t>(items->size() << 3));
    int flag = -1;
    for (std::size_t i = 0; i < items->size(); ++i) {
        if (!EncodeItem((*items)[i], path + ".items[" + std::to_string(i) + "]", flag)) {
            return false;
        }
    }
    if (flag == 1) {
        records_[itemByteAt] |= 0x40;
    }
    const Json* box = Find(rec, "box");
    if (!IsAbsent(box) && !IsObject(box)) {
        return Fail(path + ".box", "expected an object with width, height, left and top");
    }
    if (!IsAbsent(box) && !OnlyMembers(*box, path + ".box", {"width", "height", "left", "top"})) {
        return false;
    }
    for (const char* side : {"width", "height", "left", "top"}) {
        long value = 0;
        const Json* field = IsAbsent(box) ? nullptr : Find(*box, side);
        if (!Integer(field, path + ".box." + side, 0, 255, 0, value)) {
            return false;
        }
        records_.push_back(static_cast<std::uint8_t>(value));
    }
    return true;
}

bool DescriptionEncoder::EncodeItem(const Json& item, const std::string& path, int& flag) {
    if (!item.is_object()) {
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
    if (!Integer(Find(item, "kind"), path + ".kind", 0, 7, 0, kind) ||
        !Integer(Find(item, "flag"), path + ".flag", 0, 1, 0, itemFlag) ||
        !Text(Find(item, "name"), path + ".name", true, name) ||
        !Text(Find(item, "unit"), path + ".unit", true, unit) ||
        !Integer(Find(item, "extra"), path + ".extra", 0, 255, 0, extra)) {
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
    if (!Integer(Find(item, "minimum"), path + ".minimum", numeric ? -32768 : 0,
                 numeric ? 32767 : 0, 0, minimum) ||
        !Integer(Find(item, "step"), path + ".step", numeric ? -128 : 0, numeric ? 127 : 0, 0,
                 step) ||
        !Integer(Find(item, "format"), path + ".format", 0, numeric ? 255 : 0, 0, format)) {
        return false;
    }
    const Json* entries = Find(item, "entries");
    const Json* first = Find(item, "first");
    long span = 0;
    long firstIndex = 0;
    if (kind == 1) {
        if (IsAbsent(entries) == IsAbsent(first)) {
            return Fail(path, "an enumeration needs exactly one of \"entries\" and \"first\"");
        }
        if (!IsAbsent(entries)) {
            if (!entries->is_array() || entries->empty() || entries->size() > 256) {
                return Fail(path + ".entries", "expected an array of 1 to 256 texts");
            }
            std::vector<std::string> texts;
            for (std::size_t i = 0; i < entries->size(); ++i) {
                std::string text;
                if (!Text(&(*entries)[i], path + ".entries[" + std::to_string(i) + "]", false,
                          text)) {
                    return false;
                }
                texts.push_back(std::move(text));
            }
            const long count = static_cast<long>(texts.size());
            if (!Integer(Find(item, "span"), path + ".span", count - 1, count - 1, count - 1,
                         span)) {
                return false;
            }
            firstIndex = FindOrAddEntries(texts);
            if (firstIndex > 32767) {
                return Fail(path + ".entries", "the string table is too large for the index");
            }
        } else if (!Integer(first, path + ".first", -32768, 32767, 0, firstIndex) ||
                   !Integer(Find(item, "span"), path + ".span", 0, 255, 0, span)) {
            return false;
        }
    } else {
        if (!IsAbsent(entries) && (!entries->is_array() || !entries->empty())) {
            return Fail(path + ".entries", "only enumeration items (kind 1) have entries");
        }
        if (first != nullptr) {
            return Fail(path + ".first", "only enumeration items (kind 1) have a first entry");
        }
        if (!Integer(Find(item, "span"), path + ".span", 0, 255, 0, span)) {
            return false;
        }
    }

    records_.push_back(static_cast<std::uint8_t>(kind));
    if (!Address(Find(item, "address"), path + ".address")) {
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

bool DescriptionEncoder::EncodeCondition(const Json* cond, const std::string& path, bool& present) {
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
    if (Find(*cond, "low") == nullptr || Find(*cond, "high") == nullptr) {
        return Fail(path, "a condition needs address, low and high");
    }
    if (!Integer(Find(*cond, "low"), path + ".low", 0, 255, 0, low) ||
        !Integer(Find(*cond, "high"), path + ".high", 0, 255, 0, high) ||
        !Address(Find(*cond, "address"), path + ".address")) {
        return false;
    }
    records_.push_back(static_cast<std::uint8_t>(low));
    records_.push_back(static_cast<std::uint8_t>(high));
    present = true;
    return true;
}

bool DescriptionEncoder::Address(const Json* value, const std::string& path) {
    if (value == nullptr || !value->is_array() || value->size() != 3) {
        return Fail(path, "expected an address of three numbers [a, b, c]");
    }
    for (std::size_t i = 0; i < 3; ++i) {
        long byte = 0;
        if (!Integer(&(*value)[i], path + "[" + std::to_string(i) + "]", 0, 255, 0, byte)) {
            return false;
        }
        records_.push_back(static_cast<std::uint8_t>(byte));
    }
    return true;
}

bool DescriptionEncoder::Integer(const Json* value, const std::string& path, long min, long max,
                                 long fallback, long& out) {
    if (value == nullptr) {
        out = fallback;
        return true;
    }
    const std::string range = std::to_string(min) + ".." + std::to_string(max);
    const double number = value->is_number() ? value->get<double>() : 0.5;
    if (!value->is_number() || std::trunc(number) != number || number < static_cast<double>(min) ||
        number > static_cast<double>(max)) {
        return Fail(path,
                    min == max ? "must be " + std::to_string(min) : "expected an integer " + range);
    }
    out = static_cast<long>(number);
    return true;
}

bool DescriptionEncoder::Text(const Json* value, const std::string& path, bool allowEmpty,
                              std::string& out) {
    if (value == nullptr) {
        out.clear();
        if (allowEmpty) {
            return true;
        }
        return Fail(path, "expected a text");
    }
    if (!value->is_string()) {
        return Fail(path, "expected a text");
    }
    std::string problem;
    if (!Latin1Text::FromUtf8(value->get_ref<const std::string&>(), out, problem)) {
        return Fail(path, "the text " + problem);
    }
    if (!allowEmpty && out.empty()) {
        return Fail(path, "an empty text would end the string table");
    }
    return true;
}

bool DescriptionEncoder::OnlyMembers(const Json& object, const std::string& path,
                                     std::initializer_list<std::string_view> names) {
    if (!object.is_object()) {
        return Fail(path, "expected an object");
    }
    for (const auto& member : object.items()) {
        if (std::find(names.begin(), names.end(), member.key()) == names.end()) {
            return Fail(path, "unknown member \"" + member.key() + "\"");
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
