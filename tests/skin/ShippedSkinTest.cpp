#include <cstdlib>
#include <string>

#include <QFile>
#include <QWidget>

#include <gtest/gtest.h>

#include "skin/CSkin.h"
#include "skin/SkinFileSource.h"
#include "skin/SkinTestSupport.h"

namespace {

std::string ShippedSkinFolder() {
    const char* source = std::getenv("SOLVEI_SOURCE_DIR");
    return std::string(source != nullptr ? source : SOLVEI_SOURCE_DIR_DEFAULT) + "/skins/Solvei";
}

// Every image and icon that the shipped script names must exist and load, with no error.
TEST(ShippedSkin, ParsesAndEveryNamedFileLoads) {
    const std::string folder = ShippedSkinFolder();
    if (!QFile::exists(QString::fromStdString(folder + "/skin.ini"))) {
        GTEST_SKIP() << "no skin.ini in " << folder;
    }
    RecordingMessageBox messages;
    CSkin skin(std::make_shared<SkinFileSource>(""), messages);
    ASSERT_TRUE(skin.Load(folder));
    EXPECT_FALSE(skin.Numbers().empty());
    QWidget window;
    const auto user = reinterpret_cast<CSkin::User>(&window);
    for (const auto& [key, entry] : skin.Images()) {
        const auto split = key.find("::");
        ASSERT_NE(split, std::string::npos) << key;
        EXPECT_NE(skin.GetImage(key.substr(0, split), key.substr(split + 2), user), nullptr)
            << key << " " << entry.file;
    }
    for (const auto& [key, entry] : skin.Icons()) {
        const auto split = key.find("::");
        ASSERT_NE(split, std::string::npos) << key;
        EXPECT_NE(skin.GetIcon(key.substr(0, split), key.substr(split + 2), user), nullptr)
            << key << " " << entry.file;
    }
    for (const auto& message : messages.messages) {
        ADD_FAILURE() << message.caption << ": " << message.text;
    }
}

} // namespace
