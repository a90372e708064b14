#pragma once

#include <optional>
#include <string>

#include "station/AddressEntry.h"

// The processor called name: the application's own address book first (its settings store),
// then the station file at stationPath. nullopt with one line saying why: no such name (and
// the names there are), or a station file that could not be read when the book lacks it.
[[nodiscard]] std::optional<AddressEntry>
FindProcessor(const std::string& name, const std::string& stationPath, std::string& error);
