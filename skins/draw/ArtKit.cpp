#include "ArtKit.h"

#include <cmath>

#include <QLinearGradient>
#include <QPainter>

#include "SkinPalette.h"

namespace art {

namespace {
double gScale = 1;

int Device(int logical) {
    return static_cast<int>(std::lround(logical * gScale));
}
} // namespace

double Scale() {
    return gScale;
}

ScaleScope::ScaleScope(double scale) : previous_(gScale) {
    gScale = scale;
}

ScaleScope::~ScaleScope() {
    gScale = previous_;
}

QImage Canvas(int w, int h, const QColor& fill) {
    QImage image(Device(w), Device(h), QImage::Format_RGB32);
    image.setDevicePixelRatio(gScale);
    image.fill(fill);
    return image;
}

QImage ClearCanvas(int w, int h) {
    QImage image(Device(w), Device(h), QImage::Format_ARGB32);
    image.setDevicePixelRatio(gScale);
    image.fill(Qt::transparent);
    return image;
}

QRect Bounds(const QImage& image) {
    return QRect(QPoint(0, 0), image.deviceIndependentSize().toSize());
}

QImage Cut(const QImage& image, const QRect& r) {
    const double s = image.devicePixelRatio();
    QImage part = image.copy(QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s).toRect());
    part.setDevicePixelRatio(s);
    return part;
}

void SetPixels(QImage& image, const QRect& r, const QColor& colour) {
    const double s = image.devicePixelRatio();
    const QRect device = QRectF(r.x() * s, r.y() * s, r.width() * s, r.height() * s).toRect();
    for (int y = device.top(); y <= device.bottom(); ++y) {
        for (int x = device.left(); x <= device.right(); ++x) {
            image.setPixel(x, y, colour.rgb());
        }
    }
}

QFont Font(const QString& family, int pixelSize, bool bold, double spacing) {
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    // Hinting snaps each glyph to the pixel grid; with extra letter spacing that opens
    // uneven gaps in small capitals, so spaced labels keep their outlines instead.
    font.setHintingPreference(spacing != 0 ? QFont::PreferNoHinting : QFont::PreferFullHinting);
    if (spacing != 0) {
        font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    }
    return font;
}

QColor Mix(const QColor& a, const QColor& b, double t) {
    auto lerp = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return QColor(lerp(a.red(), b.red()), lerp(a.green(), b.green()), lerp(a.blue(), b.blue()));
}

QPainterPath Rounded(const QRectF& r, double radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void MaskOutside(QImage& image, const QPainterPath& shape, const QColor& mask) {
    const QRgb m = mask.rgb();
    const double s = image.devicePixelRatio();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (!shape.contains(QPointF((x + 0.5) / s, (y + 0.5) / s))) {
                image.setPixel(x, y, m);
            }
        }
    }
}

void Recess(QPainter& p, const QRectF& r, double radius, const QColor& fill) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Light lip below, dark lip above: the well reads as sunk into the face.
    p.setBrush(pal::kHighlight);
    p.drawPath(Rounded(r.adjusted(0, 1, 0, 1), radius));
    p.setBrush(pal::kShadow);
    p.drawPath(Rounded(r, radius));
    p.setBrush(fill);
    p.drawPath(Rounded(r.adjusted(1, 1.5, -1, -1), radius > 1 ? radius - 1 : 0));
    p.restore();
}

void Plate(QPainter& p, const QRectF& r, double radius, const QColor& top, const QColor& bottom) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kShadow);
    p.drawPath(Rounded(r, radius));
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setBrush(g);
    p.drawPath(Rounded(r.adjusted(1, 1, -1, -1), radius > 1 ? radius - 1 : 0));
    p.setPen(QPen(Mix(top, Qt::white, 0.12), 1));
    p.drawLine(QPointF(r.left() + radius, r.top() + 1.5),
               QPointF(r.right() - radius, r.top() + 1.5));
    p.restore();
}

void Text(QPainter& p, const QRectF& r, int flags, const QString& text, const QFont& font,
          const QColor& colour) {
    p.save();
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, flags, text);
    p.restore();
}

void Engraved(QPainter& p, const QRectF& r, int flags, const QString& text, const QFont& font,
              const QColor& colour) {
    Text(p, r.translated(0, 1), flags, text, font, pal::kShadow);
    Text(p, r, flags, text, font, colour);
}

void Screw(QPainter& p, const QPointF& centre, double radius) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kShadow);
    p.drawEllipse(centre, radius + 1, radius + 1);
    QLinearGradient g(centre - QPointF(radius, radius), centre + QPointF(radius, radius));
    g.setColorAt(0, QColor(0x6A, 0x72, 0x7A));
    g.setColorAt(1, QColor(0x2A, 0x2F, 0x34));
    p.setBrush(g);
    p.drawEllipse(centre, radius, radius);
    p.setPen(QPen(QColor(0x15, 0x18, 0x1B), 1.4));
    p.drawLine(centre + QPointF(-radius * 0.6, -radius * 0.3),
               centre + QPointF(radius * 0.6, radius * 0.3));
    p.restore();
}

void Brush(QPainter& p, const QRect& r, unsigned seed, int strength) {
    p.save();
    unsigned state = seed;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        state = state * 1664525u + 1013904223u;
        const int v = static_cast<int>((state >> 24) % (2 * strength + 1)) - strength;
        if (v == 0) {
            continue;
        }
        p.setPen(v > 0 ? QColor(255, 255, 255, v * 3) : QColor(0, 0, 0, -v * 4));
        p.drawLine(r.left(), y, r.right(), y);
    }
    p.restore();
}

} // namespace art
