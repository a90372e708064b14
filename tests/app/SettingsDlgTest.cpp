#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QScrollArea>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include "app/CAddressBookPanel.h"
#include "app/CSettingsDlg.h"
#include "link/CConnectionSettings.h"
#include "link/CSerialPort.h"
#include "skin/CSkinManager.h"
#include "skin/SkinTestSupport.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinButtonGroup.h"
#include "widgets/CSkinEdit.h"

namespace fs = std::filesystem;

namespace {

// The shipped skin, a private settings store, device folders of the test's own and a probe
// that answers from a table (names not in it are missing).
class SettingsDlgTest : public ::testing::Test {
protected:
    SettingsDlgTest()
        : skin_(fs::path(SOLVEI_SHIPPED_SKIN).parent_path().string(), std::string(), messages_) {
        const QString store = root_.path() + "/store";
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store);
        devices_ = root_.path().toStdString() + "/dev";
        byId_ = devices_ + "/serial/by-id";
        fs::create_directories(byId_);
        scan_.deviceFolder = devices_;
        scan_.byIdFolder = byId_;
        scan_.probe = [this](const std::string& name) {
            probed_.push_back(name);
            const auto found = ports_.find(name);
            return found == ports_.end() ? PortProbe::Missing : found->second;
        };
        window_.resize(940, 612);
    }

    void SetUp() override {
        ASSERT_TRUE(skin_.ChangeSkin(fs::path(SOLVEI_SHIPPED_SKIN).filename().string()));
    }

    // Values stored by an earlier run.
    static void Store(const char* key, const QVariant& value) {
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Tarrowin", "FALX");
        store.setValue(QStringLiteral("Settings/") + key, value);
    }

    // Starts the panel as the application does: settings read, then the panel created.
    CSettingsDlg& Open() {
        settings_.ReadRegistry();
        settings_.Load();
        dialog_ = std::make_unique<CSettingsDlg>(
            &skin_, settings_, scan_, [this](const std::string& line) { log_.push_back(line); });
        dialog_->Create(&window_);
        window_.show();
        return *dialog_;
    }

    // The captions of the port keys; the typed path key follows them.
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        const auto& buttons = dialog_->Selector()->Buttons();
        EXPECT_EQ(buttons.back()->text(), QString::fromUtf8(CSettingsDlg::kPathCaption));
        for (std::size_t i = 0; i + 1 < buttons.size(); ++i) {
            captions.push_back(buttons[i]->text().toStdString());
        }
        return captions;
    }

    std::string Device(const std::string& name) const {
        const std::string path = devices_ + "/" + name;
        std::ofstream(path).put('\0');
        return path;
    }

    RecordingMessageBox messages_;
    QTemporaryDir root_;
    CSkinManager skin_;
    std::string devices_;
    std::string byId_;
    std::map<std::string, PortProbe> ports_;
    std::vector<std::string> probed_;
    SerialPortScan scan_;
    std::vector<std::string> log_;
    QWidget window_;
    CConnectionSettings settings_;
    std::unique_ptr<CSettingsDlg> dialog_;
};

