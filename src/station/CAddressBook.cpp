#include "station/CAddressBook.h"

#include <algorithm>
#include <memory>

#include <QSettings>
#include <QStringList>

#include "link/RegistryLocation.h"
#include "station/StationFile.h"

namespace {

std::unique_ptr<QSettings> OpenBook() {
    auto settings = std::make_unique<QSettings>(RegistryFormat(), QSettings::UserScope,
                                                QStringLiteral("Tarrowin"), QStringLiteral("FALX"));
    settings->beginGroup(QStringLiteral("AddressBook"));
    return settings;
}

bool SameName(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

} // namespace

std::string CAddressBook::Tidy(const std::string& name) {
    return QString::fromStdString(name).simplified().toStdString();
}

void CAddressBook::Load() {
    own_.clear();
    auto store = OpenBook();
    const int count = store->beginReadArray(QStringLiteral("entries"));
    for (int i = 0; i < count; ++i) {
        store->setArrayIndex(i);
        AddressEntry entry;
        entry.name = Tidy(store->value(QStringLiteral("name")).toString().toStdString());
        entry.portName =
            store->value(QStringLiteral("sPortName"), QString::fromLatin1(AddressEntry::kEthernet))
                .toString()
                .toStdString();
        entry.host = store->value(QStringLiteral("sHost")).toString().toStdString();
        entry.port = store->value(QStringLiteral("dwPort"), 1203).toUInt();
        if (store->contains(QStringLiteral("dwLockCode"))) {
            entry.lockCode = store->value(QStringLiteral("dwLockCode")).toUInt();
        }
        entry.lastUse = store->value(QStringLiteral("lastUse"), 0).toULongLong();
        // A hand-edited file may repeat a name or leave it out: the first one counts.
        if (!entry.name.empty() && FindOwn(entry.name) == nullptr) {
            own_.push_back(std::move(entry));
        }
    }
    store->endArray();
    typedPaths_.clear();
    for (const QString& path : store->value(QStringLiteral("typedPaths")).toStringList()) {
        if (path.startsWith(QLatin1Char('/')) && typedPaths_.size() < kMaxTypedPaths) {
            typedPaths_.push_back(path.toStdString());
        }
    }
    store->beginGroup(QStringLiteral("StationUse"));
    for (AddressEntry& entry : station_) {
        entry.lastUse = store->value(QString::fromStdString(entry.name), 0).toULongLong();
    }
}

bool CAddressBook::LoadStationFile(const std::string& path, std::string& error) {
    station_.clear();
    StationFile file;
    if (!StationFile::Read(path, file, error)) {
        return false;
    }
    auto store = OpenBook();
    store->beginGroup(QStringLiteral("StationUse"));
    for (const ProcessorTarget& target : file.processors) {
        AddressEntry entry = AddressEntry::FromTarget(target);
        entry.lastUse = store->value(QString::fromStdString(entry.name), 0).toULongLong();
        station_.push_back(std::move(entry));
    }
    return true;
}

std::vector<AddressEntry> CAddressBook::Entries() const {
    std::vector<AddressEntry> entries = own_;
    for (const AddressEntry& entry : station_) {
        const bool hidden = std::any_of(own_.begin(), own_.end(), [&](const AddressEntry& own) {
            return SameName(own.name, entry.name);
        });
        if (!hidden) {
            entries.push_back(entry);
        }
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const AddressEntry& a, const AddressEntry& b) {
                         if (a.lastUse != b.lastUse) {
                             return a.lastUse > b.lastUse;
                         }
                         if (a.origin != b.origin) {
                             return a.origin == AddressEntry::Origin::Own;
                         }
                         return QString::fromStdString(a.name).compare(
                                    QString::fromStdString(b.name), Qt::CaseInsensitive) < 0;
                     });
    return entries;
}

const AddressEntry* CAddressBook::Find(const std::string& name) const {
    const std::string wanted = Tidy(name);
    for (const auto* list : {&own_, &station_}) {
        for (const AddressEntry& entry : *list) {
            if (SameName(entry.name, wanted)) {
                return &entry;
            }
        }
    }
    return nullptr;
}

AddressEntry* CAddressBook::FindOwn(const std::string& name) {
    for (AddressEntry& entry : own_) {
        if (SameName(entry.name, name)) {
            return &entry;
        }
    }
    return nullptr;
}

