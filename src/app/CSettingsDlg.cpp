#include "app/CSettingsDlg.h"

#include <algorithm>
#include <filesystem>
#include <limits>

#include <QApplication>
#include <QRegularExpression>
#include <QScrollArea>
#include <QRegularExpressionValidator>
#include <QTimer>

#include "app/CAddressBookPanel.h"
#include "link/CConnectionSettings.h"
#include "skin/CSkin.h"
#include "skin/CSkinManager.h"
#include "skin/IMessageBox.h"
#include "station/StationFile.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinButtonGroup.h"
#include "widgets/CSkinEdit.h"
#include "widgets/CSkinStatic.h"

namespace {

// The number the digits at the start of text spell, held at the largest 32-bit value when
// it is larger; 0 without digits.
std::uint32_t LeadingNumber(const QString& text) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    std::uint64_t value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            break;
        }
        value = std::min<std::uint64_t>(value * 10 + static_cast<unsigned>(c.digitValue()), kMax);
    }
    return static_cast<std::uint32_t>(value);
}

// Four digits, as the processor takes them.
bool IsLockCode(const QString& text) {
    return text.size() == 4 && LeadingNumber(text) <= 9999 &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

QString FourDigits(std::uint32_t code) {
    return QStringLiteral("%1").arg(code, 4, 10, QLatin1Char('0'));
}

bool IsDevicePath(const std::string& path) {
    return path.size() > 1 && path.front() == '/';
}

CSkinStatic* StaticOf(const CSkinDialog& dialog, const char* section) {
    for (CSkinStatic* text : dialog.Statics()) {
        if (text->Section() == section) {
            return text;
        }
    }
    return nullptr;
}

} // namespace

CSettingsDlg::CSettingsDlg(CSkinManager* manager, CConnectionSettings& settings,
                           SerialPortScan scan, LogSink log)
    : CSkinDialog("Settings", manager), settings_(settings), ports_(std::move(scan)),
      log_(std::move(log)) {}

CSettingsDlg::~CSettingsDlg() = default;

void CSettingsDlg::Create(QWidget* parent) {
    CSkinDialog::Create(parent, std::nullopt, false);
    Initialise();
}

void CSettingsDlg::Initialise() {
    // The selector scrolls inside its place when its rows grow taller than the skin allows
    // ("ConnectGroup::max_height"), so many ports never cover the fields below it.
    CSkin* skin = Manager()->Current();
    const QPoint place = skin != nullptr ? QPoint(skin->GetLong("ConnectGroup", "offset_left"),
                                                  skin->GetLong("ConnectGroup", "offset_top"))
                                         : QPoint();
    selectorArea_ = std::make_unique<QScrollArea>(this);
    selectorArea_->setFrameShape(QFrame::NoFrame);
    selectorArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    selectorArea_->setFocusPolicy(Qt::NoFocus);
    selectorArea_->viewport()->setAutoFillBackground(false);
    selectorArea_->setStyleSheet(QStringLiteral(
        "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"
        "QScrollBar:vertical { background: #0C0F11; width: 8px; margin: 0; }"
        "QScrollBar::handle:vertical { background: #D68A1E; min-height: 16px; border-radius: 3px; }"
        "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"));
    auto* rows = new QWidget; // owned by the area
    rows->setAutoFillBackground(false);
    selectorArea_->setWidget(rows);
    selectorArea_->move(place);
    selector_ = std::make_unique<CSkinButtonGroup>(Manager(), "ConnectGroup");
    selector_->Create(rows, kSelectorId, -place);
    // A key reached by Tab or the arrows scrolls into sight.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now != nullptr && selector_ != nullptr && now->parentWidget() == selector_.get()) {
            selectorArea_->ensureWidgetVisible(now, 0, 4);
        }
    });
    host_ = std::make_unique<CSkinEdit>("SettingsHost", Manager());
    host_->Create(this, kHostId);
    port_ = std::make_unique<CSkinEdit>("SettingsPort", Manager());
    port_->Create(this, kPortId);
    lockCode_ = std::make_unique<CSkinEdit>("SettingsCode", Manager());
    lockCode_->Create(this, kLockCodeId);
    // Enter in any field connects, as the Connect key does.
    for (CSkinEdit* field : {host_.get(), port_.get(), lockCode_.get()}) {
        connect(field, &QLineEdit::returnPressed, this, &CSettingsDlg::connectRequested);
    }
    settings_.Load();
    LoadAddressBook();

    ports_.Build(settings_.portName, book_.TypedPaths());
    if (!ports_.PermissionNote().empty()) {
        // Told from the event loop: the owner may still be building its other windows,
        // the debug window among them.
        QTimer::singleShot(0, this, [this] { Log(ports_.PermissionNote()); });
    }

    const std::vector<std::string>& names = ports_.Names();
    QStringList captions;
    for (const std::string& name : names) {
        captions << QString::fromStdString(SerialPortList::Caption(name));
    }
    captions << QString::fromUtf8(kPathCaption);
    selector_->SetButtons(captions);
    FitSelector(captions);
    selector_->Buttons().back()->setToolTip(
        QStringLiteral("A device path typed in the field below, such as /dev/pts/3"));
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i].front() == '/') {
            selector_->Buttons()[i]->setToolTip(QString::fromStdString(names[i]));
        }
    }
    int selection = -1;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == settings_.portName) {
            selection = static_cast<int>(i);
        }
    }
    if (selection < 0 && settings_.serial < names.size()) {
        selection = static_cast<int>(settings_.serial);
    }
    // The last path typed waits in the path key's field, present or not.
    pathText_ = QString::fromStdString(book_.TypedPaths().empty() ? std::string()
                                                                  : book_.TypedPaths().front());
    if (IsDevicePath(settings_.portName) && selection < 0) {
        pathText_ = QString::fromStdString(settings_.portName);
    }
    selector_->SetSelection(selection);
    connect(selector_.get(), &CSkinButtonGroup::selected, this,
            [this](unsigned, int index) { EnableHostAndPort(index); });

    const auto digitsOnly = [this] {
        return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    };
    lockCode_->setValidator(digitsOnly());
    port_->setValidator(digitsOnly());
    if (CSkinStatic* label = StaticOf(*this, "SetStaticHost")) {
        hostLabel_ = label->Caption();
    }

    host_->setText(QString::fromStdString(settings_.host));
    EnableHostAndPort(selection);
    port_->setText(QString::number(settings_.port));
    QString code = QString::number(settings_.lockCode);
    while (code.size() < 4) {
        code.prepend(QLatin1Char('0'));
    }
    lockCode_->setText(code);

    CAddressBookPanel::Fields fields;
    fields.read = [this] { return Fields(); };
    fields.show = [this](const AddressEntry& entry) { ShowEntry(entry); };
    fields.notice = [this](const QString& text) { SetNotice(text); };
    bookPanel_ = std::make_unique<CAddressBookPanel>(Manager(), book_, std::move(fields));
    bookPanel_->Create(this);
    bookPanel_->NameMatching(Fields());
}

