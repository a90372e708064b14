#include "ControlArt.h"

#include <QLinearGradient>
#include <QPainter>

#include "ArtKit.h"
#include "GlyphArt.h"
#include "SkinPalette.h"

namespace {

constexpr int kTrackW = 40;
constexpr int kTrackH = 60;
constexpr int kThumbW = 20;
constexpr int kThumbH = 28;
constexpr int kArrowW = 16;
constexpr int kArrowH = 13;
const QColor kMenuColour{0x23, 0x28, 0x2D};

// Replaces every pixel of exactly this colour with the mask colour.
void MaskColour(QImage& image, const QColor& colour, const QColor& mask) {
    const QRgb c = colour.rgb();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == c) {
                image.setPixel(x, y, mask.rgb());
            }
        }
    }
}

} // namespace

QImage ControlArt::SliderTrack(bool enabled) {
    QImage image = art::Canvas(kTrackW, kTrackH, pal::kPage);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF slot(17, 3, 6, kTrackH - 6);
    p.setPen(Qt::NoPen);
    p.setBrush(enabled ? pal::kHighlight : pal::kBorderDim);
    p.drawRoundedRect(slot.adjusted(0, 1, 0, 1), 3, 3);
    p.setBrush(pal::kShadow);
    p.drawRoundedRect(slot, 3, 3);
    p.setBrush(enabled ? QColor(0x05, 0x06, 0x07) : QColor(0x10, 0x12, 0x14));
    p.drawRoundedRect(slot.adjusted(1, 1, -1, -1), 2, 2);
    p.end();
    art::MaskOutside(image, art::Rounded(slot.adjusted(0, 0, 0, 1), 3), pal::kMask);
    return image;
}

QImage ControlArt::SliderThumb(KeyState state) {
    QImage image = art::Canvas(kThumbW, kThumbH, pal::kPage);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(0, 0, kThumbW, kThumbH);
    const bool dragged = state == KeyState::Down;
    const bool off = state == KeyState::Disabled;
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kShadow);
    p.drawPath(art::Rounded(outer, 3));
    QLinearGradient g(0, 0, 0, kThumbH);
    if (off) {
        g.setColorAt(0, QColor(0x38, 0x3D, 0x42));
        g.setColorAt(1, QColor(0x2C, 0x30, 0x35));
    } else {
        g.setColorAt(0, dragged ? QColor(0x8A, 0x92, 0x9A) : QColor(0x74, 0x7C, 0x84));
        g.setColorAt(0.48, dragged ? QColor(0x5C, 0x64, 0x6C) : QColor(0x4A, 0x51, 0x58));
        g.setColorAt(0.52, dragged ? QColor(0x6C, 0x74, 0x7C) : QColor(0x58, 0x5F, 0x66));
        g.setColorAt(1, dragged ? QColor(0x48, 0x4F, 0x56) : QColor(0x36, 0x3C, 0x42));
    }
    p.setBrush(g);
    p.drawPath(art::Rounded(outer.adjusted(1, 1, -1, -1), 2));
    // Grip ridges above and below the index line.
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int y : {5, 8, 19, 22}) {
        p.setPen(off ? QColor(0x26, 0x2A, 0x2E) : QColor(0x2A, 0x2F, 0x34));
        p.drawLine(4, y, kThumbW - 5, y);
        p.setPen(off ? QColor(0x40, 0x45, 0x4A) : QColor(0x8C, 0x94, 0x9C));
        p.drawLine(4, y + 1, kThumbW - 5, y + 1);
    }
    // Index line at the thumb centre: this is where the value sits.
    const QColor index =
        off ? QColor(0x6A, 0x58, 0x3A) : (dragged ? pal::kAmberBright : pal::kAmber);
    p.fillRect(QRect(2, kThumbH / 2 - 1, kThumbW - 4, 2), index);
    // No mask pixels: the cap's corners always lie over the page beside the slot, and they
    // are drawn blended with the page colour already.
    return image;
}

QImage ControlArt::Readout() {
    QImage image = art::Canvas(40, 27, pal::kPage);
    QPainter p(&image);
    art::Recess(p, QRectF(2, 3, 36, 21), 3, pal::kLcd);
    return image;
}

QImage ControlArt::SpinBody() {
    const int w = 60;
    const int h = 30;
    QImage image = art::Canvas(w, h, pal::kPage);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(0, 0, w, h);
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kBorder);
    p.drawPath(art::Rounded(outer, 4));
    p.setBrush(pal::kLcd);
    p.drawPath(art::Rounded(outer.adjusted(1, 1, -1, -1), 3));
    // Arrow column at the right.
    p.setBrush(QColor(0x1A, 0x1E, 0x22));
    p.drawRect(QRectF(w - 20, 1, 19 - 3, h - 2));
    p.drawPath(art::Rounded(QRectF(w - 10, 1, 9, h - 2), 3));
    p.setPen(pal::kBorderDim);
    p.drawLine(QPointF(w - 20.5, 1), QPointF(w - 20.5, h - 1));
    p.end();
    art::MaskOutside(image, art::Rounded(outer, 4), pal::kMask);
    return image;
}

