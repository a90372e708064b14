#include <cstdlib>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QIcon>
#include <QSettings>
#include <QString>

#include "SolveiVersion.h"
#include "app/CKeyboardMap.h"
#include "app/COperatorDialogs.h"
#include "app/CRemoteApp.h"

namespace {

// --help and --version are answered before any window system is touched, so they work
// without a display; the probe application exists only for the parser. Returns the station
// file given with --station, or an empty text.
QString AnswerCommandLine(int argc, char** argv) {
    QCoreApplication probe(argc, argv);
    QCoreApplication::setApplicationName("solvei-remote");
    QCoreApplication::setApplicationVersion(SOLVEI_VERSION);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral(
            "Runs one Solvei on-air audio processor over a serial line or UDP: its pages of\n"
            "parameters, live meters, bypass, meter view, A/B compare and presets.\n"
            "Choose the port on the settings panel and press Connect.\n\n") +
        CKeyboardMap::HelpText() +
        QStringLiteral(
            "\nThe address book (PROCESSOR on the settings panel) keeps processors by name;\n"
            "those of the station file are offered too.\n"
            "HISTORY keeps snapshots of each processor in the user's data folder\n"
            "(snapshots/NAME under it), compares one with the processor and restores it.\n"
            "\nEnvironment: SOLVEI_SETTINGS_DIR keeps the connection settings in that folder;\n"
            "SOLVEI_STATION_FILE names the station file (default /etc/solvei/station.json).\n"
            "Only one copy runs at a time: a second one says so in a box and ends.\n"
            "Exit codes: 0 when the program ends, 1 on a wrong command line."));
    const QCommandLineOption station(
        QStringLiteral("station"),
        QStringLiteral("The station file (the exporter's configuration) to offer processors from."),
        QStringLiteral("FILE"));
    parser.addOption(station);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(probe);
    return parser.value(station);
}

} // namespace

int main(int argc, char** argv) {
    const QString station = AnswerCommandLine(argc, argv);
    if (!station.isEmpty()) {
        qputenv("SOLVEI_STATION_FILE", station.toLocal8Bit());
    }
    // Scripts and tests keep their settings apart from the operator's own.
    if (const char* dir = std::getenv("SOLVEI_SETTINGS_DIR"); dir != nullptr && *dir != '\0') {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromLocal8Bit(dir));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromLocal8Bit(dir));
    }
    QApplication qt(argc, argv);
    QApplication::setApplicationName("Solvei Remote");
    QApplication::setApplicationVersion(SOLVEI_VERSION);
    // The desktop entry and the installed icon carry this name.
    QGuiApplication::setDesktopFileName("solvei-remote");
    QApplication::setWindowIcon(QIcon::fromTheme("solvei-remote"));
    // The main window's modal loop is the life of the program; closing it ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    COperatorDialogs dialogs;
    CRemoteApp app(CRemoteApp::DefaultPlaces());
    return app.Run(dialogs);
}
