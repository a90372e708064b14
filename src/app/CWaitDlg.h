#pragma once

#include <memory>

#include <QPointer>

#include "widgets/CSkinDialog.h"

class CSkinButton;
class CSkinProgress;

// The "please wait" window of the connect sequence: a skinned popup (section "Wait") with the
// running progress strip (section "ProgressBar", id 666) and a Cancel key (section
// "WaitCancel"; Escape does the same) so that a wrong address need not hold the window until
// the link gives up.
class CWaitDlg : public CSkinDialog {
    Q_OBJECT
public:
    static constexpr unsigned kProgressId = 666;
    static constexpr unsigned kCancelId = 667;

    explicit CWaitDlg(CSkinManager* manager);
    ~CWaitDlg() override;

    [[nodiscard]] CSkinProgress* Progress() const { return progress_.get(); }
    [[nodiscard]] CSkinButton* CancelKey() const { return cancel_.get(); }

    // Shows the window centred on the owner, remembering the window that was active. While it
    // shows it stays centred on the owner when the owner is moved or resized.
    void ShowOver(QWidget* owner);
    // The window that was active when it was shown (it is activated again on close).
    [[nodiscard]] QWidget* PreviouslyActive() const { return previous_; }

signals:
    // The operator asked to stop connecting, by the CANCEL key or Escape (said in how).
    void cancelled(const QString& how);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CentreOnOwner();

    std::unique_ptr<CSkinProgress> progress_;
    std::unique_ptr<CSkinButton> cancel_;
    QPointer<QWidget> previous_;
    QPointer<QWidget> owner_;
};
