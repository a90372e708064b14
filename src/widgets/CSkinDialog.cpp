#include "widgets/CSkinDialog.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "widgets/CSkinStatic.h"
#include "widgets/WindowPlacement.h"
#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"

CSkinDialog::CSkinDialog(std::string section, CSkinManager* manager)
    : CSkinClient(std::move(section), manager) {}

CSkinDialog::~CSkinDialog() {
    // Destroyed while running modally: the loop returns to DoModal, which sees the window
    // gone and touches nothing of it.
    if (modalLoop_ != nullptr) {
        modalLoop_->exit(0);
    }
    statics_.clear();
}

void CSkinDialog::Create(QWidget* parent, std::optional<QPoint> offset, bool popup) {
    child_ = parent != nullptr && !popup;
    if (child_) {
        setParent(parent, Qt::Widget);
    } else {
        setParent(parent, Qt::Window | Qt::FramelessWindowHint);
    }
    setCursor(Qt::ArrowCursor);
    Attach(this);
    if (parent != nullptr) {
        topLevel_ = false;
    }
    ApplySkin();
    if (offset) {
        move(pos() + *offset);
    }
    show();
}

int CSkinDialog::DoModal(QWidget* parent, bool overParent) {
    const QPointer<QWidget> active = QApplication::activeWindow();
    const QPointer<QWidget> owner = parent;
    const QPointer<CSkinDialog> self = this;
    modalEnded_ = false;
    modalResult_ = 0;
    // The window blocks its parent's input through Qt's modality rather than by disabling
    // the parent: a popup is a Qt child of its parent and would be disabled with it.
    setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::NonModal);
    Create(parent, std::nullopt, true);
    if (QScreen* screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        QPoint place = placement_.value_or(QPoint(area.left() + (area.width() - width()) / 2,
                                                  area.top() + (area.height() - height()) / 2));
        if (overParent && parent != nullptr) {
            const QWidget* window = parent->window();
            const QRect over(window->mapToGlobal(QPoint(0, 0)), window->size());
            place = QPoint(over.left() + (over.width() - width()) / 2,
                           over.top() + (over.height() - height()) / 2);
        }
        // Never partly off the screens: a window larger than the screen keeps its top left
        // corner, and so its title area, on it.
        std::vector<QRect> screens;
        for (QScreen* each : QGuiApplication::screens()) {
            screens.push_back(each->availableGeometry());
        }
        move(PlaceOnScreen(QRect(place, size()), screens));
    }
    if (!modalEnded_) {
        QEventLoop loop;
        modalLoop_ = &loop;
        loop.exec(QEventLoop::DialogExec);
        if (self == nullptr) {
            return 0;
        }
        modalLoop_ = nullptr;
    }
    const int result = modalResult_;
    hide();
    setWindowModality(Qt::NonModal);
    if (owner != nullptr && owner == active) {
        owner->activateWindow();
    }
    return result;
}

void CSkinDialog::EndModal(int result) {
    modalResult_ = result;
    modalEnded_ = true;
    if (modalLoop_ != nullptr) {
        modalLoop_->exit(result);
    }
    hide();
}

void CSkinDialog::ApplySkin() {
    background_ = GetImage("background");
    const QSize size = background_ != nullptr ? background_->size() : QSize(0, 0);
    setGeometry(GetLong("offset_left"), GetLong("offset_top"), size.width(), size.height());
    if (background_ != nullptr) {
        const int32_t mask = GetLong("bkcolormask");
        // A window has nothing beneath it to show through a finer cut of its twin.
        art_ = ArtForRatio(*background_, *background_, GetTwin("background"), QPoint(-1, -1),
                           devicePixelRatioF(), mask,
                           child_ ? TwinCutOut::Transparent : TwinCutOut::FromImage);
        QRegion region = CreateRegionFromBitmap(*background_, mask);
        // An empty mask would mean "no mask" to Qt; a window cut out completely shows nothing.
        setMask(region.isEmpty() ? QRegion(-1, -1, 1, 1) : region);
    } else {
        art_ = QImage();
        clearMask();
    }
    // Only a top-level window can be translucent; a child panel is drawn into its parent.
    const int32_t transparency = std::clamp<int32_t>(GetLong("transparency"), 0, 255);
    if (isWindow()) {
        setWindowOpacity((255 - transparency) / 255.0);
    }
    setWindowTitle(QString::fromStdString(GetString("caption")));
    ApplyStatics();
    update();
}

void CSkinDialog::ApplyStatics() {
    // The statics are made once per list: a skin switch re-skins the existing ones (the
    // manager calls their own ApplySkin) and only a different list replaces them.
    const std::string list = GetString("statics");
    if (list == staticsList_ && (!statics_.empty() || list.empty())) {
        return;
    }
    staticsList_ = list;
    statics_.clear();
    if (list.empty()) {
        return;
    }
    size_t start = 0;
    while (true) {
        const size_t end = list.find(';', start);
        const std::string name =
            list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        auto text = std::make_unique<CSkinStatic>(name, Manager());
        text->Create(this, FindFreeControlId());
        statics_.push_back(std::move(text));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
}

std::vector<CSkinStatic*> CSkinDialog::Statics() const {
    std::vector<CSkinStatic*> result;
    for (const auto& text : statics_) {
        result.push_back(text.get());
    }
    return result;
}

void CSkinDialog::paintEvent(QPaintEvent*) {
    if (!art_.isNull()) {
        QPainter painter(this);
        painter.drawImage(QPoint(0, 0), art_);
    }
}

void CSkinDialog::mousePressEvent(QMouseEvent* event) {
    // A child panel keeps the mouse to itself: passed up, a press would drag the window
    // that holds it.
    if (child_) {
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton && !dragging_) {
        // The pointer's offset from the window's corner, in screen terms: the window is then
        // placed from the pointer's screen position, which stays right even when motion events
        // were reported before the window system had carried out the previous move.
        dragAnchor_ = event->globalPosition().toPoint() - pos();
        dragging_ = true;
        return;
    }
    QWidget::mousePressEvent(event);
}

void CSkinDialog::mouseMoveEvent(QMouseEvent* event) {
    if (child_) {
        event->accept();
        return;
    }
    if (dragging_) {
        move(event->globalPosition().toPoint() - dragAnchor_);
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void CSkinDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (child_) {
        event->accept();
        return;
    }
    if (dragging_ && event->button() == Qt::LeftButton) {
        dragging_ = false;
        return;
    }
    QWidget::mouseReleaseEvent(event);
}

void CSkinDialog::closeEvent(QCloseEvent* event) {
    // Closing a modal window through the window system ends its loop instead of leaving the
    // caller waiting on a hidden window.
    if (modalLoop_ != nullptr) {
        EndModal(0);
    }
    QWidget::closeEvent(event);
}
