#include "app/CKeyboardMap.h"

#include <QApplication>
#include <QEvent>
#include <QShortcut>
#include <QTimer>
#include <QWidget>

#include "app/CDlgMain.h"
#include "widgets/CSkinButton.h"

namespace {
struct Everyday {
    const char* keys;
    unsigned id;
    const char* what;
};
// Ctrl+1 and Ctrl+2 follow the keys' order on the panel; F5 reloads, as in a browser.
const Everyday kEveryday[] = {
    {"F5", CDlgMain::kConnect, "connect or disconnect"},
    {"Ctrl+B", CDlgMain::kBypass, "bypass"},
    {"Ctrl+O", CDlgMain::kOnline, "online"},
    {"Ctrl+1", CDlgMain::kA, "A"},
    {"Ctrl+2", CDlgMain::kB, "B"},
    {"Ctrl+T", CDlgMain::kMenu, "pages"},
    {"Ctrl+P", CDlgMain::kPresets, "presets"},
    {"Ctrl+H", CDlgMain::kHistory, "history"},
};
} // namespace

CKeyboardMap::CKeyboardMap(QWidget* window) : window_(window) {
    window_->installEventFilter(this);
}

bool CKeyboardMap::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_ && event->type() == QEvent::Show && !shown_) {
        shown_ = true;
        QTimer::singleShot(0, window_, [window = window_] {
            if (window->isVisible() && QApplication::activeWindow() == nullptr) {
                window->activateWindow();
            }
        });
    }
    return QObject::eventFilter(watched, event);
}

void CKeyboardMap::AddEverydayShortcuts(const std::function<CSkinButton*(unsigned)>& button,
                                        QWidget* pageTree, QWidget* presetList,
                                        QWidget* historyList) {
    for (const Everyday& entry : kEveryday) {
        QWidget* focusAfter = entry.id == CDlgMain::kMenu      ? pageTree
                              : entry.id == CDlgMain::kPresets ? presetList
                              : entry.id == CDlgMain::kHistory ? historyList
                                                               : nullptr;
        AddShortcut(QKeySequence(QString::fromLatin1(entry.keys)), button(entry.id), focusAfter);
    }
}

void CKeyboardMap::AddShortcut(const QKeySequence& keys, CSkinButton* button, QWidget* focusAfter) {
    if (button == nullptr) {
        return;
    }
    auto* shortcut = new QShortcut(keys, window_);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, button, [button, focusAfter] {
        if (!button->isVisible()) {
            return;
        }
        button->Press();
        if (focusAfter != nullptr && focusAfter->isVisible() && focusAfter->isEnabled()) {
            focusAfter->setFocus(Qt::ShortcutFocusReason);
        }
    });
    button->SetShortcutText(keys.toString(QKeySequence::NativeText));
    shortcuts_.push_back({keys, button});
}

void CKeyboardMap::SetTabChain(const std::vector<QWidget*>& chain) {
    QWidget* previous = nullptr;
    for (QWidget* widget : chain) {
        if (widget == nullptr) {
            continue;
        }
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }
}

QString CKeyboardMap::HelpText() {
    QString text = QStringLiteral(
        "Keys in the window:\n"
        "  Tab, Shift+Tab    move the focus in reading order\n"
        "  Space, Enter      press the focused key\n"
        "  arrow keys        move in the page tree, the preset list and option groups;\n"
        "                    move the focused fader\n"
        "  Up, Down          step the focused value field by one step\n"
        "  PageUp, PageDown  step it by ten steps\n"
        "  Enter             in the settings: Connect\n"
        "  Escape            close what can be closed\n");
    for (const Everyday& entry : kEveryday) {
        text += QStringLiteral("  %1%2\n")
                    .arg(QString::fromLatin1(entry.keys), -18)
                    .arg(QString::fromLatin1(entry.what));
    }
    return text;
}
