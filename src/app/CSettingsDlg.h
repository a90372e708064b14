#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <QString>
#include <QStringList>

#include "app/SerialPortList.h"
#include "station/AddressEntry.h"
#include "station/CAddressBook.h"
#include "widgets/CSkinDialog.h"

class CAddressBookPanel;
class CConnectionSettings;
class CSkinButtonGroup;
class CSkinEdit;
class CSkinManager;
class IMessageBox;
class QScrollArea;

// The connection settings panel (section "Settings"): the port selector ("ConnectGroup"),
// host, port and lock code. It edits the one settings record.
//
// Use: the main window constructs it with the skin manager and the settings record (and a
// log sink for the debug log), calls Create(mainWindow) once, which builds the port list and
// fills the controls from the record, and shows or hides it for the offline view. Connect
// calls Apply() and then CheckValues(boxes); only when that returns true does a connection
// start.
class CSettingsDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr unsigned kSelectorId = 1050;
    static constexpr unsigned kHostId = 1051;
    static constexpr unsigned kPortId = 1052;
    static constexpr unsigned kLockCodeId = 1053;
    static constexpr const char* kPasswordMessage = "Check Password. It must be four digits long";
    static constexpr const char* kPortMessage = "Check Port. It must be six digits long";
    static constexpr const char* kDeviceMessage =
        "Check Device. It must be a full path such as /dev/ttyUSB0";
    // The last key of the selector: a device path typed into the host field.
    static constexpr const char* kPathCaption = "Path\u2026";
    static constexpr const char* kPathLabel = "Device path";

    using LogSink = SerialPortList::LogSink;

    CSettingsDlg(CSkinManager* manager, CConnectionSettings& settings, SerialPortScan scan = {},
                 LogSink log = {});
    ~CSettingsDlg() override;

    // Creates the panel as a child of parent and initialises it from the settings record.
    void Create(QWidget* parent);

    // Writes the controls into the record with the fixed link timing and serial line, and
    // saves it. With no port selected the record says Ethernet. A lock code that is not four
    // digits is not kept (the record keeps the one before). Ports that may not be opened
    // for lack of permission are named in the log each time (and once after Create).
    void Apply();
    // The program ends without a connect: what the fields hold is kept as Apply would keep
    // it, except values a connect would refuse (port 0 or above 65535, a path that is none).
    void KeepFields();
    // Tells the operator what is wrong with the applied lock code and port, each in its own
    // box with an empty caption; true when both are fine.
    [[nodiscard]] bool CheckValues(IMessageBox& boxes) const;
    // Chooses entry index as a click on it does.
    void Select(int index);
    // A notice for the operator in place of the help line (empty: the help line again).
    void SetNotice(const QString& text);
    [[nodiscard]] QString Notice() const;

    [[nodiscard]] QString LockCodeText() const;
    // The way and lock code the fields show, as an address book entry without a name.
    [[nodiscard]] AddressEntry Fields() const;
    // Puts an entry's way and lock code into the fields (its lock code only when it has one).
    void ShowEntry(const AddressEntry& entry);
    // The address book entry the last Apply connected to ("" when the fields were no entry's)
    // and the address it applied: host:port, or the port name.
    [[nodiscard]] const std::string& EntryInUse() const { return entryInUse_; }
    [[nodiscard]] std::string AddressInUse() const;
    // The selector's index of the typed path key.
    [[nodiscard]] int PathIndex() const { return static_cast<int>(ports_.Names().size()); }
    [[nodiscard]] CAddressBookPanel* Book() const { return bookPanel_.get(); }
    [[nodiscard]] const CAddressBook& AddressBook() const { return book_; }
    [[nodiscard]] const SerialPortList& Ports() const { return ports_; }
    [[nodiscard]] CSkinButtonGroup* Selector() const { return selector_.get(); }
    // The place of the selector on the panel, which it scrolls inside when it is taller.
    [[nodiscard]] QScrollArea* SelectorArea() const { return selectorArea_.get(); }
    [[nodiscard]] CSkinEdit* HostEdit() const { return host_.get(); }
    [[nodiscard]] CSkinEdit* PortEdit() const { return port_.get(); }
    [[nodiscard]] CSkinEdit* LockCodeEdit() const { return lockCode_.get(); }

signals:
    // Enter was pressed in one of the fields.
    void connectRequested();

private:
    void Initialise();
    void LoadAddressBook();
    void FitSelector(const QStringList& captions);
    void EnableHostAndPort(int selection);
    // Fields into the record; connecting: as Apply, else as KeepFields.
    void WriteFields(bool connecting);
    [[nodiscard]] QString HostText() const;
    [[nodiscard]] QString PathText() const;
    void Log(const std::string& line) const;

    CConnectionSettings& settings_;
    SerialPortList ports_;
    LogSink log_;
    // Declared before the selector: the selector goes first, then the area it sat in.
    std::unique_ptr<QScrollArea> selectorArea_;
    std::unique_ptr<CSkinButtonGroup> selector_;
    std::unique_ptr<CSkinEdit> host_;
    std::unique_ptr<CSkinEdit> port_;
    std::unique_ptr<CSkinEdit> lockCode_;
    CAddressBook book_;
    std::unique_ptr<CAddressBookPanel> bookPanel_;
    std::string entryInUse_;
    // The host field shows the typed path while the path key is chosen; the other text waits.
    bool showingPath_ = false;
    QString hostText_;
    QString pathText_;
    QString hostLabel_;
};
