#include "app/CDlgMain.h"

#include <charconv>

#include <QApplication>
#include <QStandardPaths>
#include <QCloseEvent>
#include <QLoggingCategory>
#include <QTime>

#include "app/CAddressBookPanel.h"
#include "app/CDebugDlg.h"
#include "app/CHistoryView.h"
#include "app/CKeyboardMap.h"
#include "app/CLedPanel.h"
#include "app/CLinkEvent.h"
#include "app/COperatorDialogs.h"
#include "app/CPresetBook.h"
#include "app/CPresetEngineLink.h"
#include "app/CPresetList.h"
#include "app/CPresetPauseTimer.h"
#include "app/CSettingsDlg.h"
#include "app/CStatusLine.h"
#include "app/CWaitDlg.h"
#include "app/LinkMessages.h"
#include "app/PresetCommand.h"
#include "link/CConnectionSettings.h"
#include "link/CLinkEngine.h"
#include "skin/CSkin.h"
#include "skin/CSkinManager.h"
#include "skin/ControlId.h"
#include "widgets/CSkinButton.h"
#include "widgets/CSkinButtonGroup.h"
#include "widgets/CSkinEdit.h"
#include "widgets/CSkinRepeatButton.h"
#include "widgets/CSkinStatic.h"
#include "pages/CPageController.h"
#include "pages/CPageTree.h"
#include "pages/PageContext.h"
#include "pages/ParameterPage.h"

// The link's log lines, for a developer's console; off unless QT_LOGGING_RULES enables it.
Q_LOGGING_CATEGORY(lcLinkLog, "solvei.link", QtWarningMsg)
// When the window was first painted, for measuring the start-up; off by default.
Q_LOGGING_CATEGORY(lcStartup, "solvei.startup", QtWarningMsg)

namespace {

// The fixed keys in the order of keys_.
struct KeySpec {
    const char* section;
    unsigned id;
    void (CDlgMain::*handler)();
};

const KeySpec kKeys[] = {
    {"BtnConnect", CDlgMain::kConnect, &CDlgMain::OnConnectClicked},
    {"BtnExit", CDlgMain::kExit, &CDlgMain::OnExitClicked},
    {"BtnMinimize", CDlgMain::kMinimize, &CDlgMain::OnMinimizeClicked},
    {"BtnBypass", CDlgMain::kBypass, &CDlgMain::OnBypassClicked},
    {"BtnOnline", CDlgMain::kOnline, &CDlgMain::OnOnlineClicked},
    {"BtnAGC", CDlgMain::kAgc, &CDlgMain::OnAgcClicked},
    {"BtnIO", CDlgMain::kIo, &CDlgMain::OnIoClicked},
    {"BtnA", CDlgMain::kA, &CDlgMain::OnAClicked},
    {"BtnB", CDlgMain::kB, &CDlgMain::OnBClicked},
    {"BtnMenu", CDlgMain::kMenu, &CDlgMain::OnMenuClicked},
    {"BtnPresets", CDlgMain::kPresets, &CDlgMain::OnPresetsClicked},
    {"BtnHistory", CDlgMain::kHistory, &CDlgMain::OnHistoryClicked},
};

const char* const kPresetKeys[] = {"PresetIconLoad", "PresetIconSave", "PresetIconRename",
                                   "PresetIconLoadFile", "PresetIconSaveFile"};

} // namespace

CDlgMain::CDlgMain(CSkinManager* manager, CConnectionSettings& settings, IOperatorDialogs& dialogs)
    : CSkinDialog("DlgMain", manager), settings_(settings), dialogs_(dialogs), poster_(this),
      engine_(std::make_unique<CLinkEngine>(&poster_, settings)), engineLink_(*engine_),
      description_(this), model_(engineLink_, *this, *this),
      sequence_(engineLink_, *this, dialogs, settings), ledState_(*this) {
    // Boxes and file dialogs belong to this window and open centred on it.
    dialogs_.OwnedBy(this);
    presetLink_ = std::make_unique<CPresetEngineLink>(*engine_);
    presetPause_ = std::make_unique<CPresetPauseTimer>();
    exitTimer_.setSingleShot(true);
    connect(&exitTimer_, &QTimer::timeout, this, [this] { EndProgram(); });
    watchTimer_.setInterval(200);
    connect(&watchTimer_, &QTimer::timeout, this, &CDlgMain::OnWatchTick);
    watchTimer_.start();
    reconnectTimer_.setInterval(1000);
    connect(&reconnectTimer_, &QTimer::timeout, this, &CDlgMain::OnReconnectTick);
    CreateControls();
    presetBook_ = std::make_unique<CPresetBook>(*presetLink_, dialogs_, *presetList_,
                                                static_cast<IPresetWindow&>(*this), *presetPause_);
    SetOfflineView(true);
}