TEST_F(SettingsDlgTest, FirstRunOffersEthernetAndTheFreeComPorts) {
    ports_ = {{"COM1", PortProbe::Free},   {"COM2", PortProbe::Busy},  {"COM3", PortProbe::Free},
              {"COM4", PortProbe::Denied}, {"COM20", PortProbe::Free}, {"COM21", PortProbe::Free}};
    CSettingsDlg& dialog = Open();

    EXPECT_EQ(dialog.Ports().Names(),
              (std::vector<std::string>{"Ethernet", "COM1", "COM3", "COM20"}));
    EXPECT_EQ(Captions(), dialog.Ports().Names());
    EXPECT_EQ(dialog.Selector()->Selection(), 0);
    EXPECT_EQ(dialog.HostEdit()->text(), "127.0.0.1");
    EXPECT_EQ(dialog.PortEdit()->text(), "1203");
    EXPECT_EQ(dialog.LockCodeEdit()->text(), "0007");
    EXPECT_TRUE(dialog.HostEdit()->isEnabled());
    EXPECT_TRUE(dialog.PortEdit()->isEnabled());
    // COM1 to COM20 in order, each asked once.
    ASSERT_GE(probed_.size(), 20u);
    for (int n = 1; n <= 20; ++n) {
        EXPECT_EQ(probed_[static_cast<std::size_t>(n - 1)], "COM" + std::to_string(n));
    }
    // The port this user may not open is named once, with what to do about it.
    EXPECT_TRUE(log_.empty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log_.empty(); }, 2000));
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_NE(log_[0].find("COM4"), std::string::npos);
    EXPECT_NE(log_[0].find("permission denied"), std::string::npos);
    EXPECT_NE(log_[0].find("dialout"), std::string::npos);
    // The panel sits in the page area with its skinned parts.
    EXPECT_EQ(dialog.geometry().topLeft(), QPoint(284, 226));
    EXPECT_EQ(dialog.Selector()->Caption(), "Connect Via");

    dialog.Apply();
    EXPECT_EQ(settings_.portName, "Ethernet");
    EXPECT_EQ(settings_.serial, 0u);
    EXPECT_EQ(settings_.host, "127.0.0.1");
    EXPECT_EQ(settings_.port, 1203u);
    EXPECT_EQ(settings_.lockCode, 7u);
    EXPECT_EQ(settings_.replyTimeoutMs, 1500u);
    EXPECT_EQ(settings_.pollRate, 15u);
    EXPECT_EQ(settings_.maxTries, 10u);
    EXPECT_EQ(settings_.flow, 0u);
    EXPECT_EQ(settings_.data, 3u);
    EXPECT_EQ(settings_.baud, 1u);
    EXPECT_EQ(settings_.stop, 0u);
    EXPECT_EQ(settings_.parity, 0u);
    EXPECT_TRUE(dialog.CheckValues(messages_));
    EXPECT_TRUE(messages_.messages.empty());
    // Each connect names the port again, for a debug window opened meanwhile.
    ASSERT_EQ(log_.size(), 2u);
    EXPECT_EQ(log_[1], log_[0]);
}

TEST_F(SettingsDlgTest, StoredEthernetIsChosenByNameAndAppliedAsSerialZero) {
    Store("sPortName", "Ethernet");
    Store("sHost", "10.1.2.3");
    Store("dwPort", 4000);
    ports_ = {{"COM1", PortProbe::Free}};
    CSettingsDlg& dialog = Open();
    EXPECT_EQ(settings_.serial, 1u);
    EXPECT_EQ(dialog.Selector()->Selection(), 0);
    EXPECT_TRUE(dialog.HostEdit()->isEnabled());
    EXPECT_EQ(dialog.HostEdit()->text(), "10.1.2.3");
    EXPECT_EQ(dialog.PortEdit()->text(), "4000");
    dialog.Apply();
    EXPECT_EQ(settings_.serial, 0u);
    EXPECT_EQ(settings_.portName, "Ethernet");
    QCoreApplication::processEvents();
    EXPECT_TRUE(log_.empty());

    // What the next start reads back.
    settings_.WriteRegistry();
    CConnectionSettings next;
    next.ReadRegistry();
    next.Load();
    EXPECT_EQ(next.portName, "Ethernet");
    EXPECT_EQ(next.host, "10.1.2.3");
    EXPECT_EQ(next.port, 4000u);
}

TEST_F(SettingsDlgTest, PortsWithoutPermissionShareOneLogLine) {
    const std::string usb0 = Device("ttyUSB0");
    ports_ = {{"COM1", PortProbe::Denied},
              {"COM2", PortProbe::Free},
              {"COM3", PortProbe::Denied},
              {usb0, PortProbe::Denied}};
    CSettingsDlg& dialog = Open();
    EXPECT_EQ(dialog.Ports().Names(), (std::vector<std::string>{"Ethernet", "COM2"}));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log_.empty(); }, 2000));
    QCoreApplication::processEvents();
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0], "Serial ports COM1, COM3, " + usb0 +
                           " exist but cannot be opened: permission denied. Add this user to the "
                           "dialout group and log in again.");
}

