#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <string>

#include <QAction>
#include <QTest>

#include <gtest/gtest.h>

#include "app/AppFixture.h"
#include "app/CAddressBookPanel.h"
#include "app/CSettingsDlg.h"
#include "link/CLinkEngine.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinButtonGroup.h"
#include "widgets/CSkinEdit.h"
#include "widgets/CSkinMenu.h"

namespace {

// The address book on the real main window, connecting to a real simulator over UDP.
class AddressBookWindowTest : public AppFixture {
protected:
    void SetUp() override {
        AppFixture::SetUp();
        // No station file unless a test writes one.
        ::setenv("SOLVEI_STATION_FILE", Path("station.json").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("SOLVEI_STATION_FILE");
        AppFixture::TearDown();
    }

    CSettingsDlg& Panel() { return *window_->SettingsPanel(); }
    CAddressBookPanel& Book() { return *Panel().Book(); }

    // Chooses a row of the list as the operator does: open it, trigger the row.
    bool ChooseFromList(const std::string& name) {
        QTest::mouseClick(Book().Key(CAddressBookPanel::kListId), Qt::LeftButton);
        for (QAction* row : Book().List()->actions()) {
            if (row->text().startsWith(QString::fromStdString(name) + "   ")) {
                row->trigger();
                Book().List()->hide();
                return true;
            }
        }
        return false;
    }
};

TEST_F(AddressBookWindowTest, TheTitleAndFootLineNameTheProcessorWhileConnected) {
    StartSim({"--firmware", "123", "--lock", "4711"});
    const std::string address = "127.0.0.1:" + std::to_string(settings_.port);
    CDlgMain& w = OpenWindow();
    w.show();
    const QString idle = w.windowTitle();
    EXPECT_EQ(idle, "Solvei Remote");
    EXPECT_EQ(w.FootLine(), "");

    // Kept under a name: the sim's way with its lock code.
    Panel().LockCodeEdit()->setText("4711");
    QTest::keyClicks(Book().NameEdit(), "FM main");
    QTest::mouseClick(Book().Key(CAddressBookPanel::kSaveId), Qt::LeftButton);
    ASSERT_NE(Panel().AddressBook().Find("FM main"), nullptr);
    // The fields wander off; choosing the entry brings its way and lock code back.
    Panel().HostEdit()->setText("10.9.9.9");
    Panel().LockCodeEdit()->setText("0000");
    Book().NameEdit()->clear();
    ASSERT_TRUE(ChooseFromList("FM main"));
    EXPECT_EQ(Panel().HostEdit()->text(), "127.0.0.1");
    EXPECT_EQ(Panel().LockCodeEdit()->text(), "4711");
    EXPECT_EQ(Book().NameEdit()->text(), "FM main");

    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(w.Engine().IsConnected()) << (dialogs_.Texts().empty() ? "" : dialogs_.Texts()[0]);
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("FM main \u2014 Solvei V1.23"));
    EXPECT_EQ(w.FootLine(), QString::fromStdString("FM main  \u00B7  " + address));
    EXPECT_EQ(Panel().EntryInUse(), "FM main");

    w.OnConnectClicked(); // disconnect
    // The title no longer claims a version once the window shows the link down.
    EXPECT_TRUE(AppFixture::WaitFor([&] { return w.windowTitle() == idle; }))
        << w.windowTitle().toStdString();
    ASSERT_FALSE(w.Engine().IsConnected());
    EXPECT_EQ(w.FootLine(), "");

    // Fields that are no entry's: the address alone, no name claimed.
    Panel().HostEdit()->setText("localhost");
    ASSERT_TRUE(ConnectAndWait());
    ASSERT_TRUE(w.Engine().IsConnected());
    EXPECT_EQ(w.windowTitle(), "Solvei V1.23");
    EXPECT_EQ(w.FootLine(), QString::fromStdString("localhost:" + std::to_string(settings_.port)));
}

TEST_F(AddressBookWindowTest, AStationEntryConnectsAndComesFirstNextTime) {
    StartSim({"--lock", "815"});
    std::ofstream(Path("station.json"))
        << R"({"processors": [{"name": "kxyz-fm", "host": "127.0.0.1", "port": )" << settings_.port
        << R"(, "lock_code": 815}, {"name": "kxyz-am", "host": "10.0.0.2"}]})";
    {
        CDlgMain& w = OpenWindow();
        w.show();
        ASSERT_EQ(Book().ListedEntries().size(), 2u);
        EXPECT_EQ(Book().ListedEntries()[0].name, "kxyz-am"); // by name while unused
        Panel().HostEdit()->setText("10.1.1.1");
        ASSERT_TRUE(ChooseFromList("kxyz-fm"));
        ASSERT_TRUE(ConnectAndWait());
        ASSERT_TRUE(w.Engine().IsConnected());
        EXPECT_TRUE(w.windowTitle().startsWith("kxyz-fm \u2014 Solvei V"))
            << w.windowTitle().toStdString();
        // The station entry cannot be renamed or deleted here.
        w.OnConnectClicked();
        ASSERT_TRUE(AppFixture::WaitFor([&] { return w.SettingsPanel()->isVisible(); }));
        QTest::mouseClick(Book().Key(CAddressBookPanel::kDeleteId), Qt::LeftButton);
        EXPECT_NE(Panel().Notice().indexOf("station file"), -1) << Panel().Notice().toStdString();
        EXPECT_NE(Panel().AddressBook().Find("kxyz-fm"), nullptr);
        window_.reset();
    }
    // The settings of that connect are the entry's: its name is shown again at the start.
    settings_.Load();
    CDlgMain& again = OpenWindow();
    (void)again;
    EXPECT_EQ(Book().ListedEntries()[0].name, "kxyz-fm");
    EXPECT_EQ(Book().NameEdit()->text(), "kxyz-fm");
}

TEST_F(AddressBookWindowTest, ExitWithoutAConnectKeepsWhatTheFieldsShow) {
    CDlgMain& w = OpenWindow();
    w.show();
    Panel().HostEdit()->setText("10.20.0.11");
    Panel().LockCodeEdit()->setText("0815");
    w.OnExitClicked();
    EXPECT_EQ(settings_.host, "10.20.0.11");
    EXPECT_EQ(settings_.lockCode, 815u);
}

} // namespace
