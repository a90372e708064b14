#include "widgets/CSkinButtonGroup.h"

#include <algorithm>

#include <QEvent>
#include <QKeyEvent>
#include <QPainter>

#include "widgets/CSkinButton.h"
#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"
#include "widgets/SkinFont.h"

CSkinButtonGroup::CSkinButtonGroup(CSkinManager* manager, std::string section,
                                   std::string buttonSection)
    : CSkinDialog(std::move(section), manager), buttonSection_(std::move(buttonSection)) {}

CSkinButtonGroup::~CSkinButtonGroup() {
    buttons_.clear();
}

void CSkinButtonGroup::Create(QWidget* parent, unsigned controlId, QPoint offset) {
    controlId_ = controlId;
    offset_ = offset;
    SetControlId(this, controlId);
    // The group's own ApplySkin adds the offset to its skin position.
    CSkinDialog::Create(parent, std::nullopt, false);
}

void CSkinButtonGroup::ApplySkin() {
    caption_ = QString::fromStdString(GetString("caption"));
    textColour_ = ColorFromSkin(GetLong("text_color"));
    font_ = SkinFont(*this);
    sources_[0] = GetImage("background");
    sources_[1] = GetImage("background_disabled");
    twins_[0] = GetTwin("background");
    twins_[1] = GetTwin("background_disabled");
    resizeLine_ = QPoint(GetLong("resize_line_x"), GetLong("resize_line_y"));
    maskColour_ = GetLong("bkcolormask");
    inner_ = QMargins(GetLong("buttons_ofs_left"), GetLong("buttons_ofs_top"),
                      GetLong("buttons_ofs_right"), GetLong("buttons_ofs_bottom"));
    // Once laid out, the owner's width stands; the height follows the layout.
    const QPoint place = QPoint(GetLong("offset_left"), GetLong("offset_top")) + offset_;
    const QSize size(buttons_.empty() ? GetLong("width") : width(), GetLong("height"));
    const bool resized = size != this->size();
    setGeometry(QRect(place, size));
    if (!buttons_.empty()) {
        // After a skin switch the buttons' fonts may not be re-read yet: lay out once every
        // window has its new skin.
        QMetaObject::invokeMethod(
            this, [this] { Layout(); }, Qt::QueuedConnection);
    }
    if (!resized) {
        PrepareBackground();
    }
    update();
}

void CSkinButtonGroup::SetButtons(const QStringList& captions, int width, int height) {
    if (width >= 0) {
        resize(width, this->height());
    }
    requestedHeight_ = height;
    captions_ = captions;
    buttons_.clear();
    selected_ = -1;
    for (int i = 0; i < captions_.size(); ++i) {
        auto button = std::make_unique<CSkinButton>(buttonSection_, Manager());
        button->Create(this, kFirstButtonId + static_cast<unsigned>(i));
        button->setText(captions_[i]);
        button->setFont(font_);
        connect(button.get(), &QAbstractButton::clicked, this, [this, i] { OnClicked(i); });
        button->installEventFilter(this);
        buttons_.push_back(std::move(button));
    }
    Layout();
}

void CSkinButtonGroup::Layout() {
    const int n = static_cast<int>(captions_.size());
    if (n == 0) {
        return;
    }
    // The rows share the height the owner asked for, or else the skin's "height"; a row is
    // never lower than a caption, so a group without either has rows of caption height.
    const int height = requestedHeight_ >= 0 ? requestedHeight_ : GetLong("height");
    const QRect area = QRect(QPoint(0, 0), QSize(width(), height)).marginsRemoved(inner_);
    const int innerWidth = std::max(area.width(), 0);
    const int innerHeight = std::max(area.height(), 0);
    // Captions are measured in the buttons' own font and margins (any button will do: they
    // share one section).
    QSize widest(0, 0);
    for (const QString& text : captions_) {
        const QSize extent = buttons_.front()->MeasureCaption(text);
        if (extent.width() > widest.width()) {
            widest = extent;
        }
        widest.setHeight(std::max(widest.height(), extent.height()));
    }
    int columns = n;
    int cellWidth = innerWidth / columns;
    if (cellWidth < widest.width()) {
        columns = std::max(widest.width() > 0 ? innerWidth / widest.width() : n, 1);
        columns = std::min(columns, n);
        cellWidth = innerWidth / columns;
    }
    const int rows = n / columns + (n % columns != 0 ? 1 : 0);
    const int rowHeight = innerHeight < widest.height() ? widest.height() : innerHeight;
    columns_ = columns;
    rows_ = rows;
    resize(columns * cellWidth + inner_.left() + inner_.right(),
           rows * rowHeight + inner_.top() + inner_.bottom());
    for (int i = 0; i < n; ++i) {
        const QRect cell(inner_.left() + (i % columns) * cellWidth + 1,
                         inner_.top() + (i / columns) * rowHeight + 1, std::max(cellWidth - 1, 0),
                         std::max(rowHeight - 1, 0));
        buttons_[static_cast<size_t>(i)]->setGeometry(cell);
    }
}