// Teardown order: debug window, settings panel, page, link engine (its thread stops), then
// the controls and the description.
CDlgMain::~CDlgMain() {
    dialogs_.OwnedBy(nullptr);
    exitTimer_.stop();
    // A snapshot's worker waits on the link: it ends before the link does.
    history_->Stop();
    poster_.SetTap(nullptr);
    wait_.reset();
    debug_.reset();
    settingsPanel_.reset();
    pages_.reset();
    engine_.reset();
    presetBook_.reset();
}

void CDlgMain::CreateControls() {
    CSkin* skin = Manager()->Current();
    frame_ = std::make_unique<QWidget>(this);
    SetControlId(frame_.get(), kFrame);
    if (skin != nullptr) {
        frame_->setGeometry(skin->GetLong("Frame", "offset_left"),
                            skin->GetLong("Frame", "offset_top"), skin->GetLong("Frame", "width"),
                            skin->GetLong("Frame", "height"));
    }
    frame_->hide();

    leds_ = std::make_unique<CLedPanel>(Manager());
    leds_->Create(this);

    tree_ = std::make_unique<CPageTree>(Manager());
    tree_->Create(this, kTree);
    pages_ = std::make_unique<CPageController>(static_cast<IPageHost&>(*this), model_, *tree_,
                                               Manager());
    tree_->SetPageCallback([this](int index, bool rebuild) { pages_->OnTreePage(index, rebuild); });

    presetList_ = std::make_unique<CPresetList>(Manager());
    presetList_->Create(this, kList);
    presetList_->hide();
    connect(presetList_.get(), &CPresetList::presetCommand, this,
            [this](int, int command) { RunPresetCommand(command); });
    connect(presetList_.get(), &CPresetList::presetNameEdited, this,
            [this](int preset) { presetBook_->OnNameEdited(preset); });
    connect(presetList_.get(), &CPresetList::presetSelected, this, &CDlgMain::OnPresetSelected);

    for (std::size_t i = 0; i < keys_.size(); ++i) {
        keys_[i] = std::make_unique<CSkinButton>(kKeys[i].section, Manager());
        keys_[i]->Create(this, kKeys[i].id);
        connect(keys_[i].get(), &QAbstractButton::clicked, this, kKeys[i].handler);
    }
    Button(kMenu)->SetStuck(true);
    for (unsigned id : {kBypass, kOnline, kAgc, kIo, kA, kB}) {
        Button(id)->setEnabled(false);
    }

    for (std::size_t i = 0; i < presetKeys_.size(); ++i) {
        presetKeys_[i] = std::make_unique<CSkinButton>(kPresetKeys[i], Manager());
        presetKeys_[i]->Create(this, kFirstPresetButton + static_cast<unsigned>(i));
        presetKeys_[i]->hide();
        connect(presetKeys_[i].get(), &QAbstractButton::clicked, this,
                [this, i] { RunPresetCommand(static_cast<int>(i)); });
    }

    scrollUp_ = std::make_unique<CSkinRepeatButton>("BtnScrollUp", Manager());
    scrollUp_->Create(this, kScrollUp);
    scrollDown_ = std::make_unique<CSkinRepeatButton>("BtnScrollDown", Manager());
    scrollDown_->Create(this, kScrollDown);
    AttachScrollButtons(tree_.get());

    settingsPanel_ = std::make_unique<CSettingsDlg>(Manager(), settings_, SerialPortScan{},
                                                    [this](const std::string& line) { Log(line); });
    settingsPanel_->Create(this);
    connect(settingsPanel_.get(), &CSettingsDlg::connectRequested, this,
            &CDlgMain::OnConnectClicked);

    statusLine_ = std::make_unique<CStatusLine>(Manager());
    statusLine_->Create(this, 0);

    debug_ = std::make_unique<CDebugDlg>(this);
    debug_->hide();
    CreateHistory();
    SetUpKeyboard();
}

