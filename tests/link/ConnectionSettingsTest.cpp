#include <filesystem>
#include <map>
#include <string>

#include <QSettings>

#include <gtest/gtest.h>

#include "link/CConnectionSettings.h"
#include "link/RegistryLocation.h"

namespace {

// A settings format that keeps nothing and notes the type each value is written with, as the
// registry is handed it (a 32-bit number becomes a DWORD there, a 64-bit one a QWORD).
std::map<QString, int>& WrittenTypes() {
    static std::map<QString, int> types;
    return types;
}
bool ReadNothing(QIODevice&, QSettings::SettingsMap&) {
    return true;
}
bool NoteTypes(QIODevice&, const QSettings::SettingsMap& values) {
    for (auto it = values.begin(); it != values.end(); ++it) {
        WrittenTypes()[it.key()] = it.value().metaType().id();
    }
    return true;
}

// Points the settings store at a fresh folder for each test.
class ConnectionSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("solvei-link-settings-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        const QString path = QString::fromStdString(dir_.string());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, path);
        QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope, path + "/system");
        QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, path + "/system");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    static QSettings Store() {
        return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Tarrowin", "FALX");
    }

    std::filesystem::path dir_;
};

TEST_F(ConnectionSettingsTest, FirstRunGivesTheFactoryValues) {
    CConnectionSettings s;
    s.ReadRegistry();
    s.Load();
    EXPECT_EQ(s.host, "127.0.0.1");
    EXPECT_EQ(s.port, 1203u);
    EXPECT_EQ(s.portName, "TCP");
    EXPECT_EQ(s.serial, 0u);
    EXPECT_EQ(s.lockCode, 7u);
    EXPECT_EQ(s.data, 3u);
    EXPECT_EQ(s.baud, 1u);
    EXPECT_EQ(s.stop, 0u);
    EXPECT_EQ(s.parity, 0u);
    EXPECT_EQ(s.flow, 0u);
    // The link timing is set only by applying the settings.
    EXPECT_EQ(s.replyTimeoutMs, 0u);
    EXPECT_EQ(s.maxTries, 0u);
}

TEST_F(ConnectionSettingsTest, SavedValuesComeBackAtTheNextStart) {
    struct Case {
        std::string portName;
        std::uint32_t serial;
    };
    for (const Case& c : {Case{"TCP", 0}, Case{"Ethernet", 1}, Case{"COM1", 1}}) {
        SCOPED_TRACE(c.portName);
        {
            CConnectionSettings s;
            s.ReadRegistry();
            s.Load();
            s.host = "processor.local";
            s.port = 4000;
            s.portName = c.portName;
            s.lockCode = 9876;
            s.baud = 2;
            s.Save();
            s.WriteRegistry();
        }
        CConnectionSettings next;
        next.ReadRegistry();
        next.Load();
        EXPECT_EQ(next.host, "processor.local");
        EXPECT_EQ(next.port, 4000u);
        EXPECT_EQ(next.portName, c.portName);
        EXPECT_EQ(next.serial, c.serial);
        EXPECT_EQ(next.lockCode, 9876u);
        EXPECT_EQ(next.baud, 2u);
    }
}

TEST_F(ConnectionSettingsTest, NumbersAreStoredAs32BitValues) {
    const QSettings::Format typed = QSettings::registerFormat("typed", ReadNothing, NoteTypes);
    QSettings::setPath(typed, QSettings::UserScope, QString::fromStdString(dir_.string()));
    RegistryFormat() = typed;
    {
        CConnectionSettings s;
        s.ReadRegistry();
        s.Load();
        s.port = 4000;
        s.lockCode = 9999;
        s.Save();
        s.WriteRegistry();
    }
    RegistryFormat() = QSettings::NativeFormat;
    for (const char* name :
         {"dwPort", "dwFlow", "dwBaud", "dwStop", "dwParity", "dwData", "dwLockCode"}) {
        EXPECT_EQ(WrittenTypes()[QString("Settings/") + name], QMetaType::UInt) << name;
    }
    for (const char* name : {"sHost", "sPortName"}) {
        EXPECT_EQ(WrittenTypes()[QString("Settings/") + name], QMetaType::QString) << name;
    }
}

TEST_F(ConnectionSettingsTest, ReadingWithoutWritingChangesNothing) {
    {
        auto store = Store();
        store.setValue("Settings/dwPort", 5555);
        store.sync();
    }
    CConnectionSettings s;
    s.ReadRegistry();
    s.Load();
    EXPECT_EQ(s.port, 5555u);
    s.port = 1;
    s.host = "10.0.0.1";
    s.Save(); // memory only
    auto store = Store();
    EXPECT_EQ(store.value("Settings/dwPort").toInt(), 5555);
    EXPECT_FALSE(store.contains("Settings/sHost"));
}

TEST_F(ConnectionSettingsTest, UnreadableValuesKeepTheirDefaults) {
    {
        auto store = Store();
        store.setValue("Settings/dwPort", "not a number");
        store.setValue("Settings/dwLockCode", -5);
        store.setValue("Settings/dwBaud", 2);
        store.sync();
    }
    CConnectionSettings s;
    s.ReadRegistry();
    s.Load();
    EXPECT_EQ(s.port, 1203u);
    EXPECT_EQ(s.lockCode, 7u);
    EXPECT_EQ(s.baud, 2u);
}

} // namespace