TEST_F(SettingsDlgTest, AMissingComPortFallsBackToTheFirstSerialEntry) {
    Store("sPortName", "COM5");
    ports_ = {{"COM2", PortProbe::Free}, {"COM7", PortProbe::Free}};
    CSettingsDlg& dialog = Open();
    EXPECT_EQ(dialog.Ports().Names(), (std::vector<std::string>{"Ethernet", "COM2", "COM7"}));
    EXPECT_EQ(dialog.Selector()->Selection(), 1);
    EXPECT_FALSE(dialog.HostEdit()->isEnabled());
    EXPECT_FALSE(dialog.PortEdit()->isEnabled());
    dialog.Apply();
    EXPECT_EQ(settings_.portName, "COM2");
    EXPECT_EQ(settings_.serial, 1u);
}

TEST_F(SettingsDlgTest, AStoredComPortAndNoSerialPortsLeftAppliesEthernet) {
    Store("sPortName", "COM5");
    CSettingsDlg& dialog = Open();
    EXPECT_EQ(dialog.Ports().Names(), (std::vector<std::string>{"Ethernet"}));
    EXPECT_EQ(dialog.Selector()->Selection(), -1);
    dialog.Apply();
    EXPECT_EQ(settings_.portName, "Ethernet");
    EXPECT_EQ(settings_.serial, 0u);
}

TEST_F(SettingsDlgTest, ChoosingAnEntrySwitchesHostAndPort) {
    ports_ = {{"COM1", PortProbe::Free}, {"COM2", PortProbe::Free}};
    CSettingsDlg& dialog = Open();
    QTest::mouseClick(dialog.Selector()->Buttons()[2].get(), Qt::LeftButton);
    EXPECT_EQ(dialog.Selector()->Selection(), 2);
    // The group tells of a selection from the event loop.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !dialog.HostEdit()->isEnabled(); }, 2000));
    EXPECT_FALSE(dialog.PortEdit()->isEnabled());
    dialog.Select(0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.HostEdit()->isEnabled(); }, 2000));
    EXPECT_TRUE(dialog.PortEdit()->isEnabled());
    dialog.Select(2);
    dialog.Apply();
    EXPECT_EQ(settings_.portName, "COM2");
    EXPECT_EQ(settings_.serial, 2u);
}

TEST_F(SettingsDlgTest, LockCodeAndPortTakeDigitsOnly) {
    CSettingsDlg& dialog = Open();
    for (CSkinEdit* edit : {dialog.LockCodeEdit(), dialog.PortEdit()}) {
        edit->clear();
        QTest::keyClicks(edit, "4a2-b 9.1");
        EXPECT_EQ(edit->text(), "4291");
    }
    dialog.HostEdit()->clear();
    QTest::keyClicks(dialog.HostEdit(), "proc-1.studio");
    EXPECT_EQ(dialog.HostEdit()->text(), "proc-1.studio");
    dialog.Apply();
    EXPECT_EQ(settings_.lockCode, 4291u);
    EXPECT_EQ(settings_.port, 4291u);
    EXPECT_EQ(settings_.host, "proc-1.studio");
}

TEST_F(SettingsDlgTest, AOneDigitLockCodeShowsThreeLeadingZeros) {
    Store("dwLockCode", 5);
    CSettingsDlg& dialog = Open();
    EXPECT_EQ(dialog.LockCodeEdit()->text(), "0005");
    dialog.Apply();
    EXPECT_EQ(settings_.lockCode, 5u);
    EXPECT_TRUE(dialog.CheckValues(messages_));
}

struct CheckCase {
    const char* name;
    const char* lockCode;
    const char* port;
    std::uint32_t storedLockCode;
    std::uint32_t storedPort;
    std::vector<std::string> boxes;
};

// Cases print by name.
void PrintTo(const CheckCase& c, std::ostream* out) {
    *out << c.name;
}

class SettingsCheckTest : public SettingsDlgTest,
                          public ::testing::WithParamInterface<CheckCase> {};

const std::string kPassword = "Check Password. It must be four digits long";
const std::string kPort = "Check Port. It must be six digits long";

