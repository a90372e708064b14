#pragma once

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "link/ByteString.h"

// Takes the members out of a parsed snapshot document, checking each one's type and range, and
// remembers the first problem with its place ("parameters[3].value: must be a whole number
// 0..255").
class SnapshotJsonReader {
public:
    using Json = nlohmann::ordered_json;

    [[nodiscard]] const std::string& Error() const { return m_error; }

    // Records the problem unless one is recorded already; always false.
    bool Fail(const std::string& where, const std::string& what);

    // The member; nullptr, with the problem recorded, when it is missing (or null and not
    // nullable).
    const Json* Member(const Json& object, const std::string& where, const char* key,
                       bool nullable = false);
    bool Object(const Json& parent, const std::string& where, const char* key, const Json*& out);
    bool Array(const Json& parent, const std::string& where, const char* key, const Json*& out);
    bool Text(const Json& parent, const std::string& where, const char* key, std::string& out);
    bool Integer(const Json& parent, const std::string& where, const char* key, std::int64_t min,
                 std::int64_t max, std::int64_t& out);
    bool IntegerValue(const Json& value, const std::string& where, std::int64_t min,
                      std::int64_t max, std::int64_t& out);
    bool Bool(const Json& parent, const std::string& where, const char* key, bool& out);
    // Bytes kept as {"bytes", "sha256", "data"} members of an object: base64 of that many
    // bytes with that digest.
    bool Bytes(const Json& object, const std::string& where, ByteString& out);
    // A preset marker of "state": {"number", "label"}, or null (no preset) when nullable.
    bool Marker(const Json& state, const char* key, bool nullable, std::uint8_t& out);

    static std::string Join(const std::string& where, const std::string& key);
    static std::string Index(const std::string& where, std::size_t i);

private:
    std::string m_error;
};