void CDlgMain::CreateHistory() {
    CHistoryView::Host host;
    host.log = [this](const std::string& line) { Log(line); };
    host.status = [this](const std::string& text) { ShowStatus(text); };
    host.readValuesAgain = [this] { model_.OnPresetLoaded(); };
    host.readPresetAgain = [this](int preset) { presetBook_->RefreshName(preset); };
    host.busy = [this](bool busy) {
        const bool online = engine_->IsConnected() && !settingsPanel_->isVisible();
        tree_->setEnabled(online && !busy);
        SetPresetControlsEnabled(online && !busy);
    };
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    history_ =
        std::make_unique<CHistoryView>(Manager(), this, *engine_, std::move(host), dialogs_,
                                       std::filesystem::path(data.toStdString()) / "snapshots");
    history_->Create(frame_->geometry());
    poster_.SetTap(&history_->Link());
}

void CDlgMain::RunPresetCommand(int command) {
    const auto which = static_cast<PresetCommand>(command);
    if (which == PresetCommand::LoadFromFile && engine_->IsConnected() &&
        presetList_->SelectedPreset() >= 0 && presetList_->SelectedPreset() < kUserPresetCount) {
        history_->TakeAutomatic("Before loading a preset from a file",
                                [this, which] { presetBook_->RunCommand(which); });
        return;
    }
    presetBook_->RunCommand(which);
}

void CDlgMain::KeepHistoryOnTop() {
    if (history_ && history_->IsVisible()) {
        history_->Panel()->raise();
    }
}

void CDlgMain::SetUpKeyboard() {
    keyboard_ = std::make_unique<CKeyboardMap>(this);
    keyboard_->AddEverydayShortcuts([this](unsigned id) { return Button(id); }, tree_.get(),
                                    presetList_.get(), history_->List());
    // Reading order: the window keys at the top, the link and output keys, the meter keys, PAGES
    // and PRESETS, the tree or the list with its keys, the settings panel; a page built later joins
    // the chain last. The scroll keys only repeat what the arrows do in the tree and the list.
    scrollUp_->setFocusPolicy(Qt::NoFocus);
    scrollDown_->setFocusPolicy(Qt::NoFocus);
    std::vector<QWidget*> chain{Button(kMinimize), Button(kExit)};
    for (unsigned id : {kConnect, kBypass, kOnline, kA, kB, kAgc, kIo, kMenu, kPresets, kHistory}) {
        chain.push_back(Button(id));
    }
    chain.push_back(tree_.get());
    chain.push_back(presetList_.get());
    for (const auto& key : presetKeys_) {
        chain.push_back(key.get());
    }
    for (QWidget* control : history_->TabChain()) {
        chain.push_back(control);
    }
    for (const auto& key : settingsPanel_->Selector()->Buttons()) {
        chain.push_back(key.get());
    }
    for (QWidget* control : settingsPanel_->Book()->TabChain()) {
        chain.push_back(control);
    }
    chain.push_back(settingsPanel_->HostEdit());
    chain.push_back(settingsPanel_->PortEdit());
    chain.push_back(settingsPanel_->LockCodeEdit());
    CKeyboardMap::SetTabChain(chain);
    // The first thing done in the window is to connect: the focus starts on that key, not on
    // Minimize at the head of the chain.
    Button(kConnect)->setFocus(Qt::OtherFocusReason);
}

CSkinButton* CDlgMain::Button(unsigned id) const {
    for (const auto& key : keys_) {
        if (ControlId(key.get()) == id) {
            return key.get();
        }
    }
    for (const auto& key : presetKeys_) {
        if (ControlId(key.get()) == id) {
            return key.get();
        }
    }
    return nullptr;
}

QWidget* CDlgMain::Page() const {
    return pages_ ? pages_->Page() : nullptr;
}

CSkinRepeatButton* CDlgMain::ScrollButton(bool down) const {
    return down ? scrollDown_.get() : scrollUp_.get();
}

