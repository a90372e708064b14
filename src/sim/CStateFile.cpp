#include "sim/CStateFile.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/CFileReader.h"

namespace {

constexpr const char* kMagic = "solvei-sim-state 1";

std::string ToHex(const std::vector<std::uint8_t>& bytes) {
    std::string text;
    char pair[3];
    for (auto b : bytes) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

bool FromHex(const std::string& text, std::vector<std::uint8_t>& bytes) {
    if (text.size() % 2 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        if (std::sscanf(text.c_str() + i, "%2x", &value) != 1) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
    }
    return true;
}

} // namespace

std::optional<CProcessor::State> CStateFile::Load(std::string& error) const {
    constexpr std::size_t kMaxStateBytes = 16 * 1024 * 1024;
    std::error_code ec;
    if (!std::filesystem::exists(m_path, ec)) {
        return std::nullopt; // a fresh state, written on the first change
    }
    const auto text = CFileReader::ReadText(m_path, kMaxStateBytes, error);
    if (!text) {
        return std::nullopt;
    }
    if (text->empty()) {
        return std::nullopt; // an empty file (made to reserve the name) starts fresh too
    }
    std::istringstream in(*text);
    std::string line;
    if (!std::getline(in, line) || line != kMagic) {
        error = m_path + " is not a solvei-sim state file";
        return std::nullopt;
    }
    CProcessor::State state;
    int lineNumber = 1;
    while (std::getline(in, line)) {
        ++lineNumber;
        std::istringstream words(line);
        std::string key;
        words >> key;
        bool ok = true;
        if (key.empty()) {
            continue;
        } else if (key == "current") {
            ok = static_cast<bool>(words >> state.current);
        } else if (key == "bypass" || key == "view") {
            int flag = 0;
            ok = static_cast<bool>(words >> flag);
            (key == "bypass" ? state.bypass : state.ioView) = flag != 0;
        } else if (key == "param") {
            unsigned a = 0, b = 0, c = 0, v = 0;
            ok = static_cast<bool>(words >> a >> b >> c >> v) && a < 256 && b < 256 && c < 256 &&
                 v < 256;
            state.parameters.push_back(
                {{std::uint8_t(a), std::uint8_t(b), std::uint8_t(c)}, std::uint8_t(v)});
        } else if (key == "preset") {
            std::size_t number = 0;
            std::string hex;
            std::vector<std::uint8_t> bytes;
            ok = static_cast<bool>(words >> number) && number < 64;
            words >> hex; // an empty preset has no hexadecimal digits
            ok = ok && FromHex(hex, bytes);
            if (ok) {
                state.presets.resize(std::max(state.presets.size(), number + 1));
                state.presets[number] = std::move(bytes);
            }
        } else {
            ok = false;
        }
        if (!ok) {
            error = m_path + ":" + std::to_string(lineNumber) + ": cannot read \"" + line + "\"";
            return std::nullopt;
        }
    }
    return state;
}

bool CStateFile::Save(const CProcessor::State& state, std::string& error) const {
    const std::string temporary = m_path + ".new";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << kMagic << "\n";
        out << "current " << state.current << "\n";
        out << "bypass " << (state.bypass ? 1 : 0) << "\n";
        out << "view " << (state.ioView ? 1 : 0) << "\n";
        for (const auto& p : state.parameters) {
            out << "param " << int(p.address.a) << " " << int(p.address.b) << " "
                << int(p.address.c) << " " << int(p.value) << "\n";
        }
        for (std::size_t n = 0; n < state.presets.size(); ++n) {
            out << "preset " << n << " " << ToHex(state.presets[n]) << "\n";
        }
        if (!out.flush()) {
            error = "cannot write " + temporary;
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temporary, m_path, ec);
    if (ec) {
        error = "cannot replace " + m_path + ": " + ec.message();
        return false;
    }
    return true;
}
