#include <string>
#include <vector>

#include <unistd.h>

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include "skin/SkinTestSupport.h"

namespace {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ToolRun Tool(const QStringList& args) {
    QProcess process;
    process.start(QStringLiteral(SOLVEI_SKIN_TOOL), args);
    ToolRun run;
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

struct CheckCase {
    const char* name;
    std::string script;
    int exitCode;
    std::string err;
};

const CheckCase kCheckCases[] = {
    {"Valid", "LONG(A::b, 1)\n// LONG(\n", 0, ""},
    {"SyntaxError", "LONG(A::b, 1)\r\nLONG(A::c)\r\n", 1, "Error (0) in line 2\n"},
    {"CutOff", "STRING(A::b, \"x\"", 1, "Error (0) in line 0\n"},
};

TEST(SkinToolCheck, ReportsTheFirstSyntaxError) {
    for (const CheckCase& c : kCheckCases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const ToolRun run = Tool({"check", Q(dir.Write("skin.ini", c.script))});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
}

TEST(SkinTool, UsageErrors) {
    ScratchDir dir;
    const struct {
        QStringList args;
        int exitCode;
    } cases[] = {
        {{}, 2},
        {{"frobnicate"}, 2},
        {{"check"}, 2},
        {{"pack", "a"}, 2},
        {{"extract", "a", "b", "c"}, 2},
        {{"check", Q(dir.File("missing.ini"))}, 1},
        {{"pack", Q(dir.File("missing")), Q(dir.File("out"))}, 1},
        {{"list", Q(dir.File("missing"))}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const ToolRun run = Tool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_FALSE(run.err.empty());
    }
}

TEST(SkinTool, DumpsTheFourTables) {
    ScratchDir dir;
    const std::string script = "IMAGE(Dlg::bk, \"Backgrounds\\Bk.bmp\")\n"
                               "ICON(Tree::icon, \"tree_icon.ico\")\n"
                               "LONG(Dlg::mask, #FF00FF)\nLONG(Dlg::x , -3)\n"
                               "STRING(Dlg::caption, \"Caf\xe9 \\\"q\\\"\")\n";
    const ToolRun run = Tool({"dump", Q(dir.Write("skin.ini", script))});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << run.out;
    const QJsonObject expected{
        {"images", QJsonObject{{"Dlg::bk", "Backgrounds\\Bk.bmp"}}},
        {"icons", QJsonObject{{"Tree::icon", "tree_icon.ico"}}},
        {"numbers", QJsonObject{{"Dlg::mask", 16711935}, {"Dlg::x ", -3}}},
        {"texts", QJsonObject{{"Dlg::caption", QString::fromUtf8("Caf\u00e9 \\\"q\\\"")}}},
    };
    EXPECT_EQ(doc.object(), expected) << run.out;

    EXPECT_EQ(Tool({"dump", Q(dir.Write("bad.ini", "LONG(a)"))}).exitCode, 1);
}

TEST(SkinTool, PacksListsAndExtracts) {
    ScratchDir dir;
    const std::string binary("\x00\x01\xff\x00zz", 6);
    dir.Write("skin/skin.ini", "LONG(A::b, 1)");
    dir.Write("skin/Buttons/Up.bmp", binary);
    dir.Write("skin/buttons2/a.bmp", "a");
    dir.Write("skin/Thumbs.db", "");
    dir.Write("skin/Backgrounds/DlgBk.bmp", std::string(100000, 'b'));
    const std::string archive = dir.File("skin.pack");
    ASSERT_EQ(Tool({"pack", Q(dir.File("skin")), Q(archive)}).exitCode, 0);

    const ToolRun list = Tool({"list", Q(archive)});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_EQ(list.out, "Backgrounds\\DlgBk.bmp\nButtons\\Up.bmp\nbuttons2\\a.bmp\nskin.ini\n"
                        "Thumbs.db\n");

    const struct {
        const char* name;
        int exitCode;
        std::string out;
    } extracts[] = {
        {"BUTTONS\\up.bmp", 0, binary},
        {"Thumbs.db", 0, ""},
        {"Backgrounds\\DlgBk.bmp", 0, std::string(100000, 'b')},
        {"Buttons/Up.bmp", 1, ""},
        {"skin.in", 1, ""},
    };
    for (const auto& c : extracts) {
        SCOPED_TRACE(c.name);
        const ToolRun run = Tool({"extract", Q(archive), c.name});
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_EQ(run.out, c.out);
    }

    const ToolRun none = Tool({"list", Q(dir.File("skin/skin.ini"))});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_EQ(none.out, "");
}

TEST(SkinTool, AppendsToAProgramThatStillRuns) {
    ScratchDir dir;
    const std::string program = dir.File("prog");
    ASSERT_TRUE(QFile::copy("/bin/true", Q(program)));
    const qint64 originalSize = QFile(Q(program)).size();
    dir.Write("one/skin.ini", "LONG(A::b, 1)");
    dir.Write("two/a.bmp", "a");
    dir.Write("two/skin.ini", "LONG(A::b, 2)");

    ASSERT_EQ(Tool({"append", Q(program), Q(dir.File("one"))}).exitCode, 0);
    EXPECT_EQ(Tool({"list", Q(program)}).out, "skin.ini\n");
    EXPECT_EQ(QProcess::execute(Q(program), {}), 0);

    // A second append replaces the first archive instead of stacking behind it.
    ASSERT_EQ(Tool({"append", Q(program), Q(dir.File("two"))}).exitCode, 0);
    EXPECT_EQ(Tool({"list", Q(program)}).out, "a.bmp\nskin.ini\n");
    EXPECT_EQ(Tool({"extract", Q(program), "skin.ini"}).out, "LONG(A::b, 2)");
    EXPECT_EQ(QProcess::execute(Q(program), {}), 0);
    const ScratchDir packDir;
    const std::string pack = packDir.File("two.pack");
    ASSERT_EQ(Tool({"pack", Q(dir.File("two")), Q(pack)}).exitCode, 0);
    EXPECT_EQ(QFile(Q(program)).size(), originalSize + QFile(Q(pack)).size());
}

// The tool carries the shipped skin behind itself, packed at build time.
TEST(SkinTool, CarriesTheShippedSkin) {
    ScratchDir dir;
    const std::string pack = dir.File("shipped.pack");
    ASSERT_EQ(Tool({"pack", SOLVEI_SHIPPED_SKIN, Q(pack)}).exitCode, 0);
    const ToolRun packed = Tool({"list", Q(pack)});
    const ToolRun carried = Tool({"list", SOLVEI_SKIN_TOOL});
    ASSERT_EQ(carried.exitCode, 0) << carried.err;
    EXPECT_EQ(carried.out, packed.out);
    const std::string ini = std::string(SOLVEI_SHIPPED_SKIN) + "/skin.ini";
    if (QFile::exists(Q(ini))) {
        EXPECT_EQ(Tool({"extract", SOLVEI_SKIN_TOOL, "skin.ini"}).out, ReadWholeFile(ini));
    }
}

// Every command that reads a file refuses a folder, a device, a missing and an unreadable
// file with one line and exit 1: no abort, no runaway memory.
TEST(SkinTool, FileTakingCommandsRefuseWhatIsNoFile) {
    ScratchDir dir;
    dir.Write("skin/skin.ini", "LONG(A::b, 1)");
    // Root reads every file whatever its mode; the process's own memory file fails for all.
    const bool root = ::geteuid() == 0;
    const std::string unreadable = root ? "/proc/self/mem" : dir.Write("locked", "x");
    if (!root) {
        QFile::setPermissions(Q(unreadable), QFileDevice::Permissions());
    }
    const struct {
        std::string path;
        std::string says;
    } kinds[] = {
        {dir.File("skin"), dir.File("skin") + " is a directory"},
        {dir.File("missing"), "cannot read " + dir.File("missing") + ": No such file"},
        {"/dev/zero", "/dev/zero is not a regular file"},
        {unreadable, unreadable},
    };
    for (const auto& kind : kinds) {
        const QString path = Q(kind.path);
        for (const QStringList& args :
             {QStringList{"check", path}, QStringList{"dump", path}, QStringList{"list", path},
              QStringList{"extract", path, "skin.ini"},
              QStringList{"append", path, Q(dir.File("skin"))}}) {
            SCOPED_TRACE(args.join(' ').toStdString());
            const ToolRun run = Tool(args);
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_EQ(run.err.rfind("solvei-skin: ", 0), 0u) << run.err;
            EXPECT_NE(run.err.find(kind.says), std::string::npos) << run.err;
            EXPECT_EQ(run.out, "");
        }
    }
}

// Before shipping, the author learns of every image and icon the folder lacks.
TEST(SkinTool, CheckReportsEveryMissingImageAndIcon) {
    ScratchDir dir;
    dir.Write("skin/Buttons/Up.bmp", "bmp");
    const std::string script =
        dir.Write("skin/skin.ini", "IMAGE(Btn::up, \"Buttons\\Up.bmp\")\n"
                                   "IMAGE(Btn::down, \"Buttons\\Down.bmp\")\n"
                                   "ICON(Tree::icon, \"tree.ico\")\n");
    const ToolRun run = Tool({"check", Q(script)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "solvei-skin: Btn::down: Buttons\\Down.bmp is missing (" +
                           dir.File("skin/Buttons/Down.bmp") +
                           ")\nsolvei-skin: Tree::icon: tree.ico is missing (" +
                           dir.File("skin/tree.ico") + ")\n");
    dir.Write("skin/Buttons/Down.bmp", "bmp");
    dir.Write("skin/tree.ico", "ico");
    const ToolRun complete = Tool({"check", Q(script)});
    EXPECT_EQ(complete.exitCode, 0) << complete.err;
    EXPECT_EQ(complete.err, "");
}

// A twin of twice the size is optional; one the window would not use is named.
TEST(SkinTool, CheckNamesEveryTwinTheWindowWouldNotUse) {
    ScratchDir dir;
    const auto bitmap = [](int w, int h) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(Qt::gray);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "BMP");
        return bytes.toStdString();
    };
    dir.Write("skin/Up.bmp", bitmap(4, 2));
    dir.Write("skin/Up@2x.bmp", bitmap(8, 4));
    dir.Write("skin/Down.bmp", bitmap(4, 2));
    dir.Write("skin/Down@2x.bmp", bitmap(9, 4));
    dir.Write("skin/Over.bmp", bitmap(4, 2));
    dir.Write("skin/Over@2x.bmp", "not an image");
    dir.Write("skin/Plain.bmp", bitmap(4, 2));
    const std::string script = dir.Write("skin/skin.ini", "IMAGE(Btn::up, \"Up.bmp\")\n"
                                                          "IMAGE(Btn::down, \"Down.bmp\")\n"
                                                          "IMAGE(Btn::over, \"Over.bmp\")\n"
                                                          "IMAGE(Btn::plain, \"Plain.bmp\")\n");
    const ToolRun run = Tool({"check", Q(script)});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "solvei-skin: Btn::down: Down@2x.bmp is 9x4, not twice Down.bmp (4x2)\n"
                       "solvei-skin: Btn::over: Over@2x.bmp cannot be read as an image\n");
    dir.Write("skin/Down@2x.bmp", bitmap(8, 4));
    dir.Write("skin/Over@2x.bmp", bitmap(8, 4));
    const ToolRun mended = Tool({"check", Q(script)});
    EXPECT_EQ(mended.exitCode, 0) << mended.err;
}

} // namespace