void CSettingsDlg::FitSelector(const QStringList& captions) {
    CSkin* skin = Manager()->Current();
    const int width = skin != nullptr ? skin->GetLong("ConnectGroup", "width") : selector_->width();
    const int most = skin != nullptr ? skin->GetLong("ConnectGroup", "max_height") : 0;
    if (most > 0 && selector_->height() > most) {
        // Narrower by the scroll bar, so no key hides beneath it.
        selector_->SetButtons(captions, width - 10);
        selectorArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        selectorArea_->resize(width, most);
    } else {
        selectorArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        selectorArea_->resize(width, selector_->height());
    }
    selectorArea_->widget()->resize(selector_->size());
}

void CSettingsDlg::LoadAddressBook() {
    book_.Load();
    const std::string station = StationFile::DefaultPath();
    std::error_code ec;
    std::string error;
    // No station file is usual; one that cannot be used is told.
    if (std::filesystem::exists(station, ec) && !book_.LoadStationFile(station, error)) {
        QTimer::singleShot(0, this, [this, error] {
            Log("Station file not used: " + error);
            SetNotice(QString::fromStdString("Station file not used: " + error));
        });
    }
}

void CSettingsDlg::EnableHostAndPort(int selection) {
    const bool path = selection == PathIndex();
    if (path != showingPath_) {
        // The host field holds the typed path while the path key is chosen.
        if (path) {
            hostText_ = host_->text();
            host_->setText(pathText_);
        } else {
            pathText_ = host_->text();
            host_->setText(hostText_);
        }
        showingPath_ = path;
        if (CSkinStatic* label = StaticOf(*this, "SetStaticHost")) {
            label->SetCaption(path ? QString::fromLatin1(kPathLabel) : hostLabel_);
        }
    }
    const bool ethernet = selection == 0;
    host_->setEnabled(ethernet || path);
    port_->setEnabled(ethernet);
}

QString CSettingsDlg::HostText() const {
    return showingPath_ ? hostText_ : host_->text();
}

QString CSettingsDlg::PathText() const {
    return (showingPath_ ? host_->text() : pathText_).trimmed();
}

AddressEntry CSettingsDlg::Fields() const {
    AddressEntry entry;
    const int selection = selector_->Selection();
    const std::vector<std::string>& names = ports_.Names();
    if (selection == PathIndex()) {
        entry.portName = PathText().toStdString();
    } else if (selection > 0 && static_cast<std::size_t>(selection) < names.size()) {
        entry.portName = names[static_cast<std::size_t>(selection)];
    }
    entry.host = HostText().toStdString();
    entry.port = LeadingNumber(port_->text());
    if (IsLockCode(lockCode_->text())) {
        entry.lockCode = LeadingNumber(lockCode_->text());
    }
    return entry;
}

