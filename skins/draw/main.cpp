// solvei-skin-draw: draws every image of the shipped skin into a folder, and optionally a
// mock-up of the main window for judging the artwork.
#include <cstdio>

#include <QCommandLineParser>
#include <QGuiApplication>

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
    parser.process(app);
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: solvei-skin-draw FOLDER [--mockup BASE]\n");
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
