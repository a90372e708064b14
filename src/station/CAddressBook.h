#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "station/AddressEntry.h"

// The station's processors by name: the operator's own entries, kept with the connection
// settings (group "AddressBook" beside "Settings"), and those of the station file, read
// only. Entries come last used first; an own entry hides a station entry of the same name.
// Names are unique regardless of case. Every change is stored at once.
class CAddressBook {
public:
    enum class Result { Done, NoName, NameTaken, NotFound, FromStationFile };

    static constexpr std::size_t kMaxNameLength = 40;
    static constexpr std::size_t kMaxTypedPaths = 8;

    // Reads the own entries and the use counts of station entries.
    void Load();
    // The station file's processors; an unreadable file leaves the station entries empty
    // and says why in error.
    [[nodiscard]] bool LoadStationFile(const std::string& path, std::string& error);

    // Own and station entries, last used first, then own before station, then by name.
    [[nodiscard]] std::vector<AddressEntry> Entries() const;
    // The entry of that name regardless of case (own before station), or nullptr.
    [[nodiscard]] const AddressEntry* Find(const std::string& name) const;

    // Adds an own entry, or replaces the way and lock code of the own entry of that name.
    Result Save(AddressEntry entry);
    Result Rename(const std::string& name, const std::string& newName);
    Result Remove(const std::string& name);
    // The entry was used for a connect: it comes first from now on.
    void MarkUsed(const std::string& name);

    // Device paths typed by the operator, last typed first; they stay offered whatever the
    // settings hold later (an Ethernet connect among them).
    [[nodiscard]] const std::vector<std::string>& TypedPaths() const { return typedPaths_; }
    void RememberTypedPath(const std::string& path);

    // The name as stored: outer blanks removed.
    [[nodiscard]] static std::string Tidy(const std::string& name);

private:
    [[nodiscard]] AddressEntry* FindOwn(const std::string& name);
    [[nodiscard]] std::uint64_t NextUse() const;
    void Store() const;

    std::vector<AddressEntry> own_;
    std::vector<AddressEntry> station_;
    std::vector<std::string> typedPaths_;
};
