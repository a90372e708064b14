#pragma once

#include <memory>
#include <string>

#include <QDialog>

#include "app/DebugLineStore.h"
#include "app/DebugTimestamp.h"

class DebugLineModel;
class QCheckBox;
class QLabel;
class QListView;
class QPushButton;

// The hidden service window: a time-stamped list of what the link and the main window log,
// with filters for the LED traffic and for detail lines, Clear and "&Save to file".
//
// Use: the main window constructs it hidden (parent = the main window) and sends every log
// text to AddLine; Ctrl+Alt+Minimize calls EnableLogging() and show(). Closing the window
// stops recording and hides it; the lines stay.
class CDebugDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr unsigned kListId = 1037;
    static constexpr unsigned kShowLedsId = 1026;
    static constexpr unsigned kShowDetailId = 1027;
    static constexpr unsigned kSaveId = 1019;
    static constexpr unsigned kClearId = 1025;

    explicit CDebugDlg(QWidget* mainWindow, DebugClock clock = DebugClock::System());
    ~CDebugDlg() override;

    // Records text with its timestamp, unless logging is off or a filter drops it.
    void AddLine(const std::string& text);
    // Starts recording (the window is shown by the caller).
    void EnableLogging() { logging_ = true; }
    [[nodiscard]] bool IsLogging() const { return logging_; }

    // "&Clear": forgets every line.
    void ClearLines();
    // "&Save to file": writes every line, each ended by CR LF, replacing the file. False when
    // the file could not be written. The status line says where the log went, or why not.
    bool SaveToFile();
    // "c:\debug.txt" on Windows, debug.txt in the home folder elsewhere.
    [[nodiscard]] static std::string SavePath();

    // Whether the filters of the check boxes as they stand let text through.
    [[nodiscard]] bool Accepts(const std::string& text) const;

    [[nodiscard]] const DebugLineStore& Lines() const { return lines_; }
    [[nodiscard]] QListView* List() const { return list_; }
    [[nodiscard]] QCheckBox* ShowLeds() const { return showLeds_; }
    [[nodiscard]] QCheckBox* ShowDetail() const { return showDetail_; }
    [[nodiscard]] QPushButton* SaveButton() const { return save_; }
    [[nodiscard]] QPushButton* ClearButton() const { return clear_; }
    // The line under the list: where the log was saved, and how many old lines were dropped.
    [[nodiscard]] QLabel* Status() const { return status_; }

    // Closing the window (its close box, Escape or close()) stops recording and hides it.
    void reject() override;

private:
    DebugTimestamp timestamp_;
    bool logging_ = false;
    bool scrollQueued_ = false;
    DebugLineStore lines_;
    std::unique_ptr<DebugLineModel> model_;
    QListView* list_ = nullptr;
    QCheckBox* showLeds_ = nullptr;
    QCheckBox* showDetail_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* clear_ = nullptr;
    QLabel* status_ = nullptr;
    std::size_t droppedShown_ = 0;

    void ShowDropped();
};
