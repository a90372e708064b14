#include "AppIcon.h"

#include <QPainter>
#include <QPainterPath>

#include "ArtKit.h"
#include "SkinPalette.h"

QImage AppIcon::Draw(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size / 64.0; // the design grid is 64 x 64

    // Rack face: a rounded plate with the skin's face gradient and a light top edge.
    const QRectF face(1.5 * s, 1.5 * s, 61 * s, 61 * s);
    art::Plate(p, face, 11 * s, pal::kFaceTop, pal::kFaceBottom);
    p.setPen(QPen(pal::kBorder, std::max(1.0, 1.2 * s)));
    p.setBrush(Qt::NoBrush);
    p.drawPath(art::Rounded(face, 11 * s));

    // Meter well with eight segments rising from green through amber to red.
    const QRectF well(9 * s, 9 * s, 20 * s, 46 * s);
    art::Recess(p, well, 3 * s, pal::kBay);
    const QColor colours[8] = {pal::kGreen, pal::kGreen, pal::kGreen, pal::kGreen,
                               pal::kYellow, pal::kAmber, pal::kOrange, pal::kRed};
    const int lit = 6;
    for (int i = 0; i < 8; ++i) {
        const QRectF seg(12 * s, (49 - i * 5.2) * s, 14 * s, 3.6 * s);
        const QColor c = i < lit ? colours[i] : art::Mix(colours[i], pal::kBay, 0.78);
        p.setPen(Qt::NoPen);
        p.setBrush(c);
        p.drawRoundedRect(seg, 0.8 * s, 0.8 * s);
    }

    // Fader slot and cap in the accent colour.
    const QRectF slot(42 * s, 10 * s, 5 * s, 44 * s);
    art::Recess(p, slot, 2.5 * s, pal::kBay);
    const QRectF cap(35 * s, 23 * s, 19 * s, 10 * s);
    art::Plate(p, cap, 2.5 * s, pal::kAmberBright, pal::kAmberDark);
    p.setPen(QPen(pal::kTextOnLit, std::max(1.0, 1.4 * s)));
    p.drawLine(QPointF(37.5 * s, 28 * s), QPointF(51.5 * s, 28 * s));
    p.end();
    return image;
}
