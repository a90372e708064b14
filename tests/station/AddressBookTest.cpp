#include <fstream>
#include <string>
#include <vector>

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "station/CAddressBook.h"
#include "station/StationFile.h"

namespace {

// A private settings store and a folder for station files.
class AddressBookTest : public ::testing::Test {
protected:
    AddressBookTest() {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir_.path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_.path());
    }

    std::string WriteFile(const std::string& name, const std::string& text) const {
        const std::string path = dir_.path().toStdString() + "/" + name;
        std::ofstream(path) << text;
        return path;
    }

    static AddressEntry Ethernet(const std::string& name, const std::string& host,
                                 std::uint32_t port, std::uint32_t lock) {
        AddressEntry entry;
        entry.name = name;
        entry.host = host;
        entry.port = port;
        entry.lockCode = lock;
        return entry;
    }

    static std::vector<std::string> Names(const CAddressBook& book) {
        std::vector<std::string> names;
        for (const AddressEntry& entry : book.Entries()) {
            names.push_back(entry.name);
        }
        return names;
    }

    QTemporaryDir dir_;
};

TEST_F(AddressBookTest, EntriesAreStoredBesideTheSettingsAndReadBackWhole) {
    {
        CAddressBook book;
        book.Load();
        ASSERT_EQ(book.Save(Ethernet("FM main", "10.20.0.11", 1203, 4711)),
                  CAddressBook::Result::Done);
        AddressEntry serial;
        serial.name = "  STL   Hilltop ";
        serial.portName = "/dev/serial/by-id/usb-FTDI_FT232R_A9X3-if00-port0";
        ASSERT_EQ(book.Save(serial), CAddressBook::Result::Done);
        book.RememberTypedPath("/dev/pts/7");
    }
    // What another program (the command-line remote) finds in the store.
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Tarrowin", "FALX");
    EXPECT_EQ(store.value("AddressBook/entries/size").toInt(), 2);
    EXPECT_EQ(store.value("AddressBook/entries/1/name").toString(), "FM main");
    EXPECT_EQ(store.value("AddressBook/entries/1/dwLockCode").toUInt(), 4711u);
    EXPECT_FALSE(store.contains("AddressBook/entries/2/dwLockCode"));

    CAddressBook again;
    again.Load();
    const AddressEntry* fm = again.Find("fm MAIN");
    ASSERT_NE(fm, nullptr);
    EXPECT_EQ(fm->name, "FM main");
    EXPECT_EQ(fm->Address(), "10.20.0.11:1203");
    EXPECT_EQ(fm->lockCode.value_or(0), 4711u);
    const AddressEntry* stl = again.Find("STL Hilltop");
    ASSERT_NE(stl, nullptr);
    EXPECT_FALSE(stl->IsEthernet());
    EXPECT_EQ(stl->portName, "/dev/serial/by-id/usb-FTDI_FT232R_A9X3-if00-port0");
    EXPECT_FALSE(stl->lockCode.has_value());
    EXPECT_EQ(again.TypedPaths(), std::vector<std::string>{"/dev/pts/7"});
}

TEST_F(AddressBookTest, AddRenameDeleteRefuseWhatWouldLoseOrConfuseAnEntry) {
    CAddressBook book;
    book.Load();
    EXPECT_EQ(book.Save(Ethernet("   ", "h", 1, 1)), CAddressBook::Result::NoName);
    ASSERT_EQ(book.Save(Ethernet("FM main", "10.0.0.1", 1203, 1)), CAddressBook::Result::Done);
    ASSERT_EQ(book.Save(Ethernet("AM", "10.0.0.2", 1203, 2)), CAddressBook::Result::Done);
    // Saving under a name that exists replaces its way, it does not add a second one.
    ASSERT_EQ(book.Save(Ethernet("fm main", "10.0.0.9", 1300, 3)), CAddressBook::Result::Done);
    EXPECT_EQ(book.Entries().size(), 2u);
    EXPECT_EQ(book.Find("FM main")->Address(), "10.0.0.9:1300");

    EXPECT_EQ(book.Rename("AM", "FM MAIN"), CAddressBook::Result::NameTaken);
    EXPECT_EQ(book.Rename("AM", ""), CAddressBook::Result::NoName);
    EXPECT_EQ(book.Rename("TV", "Radio"), CAddressBook::Result::NotFound);
    EXPECT_EQ(book.Rename("AM", "AM standby"), CAddressBook::Result::Done);
    EXPECT_EQ(book.Remove("Nothing"), CAddressBook::Result::NotFound);
    EXPECT_EQ(book.Remove("fm main"), CAddressBook::Result::Done);

    CAddressBook again;
    again.Load();
    EXPECT_EQ(Names(again), std::vector<std::string>{"AM standby"});
    EXPECT_EQ(again.Find("AM standby")->Address(), "10.0.0.2:1203");
}

