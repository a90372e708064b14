#include <cstdlib>

#include <QApplication>
#include <QSettings>
#include <QString>

#include "app/COperatorDialogs.h"
#include "app/CRemoteApp.h"

int main(int argc, char** argv) {
    // Scripts and tests keep their settings apart from the operator's own.
    if (const char* dir = std::getenv("SOLVEI_SETTINGS_DIR"); dir != nullptr && *dir != '\0') {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromLocal8Bit(dir));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromLocal8Bit(dir));
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Solvei Remote");
    // The main window's modal loop is the life of the program; closing it ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    COperatorDialogs dialogs;
    CRemoteApp app(CRemoteApp::DefaultPlaces());
    return app.Run(dialogs);
}