void CSkinButtonGroup::OnClicked(int index) {
    // The group keeps the selection itself: a "Button" section with "stick" set has already
    // latched the button by the time its click arrives.
    if (index == selected_) {
        return;
    }
    selected_ = index;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        CSkinButton* button = buttons_[i].get();
        const bool latched = static_cast<int>(i) == index;
        if (latched || button->IsStuck()) {
            button->SetStuck(latched);
            button->update();
        }
    }
    // The group's own work is done before anyone hears of the selection. The signal goes out
    // from the event loop: a receiver may rebuild the page and destroy this group, which must
    // not happen beneath the click that is still being delivered to one of its buttons.
    const QPointer<CSkinButtonGroup> alive = this;
    OnSelect(index);
    if (alive == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, index] { emit selected(controlId_, index); }, Qt::QueuedConnection);
}

void CSkinButtonGroup::OnSelect(int) {}

void CSkinButtonGroup::SetCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void CSkinButtonGroup::SetSelection(int index) {
    selected_ = index >= 0 && index < static_cast<int>(buttons_.size()) ? index : -1;
    for (size_t i = 0; i < buttons_.size(); ++i) {
        buttons_[i]->SetStuck(static_cast<int>(i) == index);
        buttons_[i]->update();
    }
}

void CSkinButtonGroup::resizeEvent(QResizeEvent*) {
    PrepareBackground();
}

void CSkinButtonGroup::PrepareBackground() {
    for (int i = 0; i < 2; ++i) {
        stretched_[i] = sources_[i] != nullptr
                            ? StretchByResizeLines(*sources_[i], resizeLine_, size())
                            : QImage();
    }
    region_ = stretched_[0].isNull() ? QRegion(rect())
                                     : CreateRegionFromBitmap(stretched_[0], maskColour_);
    for (int i = 0; i < 2; ++i) {
        if (sources_[i] != nullptr) {
            stretched_[i] = ArtForRatio(*sources_[i], stretched_[i], twins_[i], resizeLine_,
                                        devicePixelRatioF(), maskColour_, TwinCutOut::Transparent);
        }
    }
}

void CSkinButtonGroup::changeEvent(QEvent* event) {
    // Qt passes the enabled state on to the buttons; the group repaints its own background.
    if (event->type() == QEvent::EnabledChange) {
        update();
    }
    CSkinDialog::changeEvent(event);
}

void CSkinButtonGroup::paintEvent(QPaintEvent*) {
    // The parent's background shows through beneath: Qt paints children over their parent.
    QPainter painter(this);
    const QImage& image = isEnabled() ? stretched_[0] : stretched_[1];
    if (!image.isNull()) {
        painter.setClipRegion(region_);
        painter.drawImage(QPoint(0, 0), image);
        painter.setClipping(false);
    }
    if (!caption_.isEmpty()) {
        painter.setFont(font_);
        painter.setPen(textColour_);
        painter.drawText(rect(), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, caption_);
    }
}

bool CSkinButtonGroup::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) {
        return CSkinDialog::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    int move = 0;
    if (key == Qt::Key_Left || key == Qt::Key_Up) {
        move = key == Qt::Key_Up && columns_ > 1 ? -columns_ : -1;
    } else if (key == Qt::Key_Right || key == Qt::Key_Down) {
        move = key == Qt::Key_Down && columns_ > 1 ? columns_ : 1;
    }
    if (move == 0) {
        return CSkinDialog::eventFilter(watched, event);
    }
    const auto count = static_cast<int>(buttons_.size());
    for (int i = 0; i < count; ++i) {
        if (buttons_[static_cast<size_t>(i)].get() == watched) {
            const int next = i + move;
            if (next >= 0 && next < count && buttons_[static_cast<size_t>(next)]->isEnabled()) {
                buttons_[static_cast<size_t>(next)]->setFocus(Qt::TabFocusReason);
            }
            return true;
        }
    }
    return CSkinDialog::eventFilter(watched, event);
}
