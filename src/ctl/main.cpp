#include <csignal>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <unistd.h>

#include <QSettings>
#include <QString>

#include "ctl/CCtlCommands.h"
#include "ctl/CCtlOptions.h"
#include "ctl/ProcessorByName.h"
#include "link/CConnectionSettings.h"
#include "station/StationFile.h"
#include "SolveiVersion.h"

namespace {

volatile bool g_stop = false;

void OnSignal(int) {
    g_stop = true;
}

int Run(int argc, char** argv) {
    std::string error;
    const auto options = CCtlOptions::Parse(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "solvei-ctl: " << error << "\n" << CCtlOptions::Usage();
        return CCtlCommands::kUsage;
    }
    if (options->help) {
        std::cout << CCtlOptions::Usage();
        return CCtlCommands::kDone;
    }
    if (options->showVersion) {
        std::cout << "solvei-ctl " << SOLVEI_VERSION << "\n";
        return CCtlCommands::kDone;
    }
    // Scripts and tests point the settings elsewhere; the application's own stay untouched.
    if (const char* dir = std::getenv("SOLVEI_SETTINGS_DIR"); dir != nullptr && *dir != '\0') {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           QString::fromLocal8Bit(dir));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromLocal8Bit(dir));
    }

    // The saved settings are read, overridden for this run, and never written back.
    CConnectionSettings settings;
    settings.ReadRegistry();
    settings.Load();
    settings.SetLinkDefaults();
    if (options->host || options->port) {
        settings.serial = 0;
        settings.portName = CConnectionSettings::kEthernetPortName;
    }
    if (options->host) {
        settings.host = *options->host;
    }
    if (options->port) {
        settings.port = static_cast<std::uint32_t>(*options->port);
    }
    if (options->serial) {
        settings.serial = 1;
        settings.portName = *options->serial;
    }
    if (options->processor) {
        std::string lookupError;
        const auto entry =
            FindProcessor(*options->processor,
                          options->stationFile.value_or(StationFile::DefaultPath()), lookupError);
        if (!entry) {
            std::cerr << "solvei-ctl: " << lookupError << "\n";
            return CCtlCommands::kUsage;
        }
        settings.portName =
            entry->IsEthernet() ? CConnectionSettings::kEthernetPortName : entry->portName;
        settings.serial = entry->IsEthernet() ? 0 : 1;
        settings.host = entry->host;
        settings.port = entry->port;
        if (entry->lockCode) {
            settings.lockCode = *entry->lockCode;
        }
    }
    if (options->lockCode) {
        settings.lockCode = static_cast<std::uint32_t>(*options->lockCode);
    }
    settings.replyTimeoutMs = static_cast<std::uint32_t>(options->timeoutMs);

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    CCtlCommands commands(*options, settings, std::cout, std::cerr, ::isatty(STDERR_FILENO) != 0,
                          g_stop);
    return commands.Run();
}

} // namespace

int main(int argc, char** argv) {
    // Whatever goes wrong ends in one line and an exit code, never in an abort.
    try {
        return Run(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "solvei-ctl: unexpected failure: " << e.what() << "\n";
    } catch (...) {
        std::cerr << "solvei-ctl: unexpected failure\n";
    }
    return CCtlCommands::kInternal;
}
