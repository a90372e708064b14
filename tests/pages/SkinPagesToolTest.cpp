#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

ToolRun RunPages(const QStringList& args) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral(SOLVEI_SKIN_TOOL_PATH), QStringList{"pages"} + args);
    ToolRun run;
    if (!tool.waitForFinished(60000)) {
        tool.kill();
        tool.waitForFinished();
        return run;
    }
    run.exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    run.out = QString::fromUtf8(tool.readAllStandardOutput());
    run.err = QString::fromUtf8(tool.readAllStandardError());
    return run;
}

TEST(SkinPagesTool, RendersEveryPageOfTheBuiltInDescription) {
    QTemporaryDir out;
    const ToolRun run = RunPages({SOLVEI_BUILTIN_DESCRIPTION, out.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList files = QDir(out.path()).entryList({"*.png"}, QDir::Files, QDir::Name);
    // One per named node, by index and path; a top-level set is named by its item.
    EXPECT_EQ(files, (QStringList{"00-AGC.png", "01-AGC_Bands.png", "02-AGC_Bands_Crossover.png",
                                  "03-Limiter.png", "04-STEREO-ENHANCE.png", "05-System.png",
                                  "06-System_Presets.png", "07-System_Clock.png"}));
    const QImage first(QDir(out.path()).filePath(files.value(0)));
    EXPECT_EQ(first.size(), QSize(628, 362));
}

TEST(SkinPagesTool, TakesValuesFromTheJsonAndRefusesWhatItCannotRead) {
    QTemporaryDir out;
    QFile json(out.filePath("one.json"));
    ASSERT_TRUE(json.open(QIODevice::WriteOnly));
    json.write(R"({"records": [{"group": "One", "children": [{"style": 1,
        "box": {"width": 20, "height": 5, "left": 1, "top": 3}, "items": [{"kind": 1,
        "address": [0, 0, 1], "name": "Mode", "unit": "", "entries": ["A", "B"],
        "value": 1}]}]}]})");
    json.close();
    const ToolRun good = RunPages({json.fileName(), out.filePath("png")});
    ASSERT_EQ(good.exitCode, 0) << good.err.toStdString();
    EXPECT_TRUE(QFile::exists(out.filePath("png/00-One.png")));

    EXPECT_EQ(RunPages({out.filePath("missing.json"), out.filePath("png")}).exitCode, 1);
    QFile bad(out.filePath("bad.json"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(R"({"records": [{"group": "One", "children": [], "colour": 1}]})");
    bad.close();
    const ToolRun refused = RunPages({bad.fileName(), out.filePath("png")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_FALSE(refused.err.isEmpty());
    EXPECT_EQ(RunPages({json.fileName()}).exitCode, 2);
}

} // namespace