TEST_F(AddressBookTest, TheLastUsedComesFirstAcrossRunsAndStationEntries) {
    const std::string station = WriteFile("station.json", R"({"processors": [
            {"name": "stl", "device": "/dev/ttyUSB0", "lock_code": 12},
            {"name": "standby", "host": "10.0.0.5"}]})");
    {
        CAddressBook book;
        book.Load();
        std::string error;
        ASSERT_TRUE(book.LoadStationFile(station, error)) << error;
        ASSERT_EQ(book.Save(Ethernet("Studio 2", "10.0.0.2", 1203, 2)), CAddressBook::Result::Done);
        ASSERT_EQ(book.Save(Ethernet("Studio 1", "10.0.0.1", 1203, 1)), CAddressBook::Result::Done);
        // Never used: own entries before the station's, each by name.
        EXPECT_EQ(Names(book),
                  (std::vector<std::string>{"Studio 1", "Studio 2", "standby", "stl"}));
        book.MarkUsed("Studio 2");
        book.MarkUsed("stl");
        book.MarkUsed("studio 1");
        EXPECT_EQ(Names(book),
                  (std::vector<std::string>{"Studio 1", "stl", "Studio 2", "standby"}));
    }
    CAddressBook again;
    again.Load();
    std::string error;
    ASSERT_TRUE(again.LoadStationFile(station, error)) << error;
    EXPECT_EQ(Names(again), (std::vector<std::string>{"Studio 1", "stl", "Studio 2", "standby"}));
    // A rename keeps the entry's place.
    ASSERT_EQ(again.Rename("Studio 1", "Studio A"), CAddressBook::Result::Done);
    EXPECT_EQ(Names(again).front(), "Studio A");
}

TEST_F(AddressBookTest, TheStationFileIsReadOnlyAndAnOwnEntryOfItsNameWins) {
    const std::string station =
        WriteFile("exporter.json", R"({"listen": "0.0.0.0:9488", "interval": 2, "processors": [
            {"name": "kxyz-fm", "host": "10.20.0.11", "port": 1300, "lock_code": 815},
            {"name": "kxyz-am", "device": "/dev/ttyUSB1", "interval": 2}]})");
    CAddressBook book;
    book.Load();
    std::string error;
    ASSERT_TRUE(book.LoadStationFile(station, error)) << error;
    const AddressEntry* fm = book.Find("KXYZ-FM");
    ASSERT_NE(fm, nullptr);
    EXPECT_EQ(fm->origin, AddressEntry::Origin::Station);
    EXPECT_EQ(fm->Address(), "10.20.0.11:1300");
    EXPECT_EQ(fm->lockCode.value_or(0), 815u);
    const AddressEntry* am = book.Find("kxyz-am");
    ASSERT_NE(am, nullptr);
    EXPECT_EQ(am->portName, "/dev/ttyUSB1");
    EXPECT_FALSE(am->lockCode.has_value());

    EXPECT_EQ(book.Rename("kxyz-am", "AM"), CAddressBook::Result::FromStationFile);
    EXPECT_EQ(book.Remove("kxyz-am"), CAddressBook::Result::FromStationFile);
    ASSERT_EQ(book.Save(Ethernet("kxyz-fm", "127.0.0.1", 1203, 7)), CAddressBook::Result::Done);
    EXPECT_EQ(book.Find("kxyz-fm")->origin, AddressEntry::Origin::Own);
    EXPECT_EQ(book.Find("kxyz-fm")->Address(), "127.0.0.1:1203");
    EXPECT_EQ(book.Entries().size(), 2u);
}

TEST_F(AddressBookTest, ABadStationFileIsNamedInOneLineAndLeavesNoStationEntries) {
    struct Case {
        const char* text;
        const char* says;
    };
    const Case cases[] = {
        {"{\"processors\": [{\"name\": \"fm\", \"host\": \"h\", \"lock_code\": 10000}]}",
         "\"lock_code\" must be a whole number from 0 to 9999"},
        {"{\"processors\": [{\"name\": \"fm\", \"host\": \"h\", \"lock_code\": \"0815\"}]}",
         "\"lock_code\""},
        {"{\"processors\": [{\"name\": \"FM main\", \"host\": \"h\"}]}", "\"name\" must use"},
        {"{\"processors\": [", "line 1, column"},
    };
    for (const Case& c : cases) {
        const std::string path = WriteFile("bad.json", c.text);
        CAddressBook book;
        std::string error;
        EXPECT_FALSE(book.LoadStationFile(path, error)) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_TRUE(book.Entries().empty());
    }
    CAddressBook book;
    std::string error;
    EXPECT_FALSE(book.LoadStationFile(dir_.path().toStdString() + "/missing.json", error));
    EXPECT_NE(error.find("cannot read"), std::string::npos) << error;
}

} // namespace
