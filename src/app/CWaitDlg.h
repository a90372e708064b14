#pragma once

#include <memory>

#include <QPointer>

#include "widgets/CSkinDialog.h"

class CSkinProgress;

// The "please wait" window of the connect sequence: a skinned popup (section "Wait") whose
// only control is the running progress strip (section "ProgressBar", id 666).
class CWaitDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr unsigned kProgressId = 666;

    explicit CWaitDlg(CSkinManager* manager);
    ~CWaitDlg() override;

    [[nodiscard]] CSkinProgress* Progress() const { return progress_.get(); }

    // Shows the window centred on the owner, remembering the window that was active.
    void ShowOver(QWidget* owner);
    // The window that was active when it was shown (it is activated again on close).
    [[nodiscard]] QWidget* PreviouslyActive() const { return previous_; }

private:
    std::unique_ptr<CSkinProgress> progress_;
    QPointer<QWidget> previous_;
};