void CDlgMain::Repaint(CSkinButton* button) {
    button->update();
}

// ---- link events ----

void CDlgMain::paintEvent(QPaintEvent* event) {
    CSkinDialog::paintEvent(event);
    if (!painted_) {
        painted_ = true;
        qCInfo(lcStartup) << "first paint";
    }
}

bool CDlgMain::event(QEvent* event) {
    if (IsLinkMessage(static_cast<int>(event->type()))) {
        OnLinkEvent(*static_cast<CLinkEvent*>(event));
        return true;
    }
    return CSkinDialog::event(event);
}

void CDlgMain::OnLinkEvent(CLinkEvent& event) {
    switch (event.Message()) {
    case WM_LINK_CONNECTED:
        sequence_.OnConnected();
        break;
    case WM_LINK_DISCONNECTED:
        exitTimer_.stop();
        presetBook_->OnDisconnected();
        sequence_.OnDisconnected();
        break;
    case WM_LINK_PARAMETER:
        model_.OnParameterWord(event.Number());
        break;
    case WM_LINK_VERSION:
        sequence_.OnVersion(event.Text());
        break;
    case WM_LINK_LEDS:
        ledState_.OnLedState(event.TakeBytes());
        break;
    case WM_LINK_CONFIG:
        sequence_.OnConfig(event.TakeBytes());
        break;
    case WM_LINK_PRESET:
        presetBook_->OnPreset(static_cast<int>(event.Number()), event.TakeBytes());
        break;
    case WM_LINK_LOG:
        OnLinkLog(event.Text());
        break;
    case WM_LINK_FACTORY_PRESET:
        presetBook_->OnFactoryPresetNumber(static_cast<int>(event.Number()));
        break;
    case WM_LINK_PRESET_SENT:
        presetBook_->OnPresetSent(static_cast<int>(event.Number()));
        break;
    case WM_LINK_PRESET_LOADED:
        ledState_.RecordPresetOnAir(static_cast<int>(event.Number()));
        presetBook_->OnPresetLoaded(static_cast<int>(event.Number()));
        break;
    case WM_LINK_BYPASS:
        ShowBypass(event.Number() != 0);
        ledState_.RecordBypass(event.Number() != 0);
        break;
    case WM_LINK_TRANSFER_FAILED:
        OnTransferFailed(static_cast<std::uint8_t>(event.Number()));
        break;
    default:
        break;
    }
}

void CDlgMain::OnLinkLog(const std::string& line) {
    // Every reply, of a request or of a transfer, is logged as received: a sign of life.
    if (line.rfind("Recieved", 0) == 0) {
        linkWatch_.OnReply(SteadyMilliseconds());
    }
    debug_->AddLine(line);
    qCDebug(lcLinkLog, "%s", line.c_str());
}

void CDlgMain::OnTransferFailed(std::uint8_t command) {
    Log(command == 0x83 ? "Transfer of the control description failed"
                        : "Transfer of a preset failed");
    presetBook_->OnTransferFailed(command);
    sequence_.OnTransferFailed(command);
}

void CDlgMain::Log(const std::string& line) {
    debug_->AddLine(line);
    qCDebug(lcLinkLog, "%s", line.c_str());
}

// ---- keys ----

void CDlgMain::OnConnectClicked() {
    StopReconnecting();
    sequence_.OnConnectPressed();
}

void CDlgMain::OnWatchTick() {
    const bool requestOut = engine_->IsConnected() && !engine_->IsIdle();
    if (linkWatch_.Update(SteadyMilliseconds(), requestOut)) {
        ShowStale();
        Log(linkWatch_.IsStale() ? "No reply from the processor" : "The processor answers again");
    }
}

void CDlgMain::ShowStale() {
    const bool stale = linkWatch_.IsStale();
    const QTime lastReply =
        QTime::currentTime().addMSecs(-(SteadyMilliseconds() - linkWatch_.LastReplyMs()));
    leds_->SetStale(stale, stale ? lastReply.toString(QStringLiteral("HH:mm:ss")) : QString());
    // The switches cannot be trusted either, nor can they act, while nothing answers.
    for (unsigned id : {kBypass, kOnline, kAgc, kIo}) {
        Button(id)->setEnabled(!stale);
        Repaint(Button(id));
    }
}

