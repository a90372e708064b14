#include "snapshot/SnapshotFile.h"

#include <algorithm>
#include <fstream>

#include <nlohmann/json.hpp>

#include "ctl/PresetLabel.h"
#include "description/Latin1Text.h"
#include "snapshot/PresetName.h"
#include "snapshot/SnapshotCatalog.h"
#include "snapshot/SnapshotEncoding.h"
#include "snapshot/SnapshotJsonReader.h"
#include "tools/CFileReader.h"
#include "tools/TextPlace.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kKind = "solvei_snapshot";
constexpr const char* kAgcView = "AGC";
constexpr const char* kIoView = "input/output";
// Deeper than any snapshot nests (four levels); deeper text is no snapshot.
constexpr int kMaxDepth = 8;

std::string Dump(const Json& json) {
    return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json Marker(std::uint8_t number) {
    if (number == Snapshot::kNoPreset) {
        return nullptr;
    }
    return Json{{"number", number}, {"label", PresetLabel(number)}};
}

Json Document(const Snapshot& s) {
    Json doc;
    doc[kKind] = SnapshotFile::kFormat;
    doc["taken"] = {{"at", s.origin.at},
                    {"program", s.origin.program},
                    {"user", s.origin.user},
                    {"host", s.origin.host},
                    {"processor", s.origin.processor}};
    doc["processor"] = {{"version", s.version}, {"type", s.type}, {"presets", s.presetCount}};
    doc["state"] = {{"current", Marker(s.current)},
                    {"bypass", s.bypass},
                    {"meter_view", s.ioView ? kIoView : kAgcView},
                    {"DEF", Marker(s.def)},
                    {"DP", Marker(s.dp)},
                    {"TR", Marker(s.tr)}};
    Json parameters = Json::array();
    for (const SnapshotParameter& p : s.parameters) {
        Json item = {{"path", p.path},
                     {"caption", p.caption},
                     {"shown", p.shown},
                     {"address", {p.address.a, p.address.b, p.address.c}},
                     {"value", p.value}};
        if (p.live) {
            item["live"] = true;
        }
        parameters.push_back(std::move(item));
    }
    doc["parameters"] = std::move(parameters);
    Json presets = Json::array();
    for (const SnapshotPreset& p : s.presets) {
        Json item = {{"number", p.number}, {"label", PresetLabel(p.number)}, {"name", p.name}};
        if (p.number < Snapshot::kUserPresets) {
            item["bytes"] = p.data.size();
            item["sha256"] = SnapshotEncoding::Sha256(p.data);
            item["data"] = SnapshotEncoding::ToBase64(p.data);
        }
        presets.push_back(std::move(item));
    }
    doc["presets"] = std::move(presets);
    doc["description"] = {{"bytes", s.description.size()},
                          {"sha256", SnapshotEncoding::Sha256(s.description)},
                          {"data", SnapshotEncoding::ToBase64(s.description)}};
    return doc;
}

// One line stays one line, whatever the file's own words hold.
std::string Printable(std::string text) {
    for (char& ch : text) {
        if (static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F) {
            ch = ' ';
        }
    }
    return text;
}

bool ReadPresets(SnapshotJsonReader& r, const Json& list, int count, Snapshot& s) {
    if (list.size() != std::size_t(count)) {
        return r.Fail("presets", "holds " + std::to_string(list.size()) + " presets, not the " +
                                     std::to_string(count) + " the processor has");
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string where = SnapshotJsonReader::Index("presets", i);
        const Json& item = list[i];
        if (!item.is_object()) {
            return r.Fail(where, "must be an object");
        }
        SnapshotPreset preset;
        std::int64_t number = 0;
        std::string label;
        if (!r.Integer(item, where, "number", 0, 255, number) ||
            !r.Text(item, where, "label", label) || !r.Text(item, where, "name", preset.name)) {
            return false;
        }
        if (number != std::int64_t(i)) {
            return r.Fail(SnapshotJsonReader::Join(where, "number"),
                          "must be " + std::to_string(i));
        }
        if (label != PresetLabel(int(number))) {
            return r.Fail(SnapshotJsonReader::Join(where, "label"),
                          "must be " + PresetLabel(int(number)));
        }
        preset.number = int(number);
        if (preset.number < Snapshot::kUserPresets) {
            if (!r.Bytes(item, where, preset.data)) {
                return false;
            }
            if (Latin1Text::ToUtf8(PresetName(preset.data)) != preset.name) {
                return r.Fail(SnapshotJsonReader::Join(where, "name"),
                              "is not the name its data holds");
            }
        } else if (item.contains("data")) {
            return r.Fail(where, "a factory preset's data is not kept");
        }
        s.presets.push_back(std::move(preset));
    }
    return true;
}

bool ReadParameters(SnapshotJsonReader& r, const Json& list, Snapshot& s) {
    const SnapshotCatalog catalog(s.description);
    const auto& entries = catalog.Entries();
    if (list.size() != entries.size()) {
        return r.Fail("parameters", "holds " + std::to_string(list.size()) +
                                        " parameters, the description names " +
                                        std::to_string(entries.size()));
    }
    std::vector<std::uint8_t> values;
    values.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string where = SnapshotJsonReader::Index("parameters", i);
        const Json& item = list[i];
        if (!item.is_object()) {
            return r.Fail(where, "must be an object");
        }
        const Json* address = nullptr;
        std::int64_t value = 0;
        if (!r.Array(item, where, "address", address) ||
            !r.Integer(item, where, "value", 0, 255, value)) {
            return false;
        }
        std::int64_t abc[3] = {};
        if (address->size() != 3) {
            return r.Fail(SnapshotJsonReader::Join(where, "address"), "must be three bytes");
        }
        for (std::size_t k = 0; k < 3; ++k) {
            if (!r.IntegerValue((*address)[k], SnapshotJsonReader::Join(where, "address"), 0, 255,
                                abc[k])) {
                return false;
            }
        }
        const ParamAddress at{std::uint8_t(abc[0]), std::uint8_t(abc[1]), std::uint8_t(abc[2])};
        if (!(at == entries[i].item.address)) {
            return r.Fail(SnapshotJsonReader::Join(where, "address"),
                          "is not the parameter the description names in this place");
        }
        values.push_back(std::uint8_t(value));
    }
    std::vector<std::string> names;
    for (const SnapshotPreset& p : s.presets) {
        std::string latin1;
        std::string problem;
        if (!Latin1Text::FromUtf8(p.name, latin1, problem)) {
            return r.Fail(SnapshotJsonReader::Index("presets", std::size_t(p.number)),
                          "the name " + problem);
        }
        names.push_back(latin1);
    }
    s.parameters = catalog.Parameters(values, names);
    // The texts follow from the description and the values; a file whose texts say otherwise
    // was not written by this program.
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string where = SnapshotJsonReader::Index("parameters", i);
        const Json& item = list[i];
        const SnapshotParameter& p = s.parameters[i];
        std::string path, caption, shown;
        if (!r.Text(item, where, "path", path) || !r.Text(item, where, "caption", caption) ||
            !r.Text(item, where, "shown", shown)) {
            return false;
        }
        const bool live = item.contains("live") && item["live"] == true;
        if (path != p.path || caption != p.caption || shown != p.shown || live != p.live) {
            return r.Fail(where, "its texts do not follow from the description and its value");
        }
    }
    return true;
}