TEST_P(SettingsCheckTest, AppliedValuesAreCheckedWithTheirOwnMessages) {
    const CheckCase& c = GetParam();
    CSettingsDlg& dialog = Open();
    dialog.LockCodeEdit()->setText(c.lockCode);
    dialog.PortEdit()->setText(c.port);
    dialog.Apply();
    EXPECT_EQ(dialog.CheckValues(messages_), c.boxes.empty());
    std::vector<std::string> shown;
    for (const auto& message : messages_.messages) {
        shown.push_back(message.text);
        EXPECT_EQ(message.caption, "");
    }
    EXPECT_EQ(shown, c.boxes);
    // The port stays applied either way; a refused lock code is not kept (the factory 7 stays).
    EXPECT_EQ(settings_.lockCode, c.storedLockCode);
    EXPECT_EQ(settings_.port, c.storedPort);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, SettingsCheckTest,
    ::testing::Values(CheckCase{"Fine", "0042", "1203", 42, 1203, {}},
                      CheckCase{"Largest", "9999", "65535", 9999, 65535, {}},
                      CheckCase{"ThreeDigits", "123", "1203", 7, 1203, {kPassword}},
                      CheckCase{"FiveDigits", "12345", "1203", 7, 1203, {kPassword}},
                      CheckCase{"FourDigitsWithZeroes", "0000", "1203", 0, 1203, {}},
                      CheckCase{"NoLockCode", "", "1203", 7, 1203, {kPassword}},
                      CheckCase{"PortAbove", "0042", "70000", 42, 70000, {kPort}},
                      CheckCase{"HugePort", "0042", "99999999999", 42, 4294967295u, {kPort}},
                      CheckCase{"PortZero", "0042", "0", 42, 0, {kPort}},
                      CheckCase{"NoPort", "0042", "", 42, 0, {kPort}},
                      CheckCase{"Both", "12", "65536", 7, 65536, {kPassword, kPort}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsDlgTest, UsbAdaptersFollowTheComPortsByTheirStableNames) {
    const std::string usb0 = Device("ttyUSB0");
    const std::string usb1 = Device("ttyUSB1");
    const std::string usb10 = Device("ttyUSB10");
    const std::string acm0 = Device("ttyACM0");
    const std::string acm1 = Device("ttyACM1");
    Device("ttyS0");
    const std::string ftdi = byId_ + "/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    fs::create_symlink("../../ttyUSB1", ftdi);
    ports_ = {{"COM1", PortProbe::Free}, {ftdi, PortProbe::Free},  {usb0, PortProbe::Free},
              {usb1, PortProbe::Free},   {usb10, PortProbe::Free}, {acm0, PortProbe::Busy},
              {acm1, PortProbe::Free}};
    CSettingsDlg& dialog = Open();
    EXPECT_EQ(dialog.Ports().Names(),
              (std::vector<std::string>{"Ethernet", "COM1", ftdi, usb0, usb10, acm1}));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Ethernet", "COM1", "FTDI_FT\u2026A50285BI",
                                                    "ttyUSB0", "ttyUSB10", "ttyACM1"}));
    EXPECT_EQ(dialog.Selector()->Buttons()[2]->toolTip().toStdString(), ftdi);
    dialog.Select(2);
    dialog.Apply();
    EXPECT_EQ(settings_.portName, ftdi);
    EXPECT_EQ(settings_.serial, 2u);
}

TEST_F(SettingsDlgTest, AStoredPseudoTerminalIsListedAndChosen) {
    // A real pseudo-terminal, reached through a link as the simulator offers it.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    const std::string link = root_.path().toStdString() + "/solvei-serial";
    fs::create_symlink(slave, link);
    Store("sPortName", QString::fromStdString(link));
    // Serial ports as the system has them for COM names; the real probe for paths.
    scan_.probe = [](const std::string& name) {
        return name.front() == '/' ? SerialPortList::ProbePort(name) : PortProbe::Missing;
    };
    EXPECT_EQ(SerialPortList::ProbePort(link), PortProbe::Free);

    CSettingsDlg& dialog = Open();
    EXPECT_EQ(dialog.Ports().Names(), (std::vector<std::string>{"Ethernet", link}));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Ethernet", "solvei-serial"}));
    EXPECT_EQ(dialog.Selector()->Selection(), 1);
    EXPECT_FALSE(dialog.HostEdit()->isEnabled());
    dialog.Apply();
    EXPECT_EQ(settings_.portName, link);
    EXPECT_EQ(settings_.serial, 1u);
    ::close(master);
}

