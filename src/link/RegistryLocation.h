#pragma once

#include <memory>

#include <QSettings>

// The settings store of the connection values: organisation "Tarrowin", application "FALX",
// group "Settings". Tests redirect it with QSettings::setPath.
inline std::unique_ptr<QSettings> OpenRegistryGroup() {
    auto settings = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                QStringLiteral("Tarrowin"), QStringLiteral("FALX"));
    settings->beginGroup(QStringLiteral("Settings"));
    return settings;
}
