#include "app/CWaitDlg.h"

#include <QApplication>
#include <QKeyEvent>

#include "widgets/CSkinButton.h"
#include "widgets/CSkinProgress.h"

CWaitDlg::CWaitDlg(CSkinManager* manager) : CSkinDialog("Wait", manager) {}

CWaitDlg::~CWaitDlg() {
    if (owner_) {
        owner_->removeEventFilter(this);
    }
    cancel_.reset();
    progress_.reset();
}

void CWaitDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        emit cancelled(QStringLiteral("Escape"));
        return;
    }
    CSkinDialog::keyPressEvent(event);
}

bool CWaitDlg::eventFilter(QObject* watched, QEvent* event) {
    // The window has no parent (see ShowOver), so the window system does not carry it along
    // when the operator moves the main window; follow it here.
    if (watched == owner_ && isVisible() &&
        (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        CentreOnOwner();
    }
    return CSkinDialog::eventFilter(watched, event);
}

void CWaitDlg::CentreOnOwner() {
    if (!owner_) {
        return;
    }
    const QRect area(owner_->mapToGlobal(QPoint(0, 0)), owner_->size());
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
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
        connect(cancel_.get(), &CSkinButton::clicked, this,
                [this] { emit cancelled(QStringLiteral("CANCEL key")); });
    }
    if (owner_ != owner) {
        if (owner_) {
            owner_->removeEventFilter(this);
        }
        owner_ = owner;
        if (owner_) {
            owner_->installEventFilter(this);
        }
    }
    CentreOnOwner();
    show();
    raise();
    // Escape must reach the window while the main window takes no input.
    activateWindow();
    repaint();
}
