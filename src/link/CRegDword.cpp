#include "link/CRegDword.h"

#include <QSettings>

#include "link/RegistryLocation.h"

CRegDword::CRegDword(std::string name, std::uint32_t defaultValue)
    : name_(std::move(name)), value_(defaultValue) {}

bool CRegDword::Read() {
    auto store = OpenRegistryGroup();
    const QString key = QString::fromStdString(name_);
    status_ = 1;
    if (store->status() != QSettings::NoError || !store->contains(key)) {
        return false;
    }
    bool ok = false;
    const qulonglong v = store->value(key).toULongLong(&ok);
    if (!ok || v > 0xFFFFFFFFull) {
        return false;
    }
    value_ = static_cast<std::uint32_t>(v);
    status_ = 0;
    return true;
}

bool CRegDword::Write() const {
    auto store = OpenRegistryGroup();
    // A 32-bit type: the registry stores it as a DWORD (a 64-bit one would become a QWORD).
    store->setValue(QString::fromStdString(name_), QVariant::fromValue<quint32>(value_));
    store->sync();
    return store->status() == QSettings::NoError;
}
