#include <memory>
#include <string>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QWidget>

#include <gtest/gtest.h>

#include "skin/CSkin.h"
#include "skin/CSkinClient.h"
#include "skin/CSkinManager.h"
#include "skin/ControlId.h"
#include "skin/ResourceArchiveWriter.h"
#include "skin/SkinFileSource.h"
#include "skin/SkinTestSupport.h"

namespace {

std::string Encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return bytes.toStdString();
}

std::string Bitmap(int width, int height, QColor colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return Encoded(image, "BMP");
}

class TestClient : public CSkinClient {
public:
    TestClient(const std::string& section, CSkinManager* manager) : CSkinClient(section, manager) {}
    void ApplySkin() override {
        ++applied;
        lastWidth = GetLong("width");
    }
    int applied = 0;
    int lastWidth = -1;
};

CSkin::User UserOf(const QWidget& widget) {
    return reinterpret_cast<CSkin::User>(&widget);
}

class SkinStore : public testing::Test {
protected:
    SkinStore() {
        dir.Write("Skin/skin.ini", "IMAGE(Dlg::background, \"Backgrounds\\Bk.bmp\")\n"
                                   "IMAGE(Dlg::missing, \"Backgrounds\\None.bmp\")\n"
                                   "ICON(Tree::icon, \"tree_icon.ico\")\n"
                                   "LONG(Dlg::width, 685)\n");
        dir.Write("Skin/Backgrounds/Bk.bmp", Bitmap(4, 3, Qt::red));
        QImage icon(16, 16, QImage::Format_ARGB32);
        icon.fill(Qt::blue);
        dir.Write("Skin/tree_icon.ico", Encoded(icon, "ICO"));
    }

    std::string Folder() const { return dir.File("Skin"); }

    ScratchDir dir;
    RecordingMessageBox messages;
    CSkin skin{std::make_shared<SkinFileSource>(""), messages};
};

TEST_F(SkinStore, ImagesAreSharedAndReleasedWithTheirLastUser) {
    ASSERT_TRUE(skin.Load(Folder()));
    QWidget first;
    QWidget second;
    const QImage* a = skin.GetImage("Dlg", "background", UserOf(first));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->size(), QSize(4, 3));
    EXPECT_EQ(a->pixelColor(0, 0), QColor(Qt::red));
    // The file is gone: a second user can only get the handle already loaded.
    std::remove(dir.File("Skin/Backgrounds/Bk.bmp").c_str());
    EXPECT_EQ(skin.GetImage("Dlg", "background", UserOf(second)), a);

    skin.ReleaseUser(UserOf(first));
    EXPECT_NE(skin.Images().at("Dlg::background").handle, nullptr);
    skin.ReleaseUser(UserOf(second));
    EXPECT_EQ(skin.Images().at("Dlg::background").handle, nullptr);

    // Released, so the next request loads the file again, and fails now.
    EXPECT_EQ(skin.GetImage("Dlg", "background", UserOf(first)), nullptr);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].text, "Unable to load image: \"Backgrounds\\Bk.bmp\"");
}

TEST_F(SkinStore, FailedLoadsAreReportedAndRetriedEachTime) {
    ASSERT_TRUE(skin.Load(Folder()));
    QWidget window;
    EXPECT_EQ(skin.GetImage("Dlg", "missing", UserOf(window)), nullptr);
    EXPECT_EQ(skin.GetImage("Dlg", "missing", UserOf(window)), nullptr);
    ASSERT_EQ(messages.messages.size(), 2u);
    for (const auto& message : messages.messages) {
        EXPECT_EQ(message.text, "Unable to load image: \"Backgrounds\\None.bmp\"");
        EXPECT_EQ(message.caption, "Skin Error");
        EXPECT_EQ(message.icon, IMessageBox::Icon::Error);
    }
    dir.Write("Skin/Backgrounds/None.bmp", Bitmap(2, 2, Qt::green));
    EXPECT_NE(skin.GetImage("Dlg", "missing", UserOf(window)), nullptr);

    // A key the script lacks is no error; a corrupt icon file is.
    EXPECT_EQ(skin.GetImage("Dlg", "nothing", UserOf(window)), nullptr);
    dir.Write("Skin/tree_icon.ico", "not an icon");
    EXPECT_EQ(skin.GetIcon("Tree", "icon", UserOf(window)), nullptr);
    ASSERT_EQ(messages.messages.size(), 3u);
    EXPECT_EQ(messages.messages[2].text, "Unable to load icon: \"tree_icon.ico\"");
}

TEST_F(SkinStore, IconsLoadAtTheDefaultSize) {
    ASSERT_TRUE(skin.Load(Folder()));
    QWidget window;
    const QImage* icon = skin.GetIcon("Tree", "icon", UserOf(window));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->size(), QSize(32, 32));
    EXPECT_EQ(icon->pixelColor(16, 16), QColor(Qt::blue));
    // Images and icons are separate tables.
    EXPECT_EQ(skin.GetImage("Tree", "icon", UserOf(window)), nullptr);
}

TEST_F(SkinStore, MissingValuesAreAddedAsDefaults) {
    ASSERT_TRUE(skin.Load(Folder()));
    EXPECT_EQ(skin.GetLong("Dlg", "width"), 685);
    EXPECT_EQ(skin.GetLong("Dlg", "height"), 0);
    EXPECT_EQ(skin.Numbers().count("Dlg::height"), 1u);
    EXPECT_EQ(skin.GetLong("Dlg", "height"), 0);
    EXPECT_EQ(skin.GetString("Dlg", "caption"), "");
    EXPECT_EQ(skin.Texts().count("Dlg::caption"), 1u);
    EXPECT_EQ(skin.GetLong("dlg", "width"), 0); // keys match with exact case
}