bool ReadDocument(SnapshotJsonReader& r, const Json& doc, Snapshot& s) {
    const Json* taken = nullptr;
    const Json* processor = nullptr;
    const Json* state = nullptr;
    const Json* description = nullptr;
    const Json* parameters = nullptr;
    const Json* presets = nullptr;
    if (!r.Object(doc, "", "taken", taken) || !r.Text(*taken, "taken", "at", s.origin.at) ||
        !r.Text(*taken, "taken", "program", s.origin.program) ||
        !r.Text(*taken, "taken", "user", s.origin.user) ||
        !r.Text(*taken, "taken", "host", s.origin.host) ||
        !r.Text(*taken, "taken", "processor", s.origin.processor)) {
        return false;
    }
    std::int64_t type = 0;
    std::int64_t count = 0;
    if (!r.Object(doc, "", "processor", processor) ||
        !r.Text(*processor, "processor", "version", s.version) ||
        !r.Integer(*processor, "processor", "type", 0, 255, type) ||
        !r.Integer(*processor, "processor", "presets", 0, 255, count)) {
        return false;
    }
    s.type = int(type);
    s.presetCount = int(count);
    std::string view;
    if (!r.Object(doc, "", "state", state) || !r.Marker(*state, "current", false, s.current) ||
        !r.Bool(*state, "state", "bypass", s.bypass) ||
        !r.Text(*state, "state", "meter_view", view) || !r.Marker(*state, "DEF", true, s.def) ||
        !r.Marker(*state, "DP", true, s.dp) || !r.Marker(*state, "TR", true, s.tr)) {
        return false;
    }
    if (view != kAgcView && view != kIoView) {
        return r.Fail("state.meter_view",
                      std::string("must be \"") + kAgcView + "\" or \"" + kIoView + "\"");
    }
    s.ioView = view == kIoView;
    if (!r.Object(doc, "", "description", description) ||
        !r.Bytes(*description, "description", s.description)) {
        return false;
    }
    if (s.description.empty()) {
        return r.Fail("description", "holds no control description");
    }
    if (s.description[0] != s.type) {
        return r.Fail("processor.type", "is not the type its description names (" +
                                            std::to_string(s.description[0]) + ")");
    }
    return r.Array(doc, "", "presets", presets) && ReadPresets(r, *presets, s.presetCount, s) &&
           r.Array(doc, "", "parameters", parameters) && ReadParameters(r, *parameters, s);
}

} // namespace

