#include "ctl/ProcessorByName.h"

#include "station/CAddressBook.h"

std::optional<AddressEntry> FindProcessor(const std::string& name, const std::string& stationPath,
                                          std::string& error) {
    CAddressBook book;
    book.Load();
    std::string stationError;
    // A missing station file is usual (a station without one); any other fault is told.
    const bool stationRead = book.LoadStationFile(stationPath, stationError);
    if (const AddressEntry* entry = book.Find(name)) {
        return *entry;
    }
    error = "no processor named \"" + name + "\" in the address book";
    if (stationRead) {
        error += " or in " + stationPath;
    } else {
        error += " (" + stationError + ")";
    }
    std::string known;
    for (const AddressEntry& entry : book.Entries()) {
        known += (known.empty() ? "" : ", ") + entry.name;
    }
    error += known.empty() ? "; no names are known" : "; known: " + known;
    return std::nullopt;
}