TEST_F(SkinStore, ArchiveEntriesComeBeforeTheFolder) {
    ResourceArchiveWriter writer("none");
    const std::string script = "LONG(Dlg::width, 100)\n"
                               "IMAGE(Dlg::background, \"BACKGROUNDS\\bk.bmp\")\n"
                               "IMAGE(Dlg::disk, \"Only.bmp\")";
    dir.Write("Skin/Only.bmp", Bitmap(3, 3, Qt::green));
    const std::string image = Bitmap(7, 5, Qt::yellow);
    ASSERT_TRUE(writer.Add("skin.ini", std::span(script.data(), script.size())));
    ASSERT_TRUE(writer.Add("Backgrounds\\Bk.bmp", std::span(image.data(), image.size())));
    const std::string program = dir.Write(
        "program", "program bytes" + std::string(writer.Bytes().begin(), writer.Bytes().end()));
    CSkin archived(std::make_shared<SkinFileSource>(program), messages);
    ASSERT_TRUE(archived.Load(Folder()));
    EXPECT_EQ(archived.GetLong("Dlg", "width"), 100);
    QWidget window;
    const QImage* bk = archived.GetImage("Dlg", "background", UserOf(window));
    ASSERT_NE(bk, nullptr);
    EXPECT_EQ(bk->size(), QSize(7, 5));
    // Not in the archive: taken from the folder.
    const QImage* disk = archived.GetImage("Dlg", "disk", UserOf(window));
    ASSERT_NE(disk, nullptr);
    EXPECT_EQ(disk->size(), QSize(3, 3));
    EXPECT_TRUE(messages.messages.empty());
}

TEST_F(SkinStore, ManagerSwitchesSkinsAndKeepsTheOldOneOnErrors) {
    dir.Write("Skins/Good/skin.ini", "LONG(Dlg::width, 10)");
    dir.Write("Skins/Better/skin.ini", "LONG(Dlg::width, 20)\nIMAGE(Dlg::bk, \"a.bmp\")");
    dir.Write("Skins/Better/a.bmp", Bitmap(2, 2, Qt::red));
    dir.Write("Skins/Broken/skin.ini", "LONG(Dlg::width, 30)\nLONG(Dlg::height)");
    CSkinManager manager(dir.File("Skins"), "", messages);
    EXPECT_EQ(manager.Current(), nullptr);
    {
        QWidget window;
        TestClient client("Dlg", &manager);
        EXPECT_EQ(client.GetLong("width"), 0); // no skin yet
        client.Attach(&window);
        ASSERT_TRUE(manager.ChangeSkin("Good"));
        EXPECT_EQ(client.applied, 1);
        EXPECT_EQ(client.lastWidth, 10);
        EXPECT_EQ(manager.Current()->Folder(), dir.File("Skins") + "/Good");

        EXPECT_FALSE(manager.ChangeSkin("Broken"));
        ASSERT_EQ(messages.messages.size(), 1u);
        EXPECT_EQ(messages.messages[0].text, "Error (0) in line 2");
        EXPECT_EQ(client.applied, 1);
        EXPECT_EQ(client.GetLong("width"), 10);

        ASSERT_TRUE(manager.ChangeSkin("Better"));
        EXPECT_EQ(client.lastWidth, 20);
        ASSERT_NE(client.GetImage("bk"), nullptr);
        EXPECT_EQ(manager.Current()->Images().at("Dlg::bk").users.count(UserOf(window)), 1u);

        // Detach releases the window's images; a detached window is not re-skinned.
        client.Detach();
        EXPECT_EQ(manager.Current()->Images().at("Dlg::bk").handle, nullptr);
        ASSERT_TRUE(manager.ChangeSkin("Good"));
        EXPECT_EQ(client.applied, 2);
        client.Attach(&window);
    }
    // The client's destruction unregistered its window.
    ASSERT_TRUE(manager.ChangeSkin("Better"));
}

TEST_F(SkinStore, SetSectionReappliesTheSkin) {
    dir.Write("Skins/Good/skin.ini", "LONG(A::width, 1)\nLONG(B::width, 2)");
    CSkinManager manager(dir.File("Skins"), "", messages);
    ASSERT_TRUE(manager.ChangeSkin("Good"));
    QWidget window;
    TestClient client("A", &manager);
    client.Attach(&window);
    client.ApplySkin();
    EXPECT_EQ(client.lastWidth, 1);
    client.SetSection("B");
    EXPECT_EQ(client.Section(), "B");
    EXPECT_EQ(client.lastWidth, 2);
}

struct ControlIdCase {
    std::vector<unsigned> children;
    unsigned expected;
};

TEST(FindFreeControlId, FirstUnusedFrom101) {
    const ControlIdCase cases[] = {
        {{}, 101}, {{101, 102}, 103}, {{102}, 101}, {{0, 5, 101, 103}, 102}};
    for (const ControlIdCase& c : cases) {
        QWidget window;
        for (unsigned id : c.children) {
            auto* child = new QWidget(&window);
            if (id != 0) {
                SetControlId(child, id);
            }
        }
        // A grandchild does not occupy its id in this window.
        auto* grandchild = new QWidget(new QWidget(&window));
        SetControlId(grandchild, c.expected);
        TestClient client("X", nullptr);
        client.Attach(&window);
        EXPECT_EQ(client.FindFreeControlId(), c.expected);
        client.Detach();
    }
    QWidget plain;
    EXPECT_EQ(ControlId(&plain), 0u);
}

} // namespace
