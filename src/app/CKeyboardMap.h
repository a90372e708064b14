#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class CSkinButton;
class QWidget;

// The main window's keyboard: shortcuts for the everyday keys (each shown in its key's
// tooltip) and the Tab order in reading order. A shortcut presses its key as a click does,
// and only while the key is shown and enabled, so no shortcut acts where nothing can be seen.
class CKeyboardMap : public QObject {
    Q_OBJECT
public:
    struct Shortcut {
        QKeySequence keys;
        CSkinButton* button;
    };

    explicit CKeyboardMap(QWidget* window);

    // The everyday keys' shortcuts, found by control id. PAGES, PRESETS and HISTORY also move
    // the focus into the page tree, the preset list or the snapshot list they show.
    void AddEverydayShortcuts(const std::function<CSkinButton*(unsigned)>& button,
                              QWidget* pageTree, QWidget* presetList,
                              QWidget* historyList = nullptr);
    // Adds a shortcut for button and names it in the button's tooltip.
    void AddShortcut(const QKeySequence& keys, CSkinButton* button, QWidget* focusAfter = nullptr);
    // Chains the widgets for Tab in the given order; null entries are skipped.
    static void SetTabChain(const std::vector<QWidget*>& chain);

    [[nodiscard]] const std::vector<Shortcut>& Shortcuts() const { return shortcuts_; }
    // The shortcuts as lines "KEYS  tooltip" for the command-line help.
    static QString HelpText();

protected:
    // Makes the window active when it is first shown, so keys work without a click first
    // (under a window manager that gives new windows no focus of its own).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* window_;
    bool shown_ = false;
    std::vector<Shortcut> shortcuts_;
};