QImage ControlArt::SpinArrow(bool up, KeyState state) {
    QImage image = art::Canvas(kArrowW, kArrowH, pal::kArrowMask);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(0, 0, kArrowW, kArrowH);
    QColor face;
    QColor ink;
    switch (state) {
    case KeyState::Up:
        face = QColor(0x30, 0x36, 0x3C);
        ink = QColor(0xB4, 0xBC, 0xC4);
        break;
    case KeyState::Over:
        face = QColor(0x3C, 0x43, 0x4A);
        ink = pal::kAmberBright;
        break;
    case KeyState::Down:
        face = pal::kAmber;
        ink = pal::kTextOnLit;
        break;
    default:
        face = QColor(0x24, 0x28, 0x2D);
        ink = pal::kTextDim;
        break;
    }
    // Drawn on the arrow column's colour so anti-aliased edges blend with it.
    image.fill(QColor(0x1A, 0x1E, 0x22));
    p.setPen(Qt::NoPen);
    p.setBrush(face);
    p.drawPath(art::Rounded(outer, 3));
    p.setBrush(ink);
    QPainterPath t;
    const double cx = kArrowW / 2.0;
    if (up) {
        t.moveTo(cx, 3.5);
        t.lineTo(cx + 4.5, 9);
        t.lineTo(cx - 4.5, 9);
    } else {
        t.moveTo(cx - 4.5, 4);
        t.lineTo(cx + 4.5, 4);
        t.lineTo(cx, 9.5);
    }
    t.closeSubpath();
    p.drawPath(t);
    p.end();
    art::MaskOutside(image, art::Rounded(outer, 3), pal::kArrowMask);
    return image;
}

QImage ControlArt::GroupFrame(bool enabled) {
    QImage image = art::Canvas(40, 40, pal::kPage);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(0, 0, 40, 40);
    p.setPen(Qt::NoPen);
    p.setBrush(enabled ? pal::kBorder : pal::kBorderDim);
    p.drawPath(art::Rounded(outer, 6));
    p.setBrush(enabled ? pal::kGroup : pal::kGroupOff);
    p.drawPath(art::Rounded(outer.adjusted(1, 1, -1, -1), 5));
    p.end();
    art::MaskOutside(image, art::Rounded(outer, 6), pal::kMask);
    return image;
}

QImage ControlArt::GroupKey(KeyState state) {
    KeyLook look;
    look.lamp = pal::kAmber;
    look.litFace = true;
    look.lampStrip = false;
    look.radius = 4;
    look.masked = false; // group keys stretch to their cell: their shape is the cell
    look.under = pal::kGroup;
    return KeyArt::Key(QSize(30, 16), state, look, QImage());
}

QImage ControlArt::ProgressStrip() {
    QImage image = art::Canvas(40, 20, pal::kBay);
    return image;
}

QImage ControlArt::ProgressCell(bool lit) {
    QImage image = art::Canvas(18, 12, pal::kBay);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF cell(0.5, 0.5, 15, 11);
    if (lit) {
        p.setBrush(art::Mix(pal::kAmber, Qt::black, 0.3));
        p.drawRoundedRect(cell, 2, 2);
        QLinearGradient g(0, 1, 0, 11);
        g.setColorAt(0, pal::kAmberBright);
        g.setColorAt(1, pal::kAmber);
        p.setBrush(g);
        p.drawRoundedRect(cell.adjusted(1, 1, -1, -1), 1.5, 1.5);
    } else {
        p.setBrush(QColor(0x2A, 0x22, 0x16));
        p.drawRoundedRect(cell, 2, 2);
    }
    p.end();
    // The two columns at the right are the gap between cells.
    art::SetPixels(image, QRect(16, 0, 2, 12), pal::kMask);
    return image;
}

QImage ControlArt::MenuIcon(int command) {
    QImage image = art::Canvas(16, 16, kMenuColour);
    QPainter p(&image);
    const QRectF box(0, 0, 16, 16);
    const QColor ink = pal::kAmber;
    switch (command) {
    case 0:
        GlyphArt::PresetLoad(p, box, ink);
        break;
    case 1:
        GlyphArt::PresetSave(p, box, ink);
        break;
    case 2:
        GlyphArt::PresetRename(p, box, ink);
        break;
    case 3:
        GlyphArt::PresetLoadFile(p, box, ink);
        break;
    default:
        GlyphArt::PresetSaveFile(p, box, ink);
        break;
    }
    p.end();
    MaskColour(image, kMenuColour, pal::kMask);
    return image;
}

QImage ControlArt::TreeIcon() {
    QImage image = art::ClearCanvas(16, 16);
    QPainter p(&image);
    // Light caps on grey slots read on the dark tree and on its amber selection alike.
    GlyphArt::Fader(p, QRectF(0, 0, 16, 16), QColor(0x7A, 0x84, 0x8E), QColor(0xE6, 0xEA, 0xEE));
    return image;
}