void CDlgMain::OnLinkLost() {
    reconnect_.Start(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")).toStdString());
    Log("Link lost: connecting again by itself");
    ShowReconnectNotice();
    reconnectTimer_.start();
}

void CDlgMain::OnAutomaticConnectFailed() {
    reconnect_.OnAttemptFailed();
    ShowReconnectNotice();
}

void CDlgMain::OnReconnectTick() {
    if (!reconnect_.IsActive()) {
        reconnectTimer_.stop();
        return;
    }
    if (reconnect_.Tick()) {
        reconnect_.OnAttemptStarted();
        ShowReconnectNotice();
        sequence_.StartAutomaticConnect();
        return;
    }
    ShowReconnectNotice();
}

void CDlgMain::ShowReconnectNotice() {
    settingsPanel_->SetNotice(QString::fromStdString(reconnect_.Notice()));
}

void CDlgMain::StopReconnecting() {
    reconnect_.Stop();
    reconnectTimer_.stop();
    settingsPanel_->SetNotice(QString());
}

void CDlgMain::OnExitClicked() {
    if (ending_) {
        return;
    }
    StopReconnecting();
    if (sequence_.OnExitPressed()) {
        EndProgram();
        return;
    }
    // The processor is told first; the program ends with the link's answer or, when none
    // comes, a little later.
    exitTimer_.start(kExitDisconnectWaitMs);
}

void CDlgMain::closeEvent(QCloseEvent* event) {
    // Closing through the window system is Exit.
    if (!ending_) {
        event->ignore();
        OnExitClicked();
        return;
    }
    CSkinDialog::closeEvent(event);
}

void CDlgMain::EndProgram() {
    if (ending_) {
        return;
    }
    ending_ = true;
    exitTimer_.stop();
    // What the settings show is kept for the next start, connected or not.
    settingsPanel_->KeepFields();
    CloseWait();
    EndModal(0);
}

void CDlgMain::OnMinimizeClicked() {
    OnMinimize(QGuiApplication::queryKeyboardModifiers());
}

void CDlgMain::OnMinimize(Qt::KeyboardModifiers held) {
    if ((held & Qt::ControlModifier) && (held & Qt::AltModifier)) {
        debug_->EnableLogging();
        debug_->show();
        debug_->raise();
        return;
    }
    showMinimized();
}

void CDlgMain::OnBypassClicked() {
    if (!Button(kBypass)->IsStuck()) {
        engine_->BypassUpdate(1);
    }
}

void CDlgMain::OnOnlineClicked() {
    if (!Button(kOnline)->IsStuck()) {
        engine_->BypassUpdate(0);
    }
}

void CDlgMain::OnAgcClicked() {
    if (Button(kAgc)->IsStuck()) {
        return;
    }
    engine_->MetersFlip();
    ledState_.RecordMeterView(false);
    leds_->SetBackground("background_agc");
    Button(kAgc)->SetStuck(true);
    Button(kIo)->SetStuck(false);
    Repaint(Button(kAgc));
    Repaint(Button(kIo));
}

void CDlgMain::OnIoClicked() {
    if (Button(kIo)->IsStuck()) {
        return;
    }
    engine_->MetersFlip();
    ledState_.RecordMeterView(true);
    leds_->SetBackground("background_io");
    Button(kIo)->SetStuck(true);
    Button(kAgc)->SetStuck(false);
    Repaint(Button(kAgc));
    Repaint(Button(kIo));
}

void CDlgMain::OnAClicked() {
    if (Button(kA)->IsStuck() || !engine_->IsConnected()) {
        return;
    }
    engine_->Revert();
    ShowCurrentPageAgain();
    ShowCompareSide(false);
    Log("Compare Flag Placed to 0");
    ledState_.RecordCompare(false);
    SetCompareMode(false);
}

void CDlgMain::OnBClicked() {
    if (Button(kB)->IsStuck() || !engine_->IsConnected()) {
        return;
    }
    engine_->Compare();
    ShowCurrentPageAgain();
    ShowCompareSide(true);
    Log("Compare Flag Placed to 1");
    ledState_.RecordCompare(true);
    SetCompareMode(true);
}

void CDlgMain::OnMenuClicked() {
    Button(kPresets)->SetStuck(false);
    Repaint(Button(kPresets));
    Button(kHistory)->SetStuck(false);
    Repaint(Button(kHistory));
    history_->SetVisible(false);
    tree_->show();
    presetList_->hide();
    SetPresetButtonsVisible(false);
    AttachScrollButtons(tree_.get());
}

void CDlgMain::OnPresetsClicked() {
    Button(kMenu)->SetStuck(false);
    Repaint(Button(kMenu));
    Button(kHistory)->SetStuck(false);
    Repaint(Button(kHistory));
    history_->SetVisible(false);
    tree_->hide();
    presetList_->show();
    SetPresetButtonsVisible(true);
    AttachScrollButtons(presetList_.get());
}

void CDlgMain::OnHistoryClicked() {
    for (unsigned id : {kMenu, kPresets}) {
        Button(id)->SetStuck(false);
        Repaint(Button(id));
    }
    tree_->hide();
    presetList_->hide();
    SetPresetButtonsVisible(false);
    history_->SetVisible(true);
    AttachScrollButtons(history_->List());
}

void CDlgMain::OnPresetSelected(int preset) {
    // Save, Rename and Load from file are for the operator's own presets only: greyed, not
    // hidden, so the row of keys keeps its places.
    const bool factory = preset >= kUserPresetCount;
    for (std::size_t i : {1u, 2u, 3u}) {
        presetKeys_[i]->setEnabled(!factory && presetList_->isEnabled());
    }
}

void CDlgMain::AttachScrollButtons(QWidget* target) {
    scrollUp_->SetTarget(target, CSkinRepeatButton::Direction::LineUp);
    scrollDown_->SetTarget(target, CSkinRepeatButton::Direction::LineDown);
}

void CDlgMain::SetPresetButtonsVisible(bool visible) {
    for (const auto& key : presetKeys_) {
        key->setVisible(visible);
    }
}

void CDlgMain::SetPresetControlsEnabled(bool enabled) {
    presetList_->setEnabled(enabled);
    for (const auto& key : presetKeys_) {
        key->setEnabled(enabled);
    }
    if (enabled) {
        OnPresetSelected(presetList_->SelectedPreset());
    }
}

void CDlgMain::SetOfflineView(bool offline) {
    if (offline) {
        DropPage();
    }
    tree_->setEnabled(!offline);
    SetPresetControlsEnabled(!offline);
    settingsPanel_->setVisible(offline);
    if (offline) {
        settingsPanel_->raise();
    }
    KeepHistoryOnTop();
}

// ---- IConnectView ----

std::string CDlgMain::ApplySettings() {
    settingsPanel_->Apply();
    if (linkTiming_) {
        settings_.replyTimeoutMs = linkTiming_->replyTimeoutMs;
        settings_.maxTries = linkTiming_->maxTries;
    }
    const std::string code = settingsPanel_->LockCodeText().toStdString();
    lockCode_ = 0;
    std::from_chars(code.data(), code.data() + code.size(), lockCode_);
    return code;
}

void CDlgMain::SetInputEnabled(bool enabled) {
    // Disabling the window takes the focus away; it comes back where it was (the key that
    // connected), not on whatever comes first in the window.
    if (!enabled && focusWidget() != nullptr) {
        focusBeforeHold_ = focusWidget();
    }
    setEnabled(enabled);
    if (enabled && focusBeforeHold_ && focusBeforeHold_->isVisible() &&
        focusBeforeHold_->isEnabled()) {
        focusBeforeHold_->setFocus(Qt::OtherFocusReason);
        focusBeforeHold_.clear();
    }
    // The debug window is a window of its own: it stays usable (scroll, filters, save) while
    // a connect holds the main window, which is when its lines matter most.
    debug_->setEnabled(true);
}

void CDlgMain::ShowWait() {
    if (wait_) {
        return;
    }
    wait_ = std::make_unique<CWaitDlg>(Manager());
    connect(wait_.get(), &CWaitDlg::cancelled, this, [this](const QString& how) {
        Log("Connect cancelled by the operator (" + how.toStdString() + ")");
        sequence_.CancelConnect();
    });
    wait_->ShowOver(frame_.get());
}

void CDlgMain::CloseWait() {
    if (!wait_) {
        return;
    }
    QPointer<QWidget> previous = wait_->PreviouslyActive();
    wait_.reset();
    if (previous) {
        previous->activateWindow();
    }
}

void CDlgMain::ShowLinkUp() {
    CSkinButton* connectKey = Button(kConnect);
    connectKey->SetSection("BtnDisconnect");
    connectKey->ApplySkin();
    Repaint(connectKey);
    SetOfflineView(false);
    Button(kOnline)->setEnabled(true);
    Button(kBypass)->setEnabled(true);
}

void CDlgMain::ShowLinkDown() {
    // No processor claimed any more: the skin's caption and an empty foot line.
    setWindowTitle(QString::fromStdString(GetString("caption")));
    ShowFootLine(QString());
    linkWatch_.Disarm();
    ShowStale();
    leds_->Clear();
    leds_->SetBypassed(false);
    SetOfflineView(true);
    CSkinButton* connectKey = Button(kConnect);
    connectKey->SetSection("BtnConnect");
    connectKey->ApplySkin();
    Repaint(connectKey);
    for (unsigned id : {kBypass, kOnline, kAgc, kIo, kA, kB}) {
        Button(id)->SetStuck(false);
        Button(id)->setEnabled(false);
        Repaint(Button(id));
    }
    // The keys of the compare sides went with the link; the next connect's first LED state
    // enables them again when the processor reports its change flag.
    ledState_.ForgetFlags();
    compareMode_ = false;
    history_->OnDisconnected();
}

void CDlgMain::SetCaption(const std::string& caption) {
    // Which processor this is: the address book's name for it, when it has one, and where.
    const std::string& entry = settingsPanel_->EntryInUse();
    setWindowTitle(QString::fromStdString(entry.empty() ? caption : entry + " \u2014 " + caption));
    const std::string address = settingsPanel_->AddressInUse();
    ShowFootLine(QString::fromStdString(entry.empty() ? address : entry + "  \u00B7  " + address));
}

void CDlgMain::ShowFootLine(const QString& text) {
    for (CSkinStatic* line : Statics()) {
        if (line->Section() == "MainFootLine") {
            line->SetCaption(text);
        }
    }
}

QString CDlgMain::FootLine() const {
    for (CSkinStatic* line : Statics()) {
        if (line->Section() == "MainFootLine") {
            return line->Caption();
        }
    }
    return {};
}

void CDlgMain::SetProcessorType(std::uint8_t type) {
    leds_->SetProcessorType(type);
}

void CDlgMain::ReportConfigError(const std::string& text) {
    dialogs_.Show(text, "Config Error", IMessageBox::Icon::Error);
}

// ---- ILedView ----

void CDlgMain::RunVisibilityWork() {
    model_.OnLedState();
}

void CDlgMain::ShowMeterView(bool io) {
    Button(kAgc)->setEnabled(true);
    Button(kIo)->setEnabled(true);
    leds_->SetBackground(io ? "background_io" : "background_agc");
    Button(kIo)->SetStuck(io);
    Button(kAgc)->SetStuck(!io);
    Repaint(Button(kAgc));
    Repaint(Button(kIo));
}

void CDlgMain::ShowBypass(bool bypassed) {
    leds_->SetBypassed(bypassed);
    Button(kBypass)->SetStuck(bypassed);
    Button(kOnline)->SetStuck(!bypassed);
    Repaint(Button(kBypass));
    Repaint(Button(kOnline));
}

void CDlgMain::SetLedData(const ByteString& reply) {
    leds_->SetData(reply);
}

void CDlgMain::SetCompareKeysEnabled(bool enabled) {
    Button(kA)->setEnabled(enabled);
    Button(kB)->setEnabled(enabled);
}

void CDlgMain::ShowCompareSide(bool compare) {
    Button(kA)->SetStuck(!compare);
    Button(kB)->SetStuck(compare);
    Repaint(Button(kA));
    Repaint(Button(kB));
}

void CDlgMain::ReleaseCompareKeys() {
    Button(kA)->SetStuck(false);
    Button(kB)->SetStuck(false);
    Repaint(Button(kA));
    Repaint(Button(kB));
}

void CDlgMain::SetPresetMarkers(std::uint8_t tr, std::uint8_t dp, std::uint8_t def,
                                std::uint8_t current, std::uint8_t change) {
    presetList_->SetMarkers(tr, dp, def, current, change);
}

// ---- IPresetWindow ----

void CDlgMain::OnPresetDownloadFinished() {
    pages_->FillPresetNames();
    CloseWait();
    SetInputEnabled(true);
    sequence_.OnConnectFinished();
    linkWatch_.Arm(SteadyMilliseconds());
    StopReconnecting();
    // The history of this processor: by its address-book name where it has one.
    const std::string& entry = settingsPanel_->EntryInUse();
    const std::string address = settingsPanel_->AddressInUse();
    // The link gives up after its tries, each after the reply time-out.
    const auto quiet = std::chrono::milliseconds(settings_.replyTimeoutMs) *
                           (std::max<std::uint32_t>(1, settings_.maxTries) + 1) +
                       std::chrono::seconds(2);
    history_->OnConnected(entry.empty() ? address : entry, address, lockCode_, quiet);
}

void CDlgMain::OnPresetLoadedElsewhere(std::uint8_t preset) {
    // The values shown belong to the preset that was on air before: read everything again,
    // as after a load of this remote's own.
    Log("Preset " + std::to_string(preset) + " put on air by the processor");
    presetBook_->OnPresetLoaded(preset);
}

void CDlgMain::ResetCompare() {
    // Side A is on air again: the page shows its values, as the A key does.
    ShowCurrentPageAgain();
    ShowCompareSide(false);
    ledState_.RecordCompare(false);
    SetCompareMode(false);
    Log("Compare Flag Placed to 0");
}

bool CDlgMain::HasConditionValues() const {
    return !model_.Conditions().empty();
}

void CDlgMain::ReadLoadedPresetValues() {
    model_.OnPresetLoaded();
}

bool CDlgMain::HasUnsavedEdits() const {
    return ledState_.Change();
}

void CDlgMain::ShowStatus(const std::string& text) {
    statusLine_->Show(text);
    Log(text);
}

bool CDlgMain::IsPresetDownloadRunning() const {
    return presetBook_ && presetBook_->IsDownloadRunning();
}

// ---- pages ----

void CDlgMain::DropPage() {
    if (pages_) {
        pages_->DestroyPage();
    }
    model_.Registry().Clear();
}

void CDlgMain::ResetForConnect() {
    model_.OnConnectStarted();
    pages_->OnConnectStarted();
    ledState_.ResetForConnect();
}

bool CDlgMain::LoadDescription(const std::string& path) {
    if (!description_.Load(path)) {
        Log("File Read Error");
        return false;
    }
    pages_->OnDescriptionLoaded(description_.Root());
    return true;
}

void CDlgMain::ShowCurrentPageAgain() {
    pages_->ShowPage(pages_->CurrentIndex(), false);
}

void CDlgMain::SetCompareMode(bool compare) {
    // One synchronous pass: no input can arrive meanwhile.
    compareMode_ = compare;
    pages_->SetCompareMode(compare);
}

void CDlgMain::OnPageRefreshed() {
    pages_->OnPageRefreshed();
    KeepHistoryOnTop();
}

void CDlgMain::RebuildPageTree() {
    pages_->RebuildPageTree();
}

void CDlgMain::RebuildCurrentPage() {
    pages_->RebuildCurrentPage();
    KeepHistoryOnTop();
}

QRect CDlgMain::PageArea() const {
    return frame_->geometry();
}

bool CDlgMain::IsCompareLatched() const {
    return Button(kB)->IsStuck();
}

bool CDlgMain::IsTreeLatched() const {
    return Button(kMenu)->IsStuck();
}

void CDlgMain::HideSettingsPanel() {
    settingsPanel_->hide();
}

std::vector<std::string> CDlgMain::PresetNames() const {
    std::vector<std::string> names;
    for (int preset = 0; presetList_->HasPreset(preset); ++preset) {
        names.push_back(presetList_->PresetName(preset));
    }
    return names;
}