void CSettingsDlg::ShowEntry(const AddressEntry& entry) {
    const std::vector<std::string>& names = ports_.Names();
    int selection = entry.IsEthernet() ? 0 : -1;
    for (std::size_t i = 1; i < names.size() && selection < 0; ++i) {
        if (names[i] == entry.portName) {
            selection = static_cast<int>(i);
        }
    }
    if (selection < 0 && IsDevicePath(entry.portName)) {
        selection = PathIndex();
    }
    if (selection < 0) {
        SetNotice(QStringLiteral("%1 is not present on this computer.")
                      .arg(QString::fromStdString(entry.portName)));
        return;
    }
    selector_->SetSelection(selection);
    if (entry.IsEthernet()) {
        EnableHostAndPort(0);
        host_->setText(QString::fromStdString(entry.host));
        port_->setText(QString::number(entry.port));
    } else if (selection == PathIndex()) {
        EnableHostAndPort(selection);
        host_->setText(QString::fromStdString(entry.portName));
    } else {
        EnableHostAndPort(selection);
    }
    if (entry.lockCode) {
        lockCode_->setText(FourDigits(*entry.lockCode));
    }
}

std::string CSettingsDlg::AddressInUse() const {
    return settings_.serial == 0 ? settings_.host + ":" + std::to_string(settings_.port)
                                 : settings_.portName;
}

void CSettingsDlg::Select(int index) {
    if (selector_ == nullptr) {
        return;
    }
    const auto& buttons = selector_->Buttons();
    if (index >= 0 && static_cast<std::size_t>(index) < buttons.size()) {
        buttons[static_cast<std::size_t>(index)]->click();
    }
}

QString CSettingsDlg::LockCodeText() const {
    return lockCode_ != nullptr ? lockCode_->text() : QString();
}

void CSettingsDlg::Apply() {
    if (selector_ == nullptr) {
        return; // not created: the record stays as it is
    }
    WriteFields(true);
    entryInUse_ = bookPanel_->OnApplied(Fields());
    if (settings_.serial != 0 && IsDevicePath(settings_.portName) &&
        selector_->Selection() == PathIndex()) {
        book_.RememberTypedPath(settings_.portName);
    }
    // Said again at every connect, so that an open debug window shows why a port is missing.
    if (!ports_.PermissionNote().empty()) {
        Log(ports_.PermissionNote());
    }
}

void CSettingsDlg::KeepFields() {
    if (selector_ != nullptr) {
        WriteFields(false);
    }
}

void CSettingsDlg::WriteFields(bool connecting) {
    const std::uint32_t port = LeadingNumber(port_->text());
    const int selection = selector_->Selection();
    const std::vector<std::string>& names = ports_.Names();
    // Without a selection (the stored port is gone and no serial port is left) the record
    // says Ethernet, so a port name always comes from the list with serial 0 exactly for it.
    if (selection == PathIndex()) {
        const std::string path = PathText().toStdString();
        if (connecting || IsDevicePath(path)) {
            settings_.serial = static_cast<std::uint32_t>(selection);
            settings_.portName = path;
        }
    } else if (selection > 0 && static_cast<std::size_t>(selection) < names.size()) {
        settings_.serial = static_cast<std::uint32_t>(selection);
        settings_.portName = names[static_cast<std::size_t>(selection)];
    } else {
        settings_.serial = 0;
        settings_.portName = SerialPortList::kEthernet;
    }
    if (connecting || (port > 0 && port <= 65535)) {
        settings_.port = port;
    }
    settings_.host = HostText().toStdString();
    // A lock code the processor could not take is refused at the connect and not kept.
    if (IsLockCode(lockCode_->text())) {
        settings_.lockCode = LeadingNumber(lockCode_->text());
    }
    settings_.SetLinkDefaults();
    settings_.Save();
}

void CSettingsDlg::Log(const std::string& line) const {
    if (log_) {
        log_(line);
    }
}

bool CSettingsDlg::CheckValues(IMessageBox& boxes) const {
    bool fine = true;
    if (!IsLockCode(LockCodeText())) {
        boxes.Show(kPasswordMessage, "", IMessageBox::Icon::None);
        fine = false;
    }
    if (settings_.port > 65535 || (settings_.serial == 0 && settings_.port == 0)) {
        boxes.Show(kPortMessage, "", IMessageBox::Icon::None);
        fine = false;
    }
    if (settings_.serial != 0 && !IsDevicePath(settings_.portName) &&
        settings_.portName.rfind("COM", 0) != 0) {
        boxes.Show(kDeviceMessage, "", IMessageBox::Icon::None);
        fine = false;
    }
    return fine;
}

void CSettingsDlg::SetNotice(const QString& text) {
    CSkinStatic* notice = StaticOf(*this, "SetNotice");
    CSkinStatic* help = StaticOf(*this, "SetCommand");
    if (notice == nullptr) {
        return;
    }
    notice->SetCaption(text);
    notice->setVisible(!text.isEmpty());
    if (help != nullptr) {
        help->setVisible(text.isEmpty());
    }
}

QString CSettingsDlg::Notice() const {
    const CSkinStatic* notice = StaticOf(*this, "SetNotice");
    return notice != nullptr && notice->isVisibleTo(this) ? notice->Caption() : QString();
}
