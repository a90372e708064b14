// solvei-skin-draw: draws every image of the shipped skin into a folder, and optionally a
// mock-up of the main window for judging the artwork.
#include <cstdio>

#include <QCommandLineParser>
#include <QGuiApplication>

#include <QDir>

#include "AppIcon.h"
#include "Mockup.h"
#include "SkinImages.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Draws the images of the Solvei skin.");
    parser.addHelpOption();
    parser.addPositionalArgument("folder", "Skin folder to write the images into.");
    QCommandLineOption mockup("mockup",
                              "Also write mock-ups of the main window as <base>-online.png "
                              "and <base>-offline.png.",
                              "base");
    parser.addOption(mockup);
    QCommandLineOption icons("icons",
                             "Write only the application icon, as <dir>/hicolor/NxN/apps/"
                             "solvei-remote.png at the usual sizes.",
                             "dir");
    parser.addOption(icons);
    parser.process(app);
    if (parser.isSet(icons)) {
        for (const int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString dir =
                QString("%1/hicolor/%2x%2/apps").arg(parser.value(icons)).arg(size);
            const QString file = dir + "/solvei-remote.png";
            if (!QDir().mkpath(dir) || !AppIcon::Draw(size).save(file)) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: solvei-skin-draw FOLDER [--mockup BASE] | --icons DIR\n");
        return 1;
    }

    const SkinImages images;
    QString failed;
    if (!images.Write(args[0], failed)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(failed));
        return 1;
    }
    std::printf("%zu images written to %s\n", images.All().size(), qPrintable(args[0]));
    if (parser.isSet(mockup)) {
        const QString base = parser.value(mockup);
        const Mockup composer(images);
        if (!composer.Online().save(base + "-online.png") ||
            !composer.Offline().save(base + "-offline.png")) {
            std::fprintf(stderr, "cannot write the mock-ups at %s\n", qPrintable(base));
            return 1;
        }
    }
    return 0;
}
