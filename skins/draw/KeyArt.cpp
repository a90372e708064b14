#include "KeyArt.h"

#include <algorithm>

#include <QLinearGradient>
#include <QPainter>

#include "ArtKit.h"
#include "SkinPalette.h"

namespace {

const QColor kCapUpTop{0x40, 0x46, 0x4D};
const QColor kCapUpBottom{0x2B, 0x30, 0x36};
const QColor kCapOverTop{0x4D, 0x54, 0x5C};
const QColor kCapOverBottom{0x36, 0x3C, 0x43};
const QColor kCapPressedTop{0x1F, 0x23, 0x27};
const QColor kCapPressedBottom{0x2E, 0x33, 0x39};
const QColor kCapOff{0x28, 0x2C, 0x31};

bool IsDown(KeyState s) {
    return s == KeyState::Down || s == KeyState::DownDisabled;
}

} // namespace

const char* KeyArt::FileSuffix(KeyState state) {
    switch (state) {
    case KeyState::Up:
        return "Up";
    case KeyState::Over:
        return "Over";
    case KeyState::Down:
        return "Down";
    case KeyState::Disabled:
        return "Disabled";
    case KeyState::DownDisabled:
        return "DownDisabled";
    }
    return "Up";
}

QColor KeyArt::GlyphInk(KeyState state, const KeyLook& look) {
    switch (state) {
    case KeyState::Up:
        return QColor(0xC4, 0xCC, 0xD4);
    case KeyState::Over:
        return pal::kAmberBright;
    case KeyState::Down:
        return look.litFace ? pal::kTextOnLit : pal::kAmber;
    case KeyState::Disabled:
        return pal::kTextDim;
    case KeyState::DownDisabled:
        return QColor(0x8A, 0x7A, 0x62);
    }
    return pal::kText;
}

QImage KeyArt::Key(QSize size, KeyState state, const KeyLook& look, const QImage& under,
                   const Glyph& glyph) {
    const int w = size.width();
    const int h = size.height();
    QImage image = under.isNull() ? art::Canvas(w, h, look.under)
                                  : under.convertToFormat(QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);

    const QRectF outer(0, 0, w, h);
    const double r = look.radius;
    // Bezel: the dark gap between the key and the face it sits in.
    p.setBrush(pal::kShadow);
    p.drawPath(art::Rounded(outer, r));

    const bool down = IsDown(state);
    // A pressed key sinks: its cap starts one pixel lower.
    const QRectF cap = outer.adjusted(1, down ? 2 : 1, -1, -1);
    const double rc = std::max(1.0, r - 1);
    const bool lit = look.litFace && look.lamp.isValid();

    QLinearGradient g(cap.topLeft(), cap.bottomLeft());
    switch (state) {
    case KeyState::Up:
        g.setColorAt(0, kCapUpTop);
        g.setColorAt(1, kCapUpBottom);
        break;
    case KeyState::Over:
        g.setColorAt(0, kCapOverTop);
        g.setColorAt(1, kCapOverBottom);
        break;
    case KeyState::Down:
        if (lit) {
            g.setColorAt(0, art::Mix(look.lamp, Qt::white, 0.28));
            g.setColorAt(0.45, look.lamp);
            g.setColorAt(1, art::Mix(look.lamp, Qt::black, 0.22));
        } else {
            g.setColorAt(0, kCapPressedTop);
            g.setColorAt(1, kCapPressedBottom);
        }
        break;
    case KeyState::Disabled:
        g.setColorAt(0, kCapOff);
        g.setColorAt(1, kCapOff);
        break;
    case KeyState::DownDisabled: {
        const QColor dim = lit ? art::Mix(kCapOff, look.lamp, 0.36) : kCapPressedTop;
        g.setColorAt(0, art::Mix(dim, Qt::white, 0.05));
        g.setColorAt(1, dim);
        break;
    }
    }
    p.setBrush(g);
    p.drawPath(art::Rounded(cap, rc));

    // Edge light: a highlight along the top of a raised cap, an amber rim under the pointer.
    if (state == KeyState::Up || state == KeyState::Over) {
        p.setPen(
            QPen(state == KeyState::Over ? QColor(0x62, 0x6A, 0x73) : QColor(0x55, 0x5C, 0x64), 1));
        p.drawLine(QPointF(cap.left() + rc, cap.top() + 0.5),
                   QPointF(cap.right() - rc, cap.top() + 0.5));
        p.setPen(Qt::NoPen);
    }
    if (state == KeyState::Over) {
        p.setPen(QPen(QColor(pal::kAmber.red(), pal::kAmber.green(), pal::kAmber.blue(), 190), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(art::Rounded(cap.adjusted(0.5, 0.5, -0.5, -0.5), rc));
        p.setPen(Qt::NoPen);
    }
    if (state == KeyState::Down && lit) {
        // Soft glow at the top of a lit face.
        QLinearGradient glow(cap.topLeft(), QPointF(cap.left(), cap.top() + cap.height() * 0.5));
        glow.setColorAt(0, QColor(255, 255, 255, 70));
        glow.setColorAt(1, QColor(255, 255, 255, 0));
        p.setBrush(glow);
        p.drawPath(art::Rounded(cap.adjusted(1, 1, -1, -cap.height() * 0.5), rc));
    }

    if (look.lamp.isValid() && look.lampStrip) {
        const double sw = std::max(12.0, std::round(w * 0.34));
        const QRectF strip(std::round((w - sw) / 2), cap.top() + 3, sw, 3);
        QColor c;
        switch (state) {
        case KeyState::Up:
            c = look.lampAlwaysOn ? look.lamp : art::Mix(kCapUpTop, look.lamp, 0.30);
            break;
        case KeyState::Over:
            c = look.lampAlwaysOn ? art::Mix(look.lamp, Qt::white, 0.2)
                                  : art::Mix(kCapOverTop, look.lamp, 0.45);
            break;
        case KeyState::Down:
            c = art::Mix(look.lamp, Qt::white, lit ? 0.6 : 0.15);
            break;
        case KeyState::Disabled:
            c = QColor(0x34, 0x39, 0x3F);
            break;
        case KeyState::DownDisabled:
            c = art::Mix(kCapOff, look.lamp, 0.5);
            break;
        }
        const bool glowing =
            (state == KeyState::Down) ||
            (look.lampAlwaysOn && (state == KeyState::Up || state == KeyState::Over));
        if (glowing) {
            p.setBrush(QColor(c.red(), c.green(), c.blue(), 70));
            p.drawRoundedRect(strip.adjusted(-2, -1.5, 2, 1.5), 3, 3);
        }
        p.setBrush(c);
        p.drawRoundedRect(strip, 1.5, 1.5);
    }

    if (glyph) {
        glyph(p, cap, GlyphInk(state, look));
    }
    p.end();

    if (look.masked) {
        art::MaskOutside(image, art::Rounded(outer, r), pal::kMask);
    }
    return image;
}
