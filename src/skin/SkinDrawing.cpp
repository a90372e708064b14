#include "skin/SkinDrawing.h"

#include <vector>

#include <QPainter>
#include <QRect>

QColor ColorFromSkin(int32_t value) {
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

namespace {

// Collects the runs of one row at a time; a run still open at the row's end ends there.
class RunCollector {
public:
    explicit RunCollector(int height) { rects_.reserve(static_cast<std::size_t>(height)); }

    template <typename IsOpaque> void Row(int y, int width, IsOpaque isOpaque) {
        int start = -1;
        for (int x = 0; x < width; ++x) {
            if (isOpaque(x)) {
                if (start < 0) {
                    start = x;
                }
            } else if (start >= 0) {
                rects_.emplace_back(start, y, x - start, 1);
                start = -1;
            }
        }
        if (start >= 0) {
            rects_.emplace_back(start, y, width - start, 1);
        }
    }

    QRegion Region() const {
        QRegion region;
        if (!rects_.empty()) {
            region.setRects(rects_.data(), static_cast<int>(rects_.size()));
        }
        return region;
    }

private:
    std::vector<QRect> rects_;
};

} // namespace

QRegion CreateRegionFromBitmap(const QImage& bitmap, int32_t maskColour) {
    const int width = bitmap.width();
    const int height = bitmap.height();
    const uint32_t red = maskColour & 0xFF;
    const uint32_t green = (maskColour >> 8) & 0xFF;
    const uint32_t blue = (maskColour >> 16) & 0xFF;
    // The mask in the pixel data's own order, 0x00RRGGBB.
    const uint32_t mask = (red << 16) | (green << 8) | blue;
    RunCollector runs(height);

    switch (bitmap.format()) {
    case QImage::Format_Indexed8: {
        const QList<QRgb> table = bitmap.colorTable();
        for (int y = 0; y < height; ++y) {
            const uchar* row = bitmap.constScanLine(y);
            runs.Row(y, width, [&](int x) {
                const uchar index = row[x];
                const uint32_t colour = index < table.size() ? (table[index] & 0xFFFFFF) : 0;
                return colour != mask;
            });
        }
        break;
    }
    case QImage::Format_RGB16: {
        const uint16_t mask565 =
            static_cast<uint16_t>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3));
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(bitmap.constScanLine(y));
            runs.Row(y, width, [&](int x) { return row[x] != mask565; });
        }
        break;
    }
    case QImage::Format_RGB555: {
        const uint16_t mask555 =
            static_cast<uint16_t>(((red & 0xF8) << 7) | ((green & 0xF8) << 2) | (blue >> 3));
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const uint16_t*>(bitmap.constScanLine(y));
            runs.Row(y, width, [&](int x) { return (row[x] & 0x7FFF) != mask555; });
        }
        break;
    }
    case QImage::Format_RGB888: {
        for (int y = 0; y < height; ++y) {
            const uchar* row = bitmap.constScanLine(y);
            runs.Row(y, width, [&](int x) {
                const uchar* p = row + 3 * x;
                return p[0] != red || p[1] != green || p[2] != blue;
            });
        }
        break;
    }
    case QImage::Format_ARGB32: {
        // A 32-bit pixel matches only when its fourth byte is 0 as well.
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(bitmap.constScanLine(y));
            runs.Row(y, width, [&](int x) { return row[x] != mask; });
        }
        break;
    }
    case QImage::Format_Invalid:
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        // Fewer than 8 bits per pixel give no region.
        break;
    default: {
        // Formats without a fourth byte of their own (RGB32 holds 0xFF there, whatever the
        // file said) compare the colour only; others are compared after conversion.
        const bool hasAlpha = bitmap.hasAlphaChannel();
        const QImage pixels =
            bitmap.convertToFormat(hasAlpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        const uint32_t significant = hasAlpha ? 0xFFFFFFFF : 0x00FFFFFF;
        for (int y = 0; y < height; ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
            runs.Row(y, width, [&](int x) { return (row[x] & significant) != mask; });
        }
        break;
    }
    }
    return runs.Region();
}

