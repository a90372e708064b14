#pragma once

#include <optional>
#include <string>

#include "sim/CProcessor.h"

// Keeps the processor's parameters, presets, current preset, bypass and meter view in a small
// text file between runs:
//   solvei-sim-state 1
//   current N / bypass 0|1 / view 0|1
//   param A B C V          (one line per parameter)
//   preset N HEX           (one line per preset, its wire layout in hexadecimal)
class CStateFile {
public:
    explicit CStateFile(std::string path) : m_path(std::move(path)) {}

    // nullopt when the file does not exist yet or is empty (a fresh state); error set when it
    // exists but is unusable.
    [[nodiscard]] std::optional<CProcessor::State> Load(std::string& error) const;
    // Writes a new file beside the old one and renames it over, so a crash leaves one whole.
    bool Save(const CProcessor::State& state, std::string& error) const;

private:
    std::string m_path;
};
