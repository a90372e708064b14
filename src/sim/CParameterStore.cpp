#include "sim/CParameterStore.h"

#include <algorithm>

CParameterStore::CParameterStore(const std::vector<SimParameterInfo>& catalog) {
    for (const auto& info : catalog) {
        m_entries[Key(info.address)] = Entry{info, info.DefaultValue()};
    }
}

const SimParameterInfo* CParameterStore::Find(ParamAddress address) const {
    const auto it = m_entries.find(Key(address));
    return it == m_entries.end() ? nullptr : &it->second.info;
}

std::uint8_t CParameterStore::Read(ParamAddress address) const {
    const auto it = m_entries.find(Key(address));
    return it == m_entries.end() ? 0 : it->second.value;
}

bool CParameterStore::Write(ParamAddress address, std::uint8_t value) {
    const auto it = m_entries.find(Key(address));
    if (it == m_entries.end()) {
        return false;
    }
    it->second.value = std::min(value, it->second.info.span);
    return true;
}

std::vector<CParameterStore::Value> CParameterStore::PresetValues() const {
    std::vector<Value> values;
    for (const auto& [key, entry] : m_entries) {
        if (IsPresetScope(entry.info.address)) {
            values.push_back({entry.info.address, entry.value});
        }
    }
    return values;
}

std::vector<CParameterStore::Value> CParameterStore::AllValues() const {
    std::vector<Value> values;
    for (const auto& [key, entry] : m_entries) {
        values.push_back({entry.info.address, entry.value});
    }
    return values;
}

void CParameterStore::Apply(const std::vector<Value>& values) {
    for (const auto& v : values) {
        Write(v.address, v.value);
    }
}
