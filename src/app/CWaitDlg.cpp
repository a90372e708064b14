#include "app/CWaitDlg.h"

#include <QApplication>
#include <QKeyEvent>

#include "widgets/CSkinButton.h"
#include "widgets/CSkinProgress.h"

CWaitDlg::CWaitDlg(CSkinManager* manager) : CSkinDialog("Wait", manager) {}

CWaitDlg::~CWaitDlg() {
    cancel_.reset();
    progress_.reset();
}

void CWaitDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit cancelled();
        return;
    }
    CSkinDialog::keyPressEvent(event);
}

void CWaitDlg::ShowOver(QWidget* owner) {
    previous_ = QApplication::activeWindow();
    // A popup of its own (no parent window) so that a disabled main window does not disable it.
    Create(nullptr, std::nullopt, true);
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (!progress_) {
        progress_ = std::make_unique<CSkinProgress>(Manager());
        progress_->Create(this, kProgressId);
    }
    if (!cancel_) {
        cancel_ = std::make_unique<CSkinButton>("WaitCancel", Manager());
        cancel_->Create(this, kCancelId);
        connect(cancel_.get(), &CSkinButton::clicked, this, &CWaitDlg::cancelled);
    }
    if (owner != nullptr) {
        const QRect area(owner->mapToGlobal(QPoint(0, 0)), owner->size());
        move(area.left() + (area.width() - width()) / 2,
             area.top() + (area.height() - height()) / 2);
    }
    show();
    raise();
    // Escape must reach the window while the main window takes no input.
    activateWindow();
    repaint();
}
