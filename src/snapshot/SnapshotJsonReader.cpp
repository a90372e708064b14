#include "snapshot/SnapshotJsonReader.h"

#include "ctl/PresetLabel.h"
#include "snapshot/Snapshot.h"
#include "snapshot/SnapshotEncoding.h"
#include "snapshot/SnapshotFile.h"

bool SnapshotJsonReader::Fail(const std::string& where, const std::string& what) {
    if (m_error.empty()) {
        m_error = where.empty() ? what : where + ": " + what;
    }
    return false;
}

const SnapshotJsonReader::Json* SnapshotJsonReader::Member(const Json& object,
                                                           const std::string& where,
                                                           const char* key, bool nullable) {
    const auto it = object.find(key);
    if (it == object.end()) {
        Fail(where, std::string("\"") + key + "\" is missing");
        return nullptr;
    }
    if (it->is_null() && !nullable) {
        Fail(Join(where, key), "must not be null");
        return nullptr;
    }
    return &*it;
}

bool SnapshotJsonReader::Object(const Json& parent, const std::string& where, const char* key,
                                const Json*& out) {
    out = Member(parent, where, key);
    if (out != nullptr && !out->is_object()) {
        out = nullptr;
        return Fail(Join(where, key), "must be an object");
    }
    return out != nullptr;
}

bool SnapshotJsonReader::Array(const Json& parent, const std::string& where, const char* key,
                               const Json*& out) {
    out = Member(parent, where, key);
    if (out != nullptr && !out->is_array()) {
        out = nullptr;
        return Fail(Join(where, key), "must be a list");
    }
    return out != nullptr;
}

bool SnapshotJsonReader::Text(const Json& parent, const std::string& where, const char* key,
                              std::string& out) {
    const Json* value = Member(parent, where, key);
    if (value == nullptr) {
        return false;
    }
    if (!value->is_string()) {
        return Fail(Join(where, key), "must be a text");
    }
    out = value->get<std::string>();
    return true;
}

bool SnapshotJsonReader::Integer(const Json& parent, const std::string& where, const char* key,
                                 std::int64_t min, std::int64_t max, std::int64_t& out) {
    const Json* value = Member(parent, where, key);
    return value != nullptr && IntegerValue(*value, Join(where, key), min, max, out);
}

bool SnapshotJsonReader::IntegerValue(const Json& value, const std::string& where, std::int64_t min,
                                      std::int64_t max, std::int64_t& out) {
    if (!value.is_number_integer() ||
        (value.is_number_unsigned() && value.get<std::uint64_t>() > std::uint64_t(max)) ||
        (!value.is_number_unsigned() &&
         (value.get<std::int64_t>() < min || value.get<std::int64_t>() > max))) {
        return Fail(where,
                    "must be a whole number " + std::to_string(min) + ".." + std::to_string(max));
    }
    out = value.get<std::int64_t>();
    return true;
}

bool SnapshotJsonReader::Bool(const Json& parent, const std::string& where, const char* key,
                              bool& out) {
    const Json* value = Member(parent, where, key);
    if (value == nullptr) {
        return false;
    }
    if (!value->is_boolean()) {
        return Fail(Join(where, key), "must be true or false");
    }
    out = value->get<bool>();
    return true;
}

bool SnapshotJsonReader::Bytes(const Json& object, const std::string& where, ByteString& out) {
    std::int64_t size = 0;
    std::string digest;
    std::string data;
    if (!Integer(object, where, "bytes", 0, std::int64_t(SnapshotFile::kMaxFileBytes), size) ||
        !Text(object, where, "sha256", digest) || !Text(object, where, "data", data)) {
        return false;
    }
    auto bytes = SnapshotEncoding::FromBase64(data);
    if (!bytes) {
        return Fail(Join(where, "data"), "is not base64");
    }
    if (bytes->size() != std::size_t(size)) {
        return Fail(where, "holds " + std::to_string(bytes->size()) + " bytes, not the " +
                               std::to_string(size) + " it names");
    }
    if (SnapshotEncoding::Sha256(*bytes) != digest) {
        return Fail(where, "the data does not match its sha256");
    }
    out = std::move(*bytes);
    return true;
}

bool SnapshotJsonReader::Marker(const Json& state, const char* key, bool nullable,
                                std::uint8_t& out) {
    const Json* value = Member(state, "state", key, nullable);
    if (value == nullptr) {
        return false;
    }
    if (value->is_null()) {
        out = Snapshot::kNoPreset;
        return true;
    }
    const std::string where = Join("state", key);
    if (!value->is_object()) {
        return Fail(where, "must be an object or null");
    }
    std::int64_t number = 0;
    std::string label;
    if (!Integer(*value, where, "number", 0, nullable ? 254 : 63, number) ||
        !Text(*value, where, "label", label)) {
        return false;
    }
    if (label != PresetLabel(int(number))) {
        return Fail(Join(where, "label"),
                    "\"" + label + "\" is not the label of preset " + std::to_string(number));
    }
    out = std::uint8_t(number);
    return true;
}

std::string SnapshotJsonReader::Join(const std::string& where, const std::string& key) {
    return where.empty() ? key : where + "." + key;
}
std::string SnapshotJsonReader::Index(const std::string& where, std::size_t i) {
    return where + "[" + std::to_string(i) + "]";
}