TEST_F(SettingsDlgTest, ATypedDevicePathIsUsedAndSurvivesAnEthernetConnect) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);
    scan_.probe = [](const std::string& name) {
        return name.front() == '/' ? SerialPortList::ProbePort(name) : PortProbe::Missing;
    };
    {
        CSettingsDlg& dialog = Open();
        EXPECT_EQ(Captions(), (std::vector<std::string>{"Ethernet"}));
        const int path = dialog.PathIndex();
        dialog.Select(path);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dialog.PortEdit()->isEnabled(); }, 2000));
        EXPECT_TRUE(dialog.HostEdit()->isEnabled());
        // Something that is no path is refused with its own message.
        dialog.HostEdit()->setText("ttyUSB0");
        dialog.Apply();
        EXPECT_FALSE(dialog.CheckValues(messages_));
        ASSERT_EQ(messages_.messages.size(), 1u);
        EXPECT_EQ(messages_.messages[0].text, CSettingsDlg::kDeviceMessage);
        dialog.HostEdit()->setText(QString::fromStdString(device));
        dialog.Apply();
        EXPECT_EQ(settings_.portName, device);
        EXPECT_EQ(settings_.serial, static_cast<std::uint32_t>(path));
        // The host waited aside and comes back with Ethernet.
        dialog.Select(0);
        ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.PortEdit()->isEnabled(); }, 2000));
        EXPECT_EQ(dialog.HostEdit()->text(), "127.0.0.1");
        dialog.Apply();
        EXPECT_EQ(settings_.portName, "Ethernet");
        EXPECT_EQ(settings_.host, "127.0.0.1");
        settings_.WriteRegistry();
    }
    // The next run offers the typed device by itself, and the path key still holds it.
    CSettingsDlg& next = Open();
    EXPECT_EQ(next.Ports().Names(), (std::vector<std::string>{"Ethernet", device}));
    EXPECT_EQ(next.Selector()->Selection(), 0);
    next.Select(next.PathIndex());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !next.PortEdit()->isEnabled(); }, 2000));
    EXPECT_EQ(next.HostEdit()->text().toStdString(), device);
    ::close(master);
}

TEST_F(SettingsDlgTest, FieldsAreKeptWhenTheProgramEndsWithoutAConnect) {
    CSettingsDlg& dialog = Open();
    dialog.HostEdit()->setText("10.1.2.3");
    dialog.LockCodeEdit()->setText("0042");
    dialog.PortEdit()->setText("0");
    dialog.KeepFields();
    EXPECT_EQ(settings_.host, "10.1.2.3");
    EXPECT_EQ(settings_.lockCode, 42u);
    // A port no connect would take is not kept either.
    EXPECT_EQ(settings_.port, 1203u);
    dialog.LockCodeEdit()->setText("12");
    dialog.PortEdit()->setText("1300");
    dialog.KeepFields();
    EXPECT_EQ(settings_.lockCode, 42u);
    EXPECT_EQ(settings_.port, 1300u);
}

