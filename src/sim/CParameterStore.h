#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "description/ParamAddress.h"
#include "sim/SimParameterInfo.h"

// The values of the processor's parameters, one byte each at their (a, b, c) address.
// Only addresses of the description exist; others read as 0 and ignore writes.
class CParameterStore {
public:
    struct Value {
        ParamAddress address;
        std::uint8_t value = 0;
        friend bool operator==(const Value&, const Value&) = default;
    };

    explicit CParameterStore(const std::vector<SimParameterInfo>& catalog);

    [[nodiscard]] const SimParameterInfo* Find(ParamAddress address) const;
    [[nodiscard]] std::uint8_t Read(ParamAddress address) const;
    // Stores the value, limited to the parameter's range; false for an unknown address.
    bool Write(ParamAddress address, std::uint8_t value);

    // Values of the preset-stored parameters (address byte a = 0), in address order.
    [[nodiscard]] std::vector<Value> PresetValues() const;
    [[nodiscard]] std::vector<Value> AllValues() const;
    // Applies the values of known addresses; unknown ones are skipped.
    void Apply(const std::vector<Value>& values);

    [[nodiscard]] static bool IsPresetScope(ParamAddress address) { return address.a == 0; }

private:
    struct Entry {
        SimParameterInfo info;
        std::uint8_t value = 0;
    };
    static std::uint32_t Key(ParamAddress address) {
        return (std::uint32_t{address.a} << 16) | (std::uint32_t{address.b} << 8) | address.c;
    }

    std::map<std::uint32_t, Entry> m_entries;
};
