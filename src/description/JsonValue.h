#pragma once

#include <string>
#include <string_view>
#include <vector>

struct JsonMember;

// One value of a JSON document, as read by JsonReader. Objects keep their members in order.
struct JsonValue {
    enum class Type { Null, Bool, Number, String, Array, Object };

    Type type = Type::Null;
    bool boolean = false;
    double number = 0;
    std::string text; // UTF-8
    std::vector<JsonValue> items;
    std::vector<JsonMember> members;

    // The member of that name, or null when absent or when this is not an object.
    [[nodiscard]] const JsonValue* Find(std::string_view key) const;
};

struct JsonMember {
    std::string name;
    JsonValue value;
};

inline const JsonValue* JsonValue::Find(std::string_view key) const {
    for (const JsonMember& member : members) {
        if (member.name == key) {
            return &member.value;
        }
    }
    return nullptr;
}
