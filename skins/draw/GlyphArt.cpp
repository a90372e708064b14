#include "GlyphArt.h"

#include <algorithm>
#include <cmath>

#include <QPainter>
#include <QPainterPath>

namespace {

// Maps the glyph's own 20 x 20 design grid onto the box.
class Grid {
public:
    explicit Grid(const QRectF& box) {
        const double side = std::min(box.width(), box.height());
        scale_ = side / 20.0;
        origin_ = QPointF(box.center().x() - side / 2, box.center().y() - side / 2);
    }
    QPointF operator()(double x, double y) const {
        return origin_ + QPointF(x * scale_, y * scale_);
    }
    double operator()(double d) const { return d * scale_; }

private:
    double scale_ = 1;
    QPointF origin_;
};

QPen Stroke(const QColor& ink, double width) {
    QPen pen(ink, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

void Prepare(QPainter& p, const QColor& ink, double width) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Stroke(ink, width));
    p.setBrush(Qt::NoBrush);
}

} // namespace

void GlyphArt::Minimize(QPainter& p, const QRectF& box, const QColor& ink) {
    p.save();
    Grid g(box);
    Prepare(p, ink, g(2.4));
    p.drawLine(g(5, 14), g(15, 14));
    p.restore();
}

void GlyphArt::Power(QPainter& p, const QRectF& box, const QColor& ink) {
    p.save();
    Grid g(box);
    Prepare(p, ink, g(2.0));
    const QRectF ring(g(4, 4.5), g(16, 16.5));
    p.drawArc(ring, 60 * 16, -300 * 16); // open at the top, where the stroke stands
    p.drawLine(g(10, 2.5), g(10, 10));
    p.restore();
}

void GlyphArt::ArrowUp(QPainter& p, const QRectF& box, const QColor& ink) {
    p.save();
    Grid g(box);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPainterPath t;
    t.moveTo(g(10, 5.5));
    t.lineTo(g(16, 13.5));
    t.lineTo(g(4, 13.5));
    t.closeSubpath();
    p.drawPath(t);
    p.restore();
}

void GlyphArt::ArrowDown(QPainter& p, const QRectF& box, const QColor& ink) {
    p.save();
    Grid g(box);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPainterPath t;
    t.moveTo(g(4, 6.5));
    t.lineTo(g(16, 6.5));
    t.lineTo(g(10, 14.5));
    t.closeSubpath();
    p.drawPath(t);
    p.restore();
}

void GlyphArt::PresetLoad(QPainter& p, const QRectF& box, const QColor& ink) {
    // Recall: an arrow dropping into a tray.
    p.save();
    Grid g(box);
    Prepare(p, ink, g(1.8));
    QPainterPath tray;
    tray.moveTo(g(3, 12));
    tray.lineTo(g(3, 17));
    tray.lineTo(g(17, 17));
    tray.lineTo(g(17, 12));
    p.drawPath(tray);
    p.drawLine(g(10, 2.5), g(10, 12.5));
    QPainterPath head;
    head.moveTo(g(6, 8.5));
    head.lineTo(g(10, 12.5));
    head.lineTo(g(14, 8.5));
    p.drawPath(head);
    p.restore();
}

void GlyphArt::PresetSave(QPainter& p, const QRectF& box, const QColor& ink) {
    // Store: a memory card with its label and shutter.
    p.save();
    Grid g(box);
    Prepare(p, ink, g(1.6));
    QPainterPath body;
    body.moveTo(g(3, 3));
    body.lineTo(g(14, 3));
    body.lineTo(g(17, 6));
    body.lineTo(g(17, 17));
    body.lineTo(g(3, 17));
    body.closeSubpath();
    p.drawPath(body);
    p.drawRect(QRectF(g(6.5, 3), g(13, 7.5)));
    p.drawRect(QRectF(g(6, 11), g(14, 17)));
    p.restore();
}