QImage StretchByResizeLines(const QImage& source, QPoint resize, QSize target) {
    const QImage::Format format =
        source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    QImage result(target, format);
    if (result.isNull()) {
        return result;
    }
    result.fill(Qt::transparent);
    const QImage pixels = source.convertToFormat(format);
    const int w = pixels.width();
    const int h = pixels.height();
    const int rx = resize.x();
    const int ry = resize.y();
    const int dx = target.width() - w;
    const int dy = target.height() - h;
    {
        QPainter painter(&result);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        // Later quadrants win where a smaller target makes them overlap.
        painter.drawImage(QPoint(0, 0), pixels, QRect(0, 0, rx + 1, ry + 1));
        painter.drawImage(QPoint(0, ry + dy), pixels, QRect(0, ry, rx + 1, h - ry));
        painter.drawImage(QPoint(rx + dx, 0), pixels, QRect(rx, 0, w - rx, ry + 1));
        painter.drawImage(QPoint(rx + dx, ry + dy), pixels, QRect(rx, ry, w - rx, h - ry));
    }
    // Repeat the resize column and row by copying pixels inside the new image.
    if (dx > 0 && rx >= 0 && rx < target.width()) {
        for (int y = 0; y < result.height(); ++y) {
            auto* row = reinterpret_cast<QRgb*>(result.scanLine(y));
            for (int x = rx + 1; x <= rx + dx - 1 && x < result.width(); ++x) {
                row[x] = row[rx];
            }
        }
    }
    if (dy > 0 && ry >= 0 && ry < target.height()) {
        const auto* line = reinterpret_cast<const QRgb*>(result.constScanLine(ry));
        for (int y = ry + 1; y <= ry + dy - 1 && y < result.height(); ++y) {
            std::copy(line, line + result.width(), reinterpret_cast<QRgb*>(result.scanLine(y)));
        }
    }
    return result;
}

QImage ArtForRatio(const QImage& image, const QImage& stretched, const QImage* twin, QPoint resize,
                   double ratio, int32_t maskColour, TwinCutOut cutOut) {
    if (twin == nullptr || ratio < 1.5 || stretched.isNull() ||
        twin->size() != image.size() * 2) {
        return stretched;
    }
    // A resize line below 0 means none, at any size.
    const QPoint twinResize(resize.x() < 0 ? resize.x() : 2 * resize.x(),
                            resize.y() < 0 ? resize.y() : 2 * resize.y());
    // Stretched in the twin's own pixels: a ratio left on it would halve every copy.
    QImage pixels = *twin;
    pixels.setDevicePixelRatio(1.0);
    QImage art = stretched.size() == image.size()
                     ? pixels.convertToFormat(pixels.hasAlphaChannel()
                                                  ? QImage::Format_ARGB32_Premultiplied
                                                  : QImage::Format_RGB32)
                     : StretchByResizeLines(pixels, twinResize, stretched.size() * 2);
    if (art.isNull()) {
        return stretched;
    }
    if (cutOut != TwinCutOut::None) {
        // The twin's own cut-out, found the way a shape is cut from an image.
        QRegion cut(art.rect());
        cut -= CreateRegionFromBitmap(art, maskColour);
        if (!cut.isEmpty()) {
            art = art.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            QPainter painter(&art);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.setClipRegion(cut);
            if (cutOut == TwinCutOut::Transparent) {
                painter.fillRect(art.rect(), Qt::transparent);
            } else {
                // Each pixel of the normal image covers two by two of the twin's.
                painter.drawImage(art.rect(), stretched);
            }
        }
    }
    if (ratio == 2.0) {
        art.setDevicePixelRatio(2.0);
        return art;
    }
    // Any other density gets the twin brought smoothly to its own pixels once, rather than
    // every paint dropping or doubling rows of it.
    const QSize device(qRound(stretched.width() * ratio), qRound(stretched.height() * ratio));
    QImage fitted = art.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    fitted.setDevicePixelRatio(ratio);
    return fitted;
}
