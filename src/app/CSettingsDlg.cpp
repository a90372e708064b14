#include "app/CSettingsDlg.h"

#include <limits>

#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QTimer>

#include "link/CConnectionSettings.h"
#include "skin/IMessageBox.h"
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
    selector_ = std::make_unique<CSkinButtonGroup>(Manager(), "ConnectGroup");
    selector_->Create(this, kSelectorId, QPoint(0, 0));
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

    ports_.Build(settings_.portName);
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
    selector_->SetButtons(captions);
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
    selector_->SetSelection(selection);
    connect(selector_.get(), &CSkinButtonGroup::selected, this,
            [this](unsigned, int index) { EnableHostAndPort(index); });

    const auto digitsOnly = [this] {
        return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    };
    lockCode_->setValidator(digitsOnly());
    port_->setValidator(digitsOnly());
    EnableHostAndPort(selection);

    host_->setText(QString::fromStdString(settings_.host));
    port_->setText(QString::number(settings_.port));
    QString code = QString::number(settings_.lockCode);
    while (code.size() < 4) {
        code.prepend(QLatin1Char('0'));
    }
    lockCode_->setText(code);
}

void CSettingsDlg::EnableHostAndPort(int selection) {
    const bool ethernet = selection == 0;
    host_->setEnabled(ethernet);
    port_->setEnabled(ethernet);
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
    const std::uint32_t lockCode = LeadingNumber(lockCode_->text());
    const std::uint32_t port = LeadingNumber(port_->text());
    const int selection = selector_->Selection();
    const std::vector<std::string>& names = ports_.Names();
    // Without a selection (the stored port is gone and no serial port is left) the record
    // says Ethernet, so a port name always comes from the list with serial 0 exactly for it.
    if (selection > 0 && static_cast<std::size_t>(selection) < names.size()) {
        settings_.serial = static_cast<std::uint32_t>(selection);
        settings_.portName = names[static_cast<std::size_t>(selection)];
    } else {
        settings_.serial = 0;
        settings_.portName = SerialPortList::kEthernet;
    }
    settings_.port = port;
    settings_.host = host_->text().toStdString();
    settings_.lockCode = lockCode;
    settings_.SetLinkDefaults();
    settings_.Save();
    // Said again at every connect, so that an open debug window shows why a port is missing.
    if (!ports_.PermissionNote().empty()) {
        Log(ports_.PermissionNote());
    }
}

void CSettingsDlg::Log(const std::string& line) const {
    if (log_) {
        log_(line);
    }
}

bool CSettingsDlg::CheckValues(IMessageBox& boxes) const {
    bool fine = true;
    if (settings_.lockCode > 9999 || LockCodeText().size() != 4) {
        boxes.Show(kPasswordMessage, "", IMessageBox::Icon::None);
        fine = false;
    }
    if (settings_.port > 65535) {
        boxes.Show(kPortMessage, "", IMessageBox::Icon::None);
        fine = false;
    }
    return fine;
}

namespace {

CSkinStatic* StaticOf(const CSkinDialog& dialog, const char* section) {
    for (CSkinStatic* text : dialog.Statics()) {
        if (text->Section() == section) {
            return text;
        }
    }
    return nullptr;
}

} // namespace

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