void GlyphArt::PresetRename(QPainter& p, const QRectF& box, const QColor& ink) {
    // Rename: a pencil over a text line.
    p.save();
    Grid g(box);
    Prepare(p, ink, g(1.6));
    QPainterPath pencil;
    pencil.moveTo(g(4, 13));
    pencil.lineTo(g(13, 4));
    pencil.lineTo(g(16, 7));
    pencil.lineTo(g(7, 16));
    pencil.lineTo(g(3.5, 16.5));
    pencil.closeSubpath();
    p.drawPath(pencil);
    p.drawLine(g(11, 6), g(14, 9));
    p.drawLine(g(10, 17.5), g(17, 17.5));
    p.restore();
}

void GlyphArt::PresetLoadFile(QPainter& p, const QRectF& box, const QColor& ink) {
    // Load from file: an open folder with an arrow leaving it upwards.
    p.save();
    Grid g(box);
    Prepare(p, ink, g(1.6));
    QPainterPath folder;
    folder.moveTo(g(2.5, 16.5));
    folder.lineTo(g(2.5, 6));
    folder.lineTo(g(7, 6));
    folder.lineTo(g(8.5, 7.5));
    folder.lineTo(g(15, 7.5));
    folder.lineTo(g(15, 10));
    p.drawPath(folder);
    QPainterPath front;
    front.moveTo(g(2.5, 16.5));
    front.lineTo(g(5.5, 10));
    front.lineTo(g(18, 10));
    front.lineTo(g(15, 16.5));
    front.closeSubpath();
    p.drawPath(front);
    p.drawLine(g(14.5, 1.8), g(14.5, 7));
    QPainterPath head;
    head.moveTo(g(12, 4.3));
    head.lineTo(g(14.5, 1.8));
    head.lineTo(g(17, 4.3));
    p.drawPath(head);
    p.restore();
}

void GlyphArt::PresetSaveFile(QPainter& p, const QRectF& box, const QColor& ink) {
    // Save to file: a page with a folded corner and an arrow going into it.
    p.save();
    Grid g(box);
    Prepare(p, ink, g(1.6));
    QPainterPath page;
    page.moveTo(g(4, 2.5));
    page.lineTo(g(12, 2.5));
    page.lineTo(g(16, 6.5));
    page.lineTo(g(16, 17.5));
    page.lineTo(g(4, 17.5));
    page.closeSubpath();
    p.drawPath(page);
    QPainterPath fold;
    fold.moveTo(g(12, 2.5));
    fold.lineTo(g(12, 6.5));
    fold.lineTo(g(16, 6.5));
    p.drawPath(fold);
    p.drawLine(g(10, 7), g(10, 14));
    QPainterPath head;
    head.moveTo(g(7, 11));
    head.lineTo(g(10, 14));
    head.lineTo(g(13, 11));
    p.drawPath(head);
    p.restore();
}

void GlyphArt::Fader(QPainter& p, const QRectF& box, const QColor& ink, const QColor& cap) {
    // A fader in its slot: the sign of a parameter page.
    p.save();
    Grid g(box);
    Prepare(p, ink, g(1.5));
    p.drawLine(g(6, 2), g(6, 18));
    p.drawLine(g(14, 2), g(14, 18));
    p.setPen(Qt::NoPen);
    p.setBrush(cap);
    p.drawRoundedRect(QRectF(g(3, 10), g(9, 14)), g(1), g(1));
    p.drawRoundedRect(QRectF(g(11, 5), g(17, 9)), g(1), g(1));
    p.restore();
}

void GlyphArt::Sun(QPainter& p, const QPointF& centre, double radius, const QColor& ink) {
    // The Solvei mark: a low sun on the horizon with its rays.
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const double core = radius * 0.52;
    p.drawPie(QRectF(centre.x() - core, centre.y() - core, 2 * core, 2 * core), 0, 180 * 16);
    QPen ray(ink, std::max(1.5, radius * 0.14));
    ray.setCapStyle(Qt::RoundCap);
    p.setPen(ray);
    for (int i = 0; i <= 6; ++i) {
        const double a = M_PI * i / 6.0;
        const QPointF dir(std::cos(a), -std::sin(a));
        p.drawLine(centre + dir * (radius * 0.70), centre + dir * (radius * 0.98));
    }
    p.drawLine(centre + QPointF(-radius, radius * 0.18), centre + QPointF(radius, radius * 0.18));
    p.restore();
}
