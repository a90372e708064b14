#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>

#include <QPointer>
#include <QTimer>

#include "app/CConnectSequence.h"
#include "app/CEngineLink.h"
#include "app/CLedStateHandler.h"
#include "app/CLinkEventPoster.h"
#include "app/IConnectView.h"
#include "app/CLinkWatch.h"
#include "app/CReconnectPlan.h"
#include "app/ILedView.h"
#include "app/IPresetWindow.h"
#include "description/ControlDescription.h"
#include "description/IDescriptionReporter.h"
#include "description/IParameterLog.h"
#include "description/IParameterModelHost.h"
#include "description/ParameterModel.h"
#include "pages/IPageHost.h"
#include "widgets/CSkinDialog.h"

class CConnectionSettings;
class CDebugDlg;
class CHistoryView;
class CKeyboardMap;
class CLedPanel;
class CLinkEngine;
class CLinkEvent;
class CPageController;
class CPageTree;
class CPresetBook;
class CPresetEngineLink;
class CPresetList;
class CPresetPauseTimer;
class CSettingsDlg;
class CSkinButton;
class CSkinRepeatButton;
class CStatusLine;
class CWaitDlg;
class IOperatorDialogs;

// The main window (section "DlgMain"): the fixed keys, the meter panel, the page tree, the
// preset list, the settings panel and the page shown. It owns the link engine and turns its
// notifications, posted as events, and the operator's clicks into calls on the plain classes
// that do the work: the connect sequence, the LED-state handling, the parameter model and
// the preset bookkeeping.
class CDlgMain : public CSkinDialog,
                 private IConnectView,
                 private ILedView,
                 private IParameterLog,
                 private IParameterModelHost,
                 private IPresetWindow,
                 private IDescriptionReporter,
                 private IPageHost {
    Q_OBJECT
public:
    // Control ids of the fixed controls.
    enum ControlIds : unsigned {
        kConnect = 1002,
        kExit = 1005,
        kMinimize = 1006,
        kFrame = 1014,
        kTree = 1011,
        kLeds = 1023,
        kMenu = 1048,
        kPresets = 1049,
        kList = 1050,
        kA = 1051,
        kB = 1052,
        kAgc = 1053,
        kIo = 1054,
        kOnline = 1055,
        kBypass = 1056,
        kHistory = 1057,
        kScrollUp = 256,
        kScrollDown = 257,
    };
    // How long Exit waits for the processor to take the Disconnect before the program ends
    // anyway.
    static constexpr int kExitDisconnectWaitMs = 3000;

    // Link timing that replaces the fixed one after the settings panel applies (tests use
    // short time-outs; the program never sets it).
    struct LinkTiming {
        std::uint32_t replyTimeoutMs = 1500;
        std::uint32_t maxTries = 10;
    };

    CDlgMain(CSkinManager* manager, CConnectionSettings& settings, IOperatorDialogs& dialogs);
    ~CDlgMain() override;

    void SetLinkTiming(std::optional<LinkTiming> timing) { linkTiming_ = timing; }
    // Offline or online view: the settings panel or the page tree and preset list.
    void SetOfflineView(bool offline);
    // Compare mode: every control of the page whose parameter has first address byte 0 is
    // disabled while it is on.
    void SetCompareMode(bool compare) override;

    // The parts, for tests and the start-up code.
    [[nodiscard]] CLinkEngine& Engine() const { return *engine_; }
    [[nodiscard]] CSkinButton* Button(unsigned id) const;
    [[nodiscard]] CLedPanel* Leds() const { return leds_.get(); }
    [[nodiscard]] CPageTree* Tree() const { return tree_.get(); }
    [[nodiscard]] CPageController& Pages() const { return *pages_; }
    [[nodiscard]] CPresetList* PresetList() const { return presetList_.get(); }
    [[nodiscard]] CSettingsDlg* SettingsPanel() const { return settingsPanel_.get(); }
    [[nodiscard]] CDebugDlg* DebugWindow() const { return debug_.get(); }
    [[nodiscard]] CWaitDlg* WaitWindow() const { return wait_.get(); }
    [[nodiscard]] CStatusLine* StatusLine() const { return statusLine_.get(); }
    [[nodiscard]] QWidget* Frame() const { return frame_.get(); }
    [[nodiscard]] QWidget* Page() const;
    [[nodiscard]] CSkinRepeatButton* ScrollButton(bool down) const;
    [[nodiscard]] const CConnectSequence& Sequence() const { return sequence_; }
    [[nodiscard]] const CLedStateHandler& LedState() const { return ledState_; }
    [[nodiscard]] ParameterModel& Model() { return model_; }
    [[nodiscard]] const CPresetBook& Presets() const { return *presetBook_; }
    [[nodiscard]] CHistoryView& History() const { return *history_; }
    [[nodiscard]] bool IsCompareMode() const override { return compareMode_; }
    [[nodiscard]] const CLinkWatch& LinkWatch() const { return linkWatch_; }
    [[nodiscard]] const CReconnectPlan& Reconnect() const { return reconnect_; }
    // The foot line's text: the processor connected to, by name and address.
    [[nodiscard]] QString FootLine() const;

    // The key handlers, as the keys call them.
    void OnConnectClicked();
    void OnExitClicked();
    void OnMinimizeClicked();
    // Minimize with the keys held at that moment: Ctrl and Alt open the debug window instead.
    void OnMinimize(Qt::KeyboardModifiers held);
    void OnBypassClicked();
    void OnOnlineClicked();
    void OnAgcClicked();
    void OnIoClicked();
    void OnAClicked();
    void OnBClicked();
    void OnMenuClicked();
    void OnPresetsClicked();
    void OnHistoryClicked();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool painted_ = false; // the first paint is told on the start-up log
    void CreateControls();
    void SetUpKeyboard();
    CSkinButton* AddButton(const char* section, unsigned id, void (CDlgMain::*handler)());
    void OnLinkEvent(CLinkEvent& event);
    void OnLinkLog(const std::string& line);
    void OnTransferFailed(std::uint8_t command);
    void OnPresetSelected(int preset);
    // A preset command; a load from a file is preceded by a snapshot of the processor.
    void RunPresetCommand(int command);
    void CreateHistory();
    // The history view's panel stays above a page built while it is shown.
    void KeepHistoryOnTop();
    void AttachScrollButtons(QWidget* target);
    void SetPresetControlsEnabled(bool enabled);
    void SetPresetButtonsVisible(bool visible);
    void Repaint(CSkinButton* button);

    // IConnectView
    void DropPage() override;
    std::string ApplySettings() override;
    void SetInputEnabled(bool enabled) override;
    void ShowWait() override;
    void CloseWait() override;
    void ResetForConnect() override;
    void ShowLinkUp() override;
    void ShowLinkDown() override;
    void SetCaption(const std::string& caption) override;
    void SetProcessorType(std::uint8_t type) override;
    bool LoadDescription(const std::string& path) override;
    void EndProgram() override;
    void OnLinkLost() override;
    void OnAutomaticConnectFailed() override;

    // ILedView
    void RunVisibilityWork() override;
    void ShowMeterView(bool io) override;
    void ShowBypass(bool bypassed) override;
    void SetLedData(const ByteString& reply) override;
    void SetCompareKeysEnabled(bool enabled) override;
    void ShowCompareSide(bool compare) override;
    void ReleaseCompareKeys() override;
    void SetPresetMarkers(std::uint8_t tr, std::uint8_t dp, std::uint8_t def, std::uint8_t current,
                          std::uint8_t change) override;
    void OnPresetLoadedElsewhere(std::uint8_t preset) override;
    // ILedView, IParameterLog and IPresetWindow: one line for the debug window.
    void Log(const std::string& line) override;

    // IParameterModelHost
    void OnPageRefreshed() override;
    void RebuildPageTree() override;
    void RebuildCurrentPage() override;
    [[nodiscard]] bool IsPresetDownloadRunning() const override;

    // IPresetWindow
    void OnPresetDownloadFinished() override;
    void ResetCompare() override;
    [[nodiscard]] bool HasConditionValues() const override;
    void ReadLoadedPresetValues() override;
    [[nodiscard]] bool HasUnsavedEdits() const override;
    void ShowStatus(const std::string& text) override;

    // IDescriptionReporter
    void ReportConfigError(const std::string& text) override;

    // IPageHost
    [[nodiscard]] QWidget* PageParent() override { return this; }
    [[nodiscard]] QRect PageArea() const override;
    [[nodiscard]] QFont WindowFont() const override { return font(); }
    [[nodiscard]] bool IsCompareLatched() const override;
    [[nodiscard]] bool IsTreeLatched() const override;
    void HideSettingsPanel() override;
    [[nodiscard]] std::vector<std::string> PresetNames() const override;

    void ShowCurrentPageAgain();
    void ShowFootLine(const QString& text);
    // The stale marking of meters and switches follows the link watch.
    void OnWatchTick();
    void ShowStale();
    void OnReconnectTick();
    void ShowReconnectNotice();
    void StopReconnecting();

    CConnectionSettings& settings_;
    IOperatorDialogs& dialogs_;
    std::optional<LinkTiming> linkTiming_;
    CLinkEventPoster poster_;
    std::unique_ptr<CLinkEngine> engine_;
    CEngineLink engineLink_;
    ControlDescription description_;
    ParameterModel model_;
    CConnectSequence sequence_;
    CLedStateHandler ledState_;
    std::unique_ptr<CPresetEngineLink> presetLink_;
    std::unique_ptr<CPresetPauseTimer> presetPause_;
    std::unique_ptr<CPresetBook> presetBook_;
    bool compareMode_ = false;
    bool ending_ = false;
    QTimer exitTimer_;
    CLinkWatch linkWatch_;
    QTimer watchTimer_;
    CReconnectPlan reconnect_;
    QTimer reconnectTimer_;

    std::unique_ptr<QWidget> frame_;
    std::unique_ptr<CLedPanel> leds_;
    std::unique_ptr<CPageTree> tree_;
    std::unique_ptr<CPageController> pages_;
    std::unique_ptr<CPresetList> presetList_;
    std::array<std::unique_ptr<CSkinButton>, 12> keys_;
    std::array<std::unique_ptr<CSkinButton>, 5> presetKeys_;
    std::unique_ptr<CSkinRepeatButton> scrollUp_;
    std::unique_ptr<CSkinRepeatButton> scrollDown_;
    std::unique_ptr<CSettingsDlg> settingsPanel_;
    std::unique_ptr<CDebugDlg> debug_;
    std::unique_ptr<CKeyboardMap> keyboard_;
    QPointer<QWidget> focusBeforeHold_;
    std::unique_ptr<CWaitDlg> wait_;
    std::unique_ptr<CStatusLine> statusLine_;
    std::unique_ptr<CHistoryView> history_;
    int lockCode_ = 0; // as the last connect presented it
};