std::string SnapshotFile::Write(const Snapshot& snapshot) {
    Json doc = Document(snapshot);
    const std::string digest = SnapshotEncoding::Sha256(Dump(doc));
    // One member a line, one parameter and one preset a line: a text diff of two snapshots
    // reads like the change itself.
    std::string out = "{\n";
    bool first = true;
    for (const auto& [key, value] : doc.items()) {
        out += first ? "" : ",\n";
        first = false;
        out += "  " + Dump(Json(key)) + ": ";
        if (value.is_array()) {
            out += "[";
            for (std::size_t i = 0; i < value.size(); ++i) {
                out += (i == 0 ? "\n    " : ",\n    ") + Dump(value[i]);
            }
            out += value.empty() ? "]" : "\n  ]";
        } else {
            out += Dump(value);
        }
    }
    out += ",\n  \"sha256\": " + Dump(Json(digest)) + "\n}\n";
    return out;
}

std::optional<Snapshot> SnapshotFile::Read(std::string_view text, const std::string& name,
                                           std::string& error) {
    const auto fail = [&](const std::string& what) {
        error = Printable(name + ": " + what);
        return std::nullopt;
    };
    Json doc;
    bool tooDeep = false;
    try {
        doc = Json::parse(text.begin(), text.end(), [&](int depth, Json::parse_event_t, Json&) {
            if (depth > kMaxDepth) {
                tooDeep = true;
                return false;
            }
            return true;
        });
    } catch (const Json::parse_error& e) {
        return fail(TextPlace::JsonParseError(text, e.byte, e.what()));
    } catch (const Json::exception& e) {
        return fail(TextPlace::JsonReason(e.what()));
    }
    if (!doc.is_object() || !doc.contains(kKind)) {
        return fail("not a Solvei snapshot");
    }
    if (tooDeep) {
        return fail("nested deeper than a snapshot");
    }
    if (doc[kKind] != kFormat) {
        return fail("snapshot format " + Dump(doc[kKind]) + " is not the format " +
                    std::to_string(kFormat) + " this program reads");
    }
    const auto digest = doc.find("sha256");
    if (digest == doc.end() || !digest->is_string()) {
        return fail("the snapshot has no sha256 of its content");
    }
    Json content = doc;
    content.erase("sha256");
    if (SnapshotEncoding::Sha256(Dump(content)) != digest->get<std::string>()) {
        return fail("the content does not match its sha256: the file was changed after it was "
                    "taken");
    }
    SnapshotJsonReader reader;
    Snapshot snapshot;
    if (!ReadDocument(reader, content, snapshot)) {
        return fail(reader.Error());
    }
    return snapshot;
}

bool SnapshotFile::Save(const Snapshot& snapshot, const std::string& path, std::string& error) {
    const std::string text = Write(snapshot);
    // Written beside the target and renamed over it, so a failed write never leaves half a
    // snapshot where a whole one stood.
    const std::string temporary = path + ".part";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out.flush()) {
            std::remove(temporary.c_str());
            error = "cannot write " + path;
            return false;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        error = "cannot write " + path;
        return false;
    }
    return true;
}

std::optional<Snapshot> SnapshotFile::Load(const std::string& path, std::string& error) {
    const auto text = CFileReader::ReadText(path, kMaxFileBytes, error);
    if (!text) {
        return std::nullopt;
    }
    return Read(*text, path, error);
}
