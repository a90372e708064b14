#pragma once

#include <memory>

#include <QSettings>

// The format the connection values are stored in: the platform's own (the registry on
// Windows, a configuration file elsewhere). Tests may put a format of their own in its place
// to see the values with their types, as the registry would get them.
inline QSettings::Format& RegistryFormat() {
    static QSettings::Format format = QSettings::NativeFormat;
    return format;
}

// The settings store of the connection values: organisation "Tarrowin", application "FALX",
// group "Settings". Tests redirect it with QSettings::setPath.
inline std::unique_ptr<QSettings> OpenRegistryGroup() {
    auto settings = std::make_unique<QSettings>(RegistryFormat(), QSettings::UserScope,
                                                QStringLiteral("Tarrowin"), QStringLiteral("FALX"));
    settings->beginGroup(QStringLiteral("Settings"));
    return settings;
}
