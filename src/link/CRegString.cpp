#include "link/CRegString.h"

#include <QSettings>

#include "link/RegistryLocation.h"

CRegString::CRegString(std::string name, std::string defaultValue)
    : name_(std::move(name)), value_(std::move(defaultValue)) {}

bool CRegString::Read() {
    auto store = OpenRegistryGroup();
    const QString key = QString::fromStdString(name_);
    status_ = 1;
    if (store->status() != QSettings::NoError || !store->contains(key)) {
        return false;
    }
    const QVariant v = store->value(key);
    if (!v.canConvert<QString>()) {
        return false;
    }
    value_ = v.toString().toStdString();
    status_ = 0;
    return true;
}

bool CRegString::Write() const {
    auto store = OpenRegistryGroup();
    store->setValue(QString::fromStdString(name_), QString::fromStdString(value_));
    store->sync();
    return store->status() == QSettings::NoError;
}