std::uint64_t CAddressBook::NextUse() const {
    std::uint64_t last = 0;
    for (const auto* list : {&own_, &station_}) {
        for (const AddressEntry& entry : *list) {
            last = std::max(last, entry.lastUse);
        }
    }
    return last + 1;
}

CAddressBook::Result CAddressBook::Save(AddressEntry entry) {
    entry.name = Tidy(entry.name);
    if (entry.name.empty()) {
        return Result::NoName;
    }
    if (entry.name.size() > kMaxNameLength) {
        entry.name.resize(kMaxNameLength);
        entry.name = Tidy(entry.name);
    }
    entry.origin = AddressEntry::Origin::Own;
    if (AddressEntry* existing = FindOwn(entry.name)) {
        entry.lastUse = existing->lastUse;
        *existing = std::move(entry);
    } else {
        // Saving a station entry's name makes an own entry that hides it, with its place.
        const AddressEntry* station = Find(entry.name);
        entry.lastUse = station != nullptr ? station->lastUse : 0;
        own_.push_back(std::move(entry));
    }
    Store();
    return Result::Done;
}

CAddressBook::Result CAddressBook::Rename(const std::string& name, const std::string& newName) {
    const std::string tidy = Tidy(newName);
    if (tidy.empty()) {
        return Result::NoName;
    }
    AddressEntry* entry = FindOwn(name);
    if (entry == nullptr) {
        return Find(name) != nullptr ? Result::FromStationFile : Result::NotFound;
    }
    const AddressEntry* other = Find(tidy);
    if (other != nullptr && other != entry) {
        return Result::NameTaken;
    }
    entry->name = tidy.substr(0, kMaxNameLength);
    Store();
    return Result::Done;
}

CAddressBook::Result CAddressBook::Remove(const std::string& name) {
    const auto found = std::find_if(own_.begin(), own_.end(), [&](const AddressEntry& entry) {
        return SameName(entry.name, Tidy(name));
    });
    if (found == own_.end()) {
        return Find(name) != nullptr ? Result::FromStationFile : Result::NotFound;
    }
    own_.erase(found);
    Store();
    return Result::Done;
}

void CAddressBook::MarkUsed(const std::string& name) {
    const std::uint64_t next = NextUse();
    if (AddressEntry* entry = FindOwn(name)) {
        entry->lastUse = next;
    } else {
        for (AddressEntry& entry : station_) {
            if (SameName(entry.name, Tidy(name))) {
                entry.lastUse = next;
                break;
            }
        }
    }
    Store();
}

void CAddressBook::RememberTypedPath(const std::string& path) {
    if (path.empty() || path.front() != '/') {
        return;
    }
    typedPaths_.erase(std::remove(typedPaths_.begin(), typedPaths_.end(), path), typedPaths_.end());
    typedPaths_.insert(typedPaths_.begin(), path);
    if (typedPaths_.size() > kMaxTypedPaths) {
        typedPaths_.resize(kMaxTypedPaths);
    }
    Store();
}

void CAddressBook::Store() const {
    auto store = OpenBook();
    store->remove(QStringLiteral("entries"));
    store->beginWriteArray(QStringLiteral("entries"), static_cast<int>(own_.size()));
    for (std::size_t i = 0; i < own_.size(); ++i) {
        const AddressEntry& entry = own_[i];
        store->setArrayIndex(static_cast<int>(i));
        store->setValue(QStringLiteral("name"), QString::fromStdString(entry.name));
        store->setValue(QStringLiteral("sPortName"), QString::fromStdString(entry.portName));
        store->setValue(QStringLiteral("sHost"), QString::fromStdString(entry.host));
        store->setValue(QStringLiteral("dwPort"), entry.port);
        if (entry.lockCode) {
            store->setValue(QStringLiteral("dwLockCode"), *entry.lockCode);
        }
        store->setValue(QStringLiteral("lastUse"), static_cast<qulonglong>(entry.lastUse));
    }
    store->endArray();
    QStringList paths;
    for (const std::string& path : typedPaths_) {
        paths << QString::fromStdString(path);
    }
    store->setValue(QStringLiteral("typedPaths"), paths);
    store->beginGroup(QStringLiteral("StationUse"));
    for (const AddressEntry& entry : station_) {
        if (entry.lastUse != 0) {
            store->setValue(QString::fromStdString(entry.name),
                            static_cast<qulonglong>(entry.lastUse));
        }
    }
    store->endGroup();
    store->sync();
}