TEST_F(SettingsDlgTest, ManyPortsScrollInsideTheSelectorAboveTheFields) {
    // Twenty COM ports and eight USB adapters: far more keys than fit.
    for (int n = 1; n <= 20; ++n) {
        ports_["COM" + std::to_string(n)] = PortProbe::Free;
    }
    for (int n = 0; n < 8; ++n) {
        ports_[Device("ttyUSB" + std::to_string(n))] = PortProbe::Free;
    }
    CSettingsDlg& dialog = Open();
    ASSERT_EQ(dialog.Selector()->Buttons().size(), 30u);
    const QRect area = dialog.SelectorArea()->geometry();
    EXPECT_GT(dialog.Selector()->height(), area.height());
    // Nothing of the selector reaches the address book row or the fields under it.
    for (QWidget* below : {static_cast<QWidget*>(dialog.Book()->NameEdit()),
                           static_cast<QWidget*>(dialog.HostEdit())}) {
        EXPECT_LT(area.bottom(), below->geometry().top());
    }
    // The last key comes into sight when it takes the focus, and is chosen as usual.
    CSkinButton* last = dialog.Selector()->Buttons().back().get();
    dialog.activateWindow();
    last->setFocus();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QRect shown(last->mapTo(dialog.SelectorArea()->viewport(), QPoint(0, 0)),
                              last->size());
            return dialog.SelectorArea()->viewport()->rect().contains(shown);
        },
        2000));
    QTest::mouseClick(last, Qt::LeftButton);
    EXPECT_EQ(dialog.Selector()->Selection(), dialog.PathIndex());
}

TEST_F(SettingsDlgTest, AStoredDeviceThatIsGoneIsNotListed) {
    Store("sPortName", root_.path() + "/no-such-device");
    CSettingsDlg& dialog = Open();
    EXPECT_EQ(dialog.Ports().Names(), (std::vector<std::string>{"Ethernet"}));
}

// The real probe on real devices: a pseudo-terminal free, then held by another open port,
// a path with no device, and a device this user may not open.
TEST(SerialPortProbeTest, TellsFreeBusyMissingAndDeniedApart) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    EXPECT_EQ(SerialPortList::ProbePort(slave), PortProbe::Free);
    {
        asio::io_context io;
        CSerialPort holder(io);
        ASSERT_EQ(holder.Open(slave), 0);
        EXPECT_EQ(SerialPortList::ProbePort(slave), PortProbe::Busy);
    }
    EXPECT_EQ(SerialPortList::ProbePort(slave), PortProbe::Free);
    ::close(master);

    QTemporaryDir dir;
    EXPECT_EQ(SerialPortList::ProbePort(dir.path().toStdString() + "/ttyUSB9"), PortProbe::Missing);
    EXPECT_EQ(SerialPortList::ProbePort("COM999"), PortProbe::Missing);
    if (::geteuid() != 0) {
        // Root opens anything; for everyone else a device without rights is denied.
        const std::string locked = dir.path().toStdString() + "/ttyUSB0";
        std::ofstream(locked).put('x');
        fs::permissions(locked, fs::perms::none);
        EXPECT_EQ(SerialPortList::ProbePort(locked), PortProbe::Denied);
    }
}

struct CaptionCase {
    const char* name;
    const char* caption;
};

// Cases print by name.
void PrintTo(const CaptionCase& c, std::ostream* out) {
    *out << c.name;
}

class PortCaptionTest : public ::testing::TestWithParam<CaptionCase> {};

TEST_P(PortCaptionTest, ShortCaptionsForPaths) {
    EXPECT_EQ(SerialPortList::Caption(GetParam().name), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, PortCaptionTest,
    ::testing::Values(
        CaptionCase{"COM3", "COM3"}, CaptionCase{"Ethernet", "Ethernet"},
        CaptionCase{"/dev/ttyUSB0", "ttyUSB0"}, CaptionCase{"/dev/pts/4", "pts/4"},
        CaptionCase{"/dev/serial/by-id/usb-Prolific_PL2303-if00-port0", "Prolific_PL2303"},
        CaptionCase{"/dev/serial/by-id/usb-Arduino_Uno_1234-if02", "Arduino_Uno_1234"},
        CaptionCase{"/dev/serial/by-id/pci-Board-ifx", "pci-Board-ifx"},
        CaptionCase{"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                    "FTDI_FT\u2026A50285BI"},
        CaptionCase{"/dev/serial/by-id/usb-0123456789ABCDEF-if00", "0123456789ABCDEF"},
        CaptionCase{"/dev/serial/by-id/usb-0123456789ABCDEFG-if00", "0123456\u20269ABCDEFG"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

} // namespace
