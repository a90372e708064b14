#include "widgets/CSkinStatic.h"

#include <QPainter>

#include "skin/ControlId.h"
#include "skin/SkinDrawing.h"
#include "widgets/SkinFont.h"
#include "widgets/SkinTextFlags.h"

CSkinStatic::CSkinStatic(std::string section, CSkinManager* manager)
    : CSkinClient(std::move(section), manager) {}

void CSkinStatic::Create(QWidget* parent, unsigned controlId) {
    setParent(parent);
    SetControlId(this, controlId);
    Attach(this);
    ApplySkin();
    show();
}

void CSkinStatic::ApplySkin() {
    source_ = GetImage("background");
    twin_ = GetTwin("background");
    resizeLine_ = QPoint(GetLong("resize_line_x"), GetLong("resize_line_y"));
    const QRect place(GetLong("offset_left"), GetLong("offset_top"), GetLong("width"),
                      GetLong("height"));
    const bool resized = place.size() != size();
    setGeometry(place);
    if (!resized) {
        StretchBackground();
    }
    text_ = QString::fromStdString(GetString("caption"));
    const int32_t colour = GetLong("bkcolor");
    hasBackgroundColour_ = colour != 0;
    background_ = ColorFromSkin(colour);
    textColour_ = ColorFromSkin(GetLong("text_color"));
    shadowColour_ = ColorFromSkin(GetLong("shadow_color"));
    shadowOffset_ = QPoint(GetLong("shadow_hor"), GetLong("shadow_vert"));
    format_ = GetLong("font_alignment");
    font_ = ::SkinFont(*this);
    update();
}

void CSkinStatic::SetCaption(const QString& text) {
    text_ = text;
    update();
}

void CSkinStatic::resizeEvent(QResizeEvent*) {
    StretchBackground();
}

void CSkinStatic::StretchBackground() {
    stretched_ = source_ != nullptr
                     ? ArtForRatio(*source_, StretchByResizeLines(*source_, resizeLine_, size()),
                                   twin_, resizeLine_, devicePixelRatioF(), 0, TwinCutOut::None)
                     : QImage();
}

void CSkinStatic::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!stretched_.isNull()) {
        painter.drawImage(QPoint(0, 0), stretched_);
    } else if (hasBackgroundColour_) {
        painter.fillRect(rect(), background_);
    }
    // Without either, nothing is filled and the parent's background shows through.
    if (text_.isEmpty()) {
        return;
    }
    painter.setFont(font_);
    const int flags = TextFlagsFromSkin(format_);
    if (SkinTextNoClip(format_)) {
        painter.setClipping(false);
    }
    if (!shadowOffset_.isNull()) {
        painter.setPen(shadowColour_);
        painter.drawText(rect().translated(shadowOffset_), flags, text_);
    }
    painter.setPen(textColour_);
    painter.drawText(rect(), flags, text_);
}
