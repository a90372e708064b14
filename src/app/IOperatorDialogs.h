#pragma once

#include <optional>
#include <string>

#include "skin/IMessageBox.h"

class QWidget;

// Everything the application asks the operator in a box or a file dialog. The main window
// holds one; the running program shows real dialogs, tests record the calls and answer them.
class IOperatorDialogs : public IMessageBox {
public:
    // The file the operator chose to open, or nothing when the dialog was cancelled.
    // filter: the dialog's file-type filter, e.g. "Preset Files (*.pst)".
    [[nodiscard]] virtual std::optional<std::string> ChooseOpenFile(const std::string& filter) = 0;
    // The file the operator chose to save to, or nothing when the dialog was cancelled.
    // suggested: the file name the dialog offers first; its extension is added to a name
    // typed without one.
    [[nodiscard]] virtual std::optional<std::string>
    ChooseSaveFile(const std::string& filter, const std::string& suggested) = 0;
    // A question with Yes and No; true for Yes. Nothing happens on air before the answer.
    [[nodiscard]] virtual bool Ask(const std::string& text, const std::string& caption) = 0;
    // A line of text the operator may leave empty (a note); nothing when cancelled. Without a
    // way to ask, the answer is an empty line.
    [[nodiscard]] virtual std::optional<std::string> AskNote(const std::string& text,
                                                             const std::string& caption) {
        (void)text, (void)caption;
        return std::string();
    }
    // The window the boxes and dialogs belong to and are centred on (none: the screen).
    virtual void OwnedBy(QWidget* window) { (void)window; }
};
