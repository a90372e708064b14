#include "station/AddressEntry.h"

#include "station/ProcessorTarget.h"

AddressEntry AddressEntry::FromTarget(const ProcessorTarget& target) {
    AddressEntry entry;
    entry.name = target.name;
    if (target.IsSerial()) {
        entry.portName = target.device;
    } else {
        entry.portName = kEthernet;
        entry.host = target.host;
        entry.port = static_cast<std::uint32_t>(target.port);
    }
    entry.lockCode = target.lockCode;
    entry.origin = Origin::Station;
    return entry;
}
