#include "Mockup.h"

#include <cmath>

#include <QPainter>

#include "ArtKit.h"
#include "SkinGeometry.h"
#include "SkinImages.h"
#include "SkinPalette.h"

namespace {

const QString kCondensed = QStringLiteral("DejaVu Sans Condensed");
const QString kMono = QStringLiteral("DejaVu Sans Mono");

// The image with its mask colour made transparent.
QImage Masked(const QImage& image, const QColor& mask = pal::kMask) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb m = mask.rgb();
    for (int y = 0; y < out.height(); ++y) {
        for (int x = 0; x < out.width(); ++x) {
            if ((out.pixel(x, y) | 0xFF000000u) == m) {
                out.setPixel(x, y, 0);
            }
        }
    }
    return out;
}

// Stretches along one column and one row, as the skinned controls do.
QImage Stretch(const QImage& src, int rx, int ry, QSize target) {
    const int w = src.width();
    const int h = src.height();
    const int dx = target.width() - w;
    const int dy = target.height() - h;
    QImage out(target, src.format());
    out.fill(0);
    QPainter p(&out);
    p.drawImage(QPoint(0, 0), src, QRect(0, 0, rx + 1, ry + 1));
    p.drawImage(QPoint(0, ry + dy), src, QRect(0, ry, rx + 1, h - ry));
    p.drawImage(QPoint(rx + dx, 0), src, QRect(rx, 0, w - rx, ry + 1));
    p.drawImage(QPoint(rx + dx, ry + dy), src, QRect(rx, ry, w - rx, h - ry));
    p.end();
    for (int x = rx + 1; x < rx + dx; ++x) {
        for (int y = 0; y < target.height(); ++y) {
            out.setPixel(x, y, out.pixel(rx, y));
        }
    }
    for (int y = ry + 1; y < ry + dy; ++y) {
        for (int x = 0; x < target.width(); ++x) {
            out.setPixel(x, y, out.pixel(x, ry));
        }
    }
    return out;
}

void Key(QPainter& p, const SkinImages& im, const QString& name, const char* state, const QRect& r,
         const QString& caption, const QColor& ink) {
    p.drawImage(r.topLeft(), Masked(im.Get(QString("Buttons/%1_%2.bmp").arg(name, state))));
    if (!caption.isEmpty()) {
        art::Text(p, r, Qt::AlignCenter, caption, art::Font(kCondensed, 12, true), ink);
    }
}

void Meters(QPainter& p, const SkinImages& im, const QString& background) {
    using namespace geo;
    p.drawImage(kLeds.topLeft(), im.Get(background));
    const int lit[8] = {24, 23, 9, 14, 6, 11, 4, 26};
    const int peak[8] = {27, 26, 12, 16, 0, 13, 7, 28};
    for (int r = 0; r < kLedRows; ++r) {
        for (int s = 0; s < kLedSegments; ++s) {
            int led = 1;
            if (s < lit[r] || s == peak[r]) {
                led = s >= 28 ? 4 : (s >= 22 ? 3 : 2);
            }
            p.drawImage(kLeds.left() + s * kLedPitch, kLeds.top() + kLedTop + r * kLedPitch,
                        im.Get(QString("Leds/Led%1.bmp").arg(led)));
        }
    }
}

void Fader(QPainter& p, const SkinImages& im, QPoint page, int X, int Y, int W, int H,
           const QString& name, const QString& value, double fraction) {
    const QFont captionFont = art::Font(kCondensed, 10);
    art::Text(p, QRect(page + QPoint(X, Y), QSize(W, 13)), Qt::AlignCenter, name, captionFont,
              pal::kText2);
    p.drawImage(page + QPoint(X, Y + 13),
                Stretch(im.Get("Backgrounds/Readout.bmp"), 20, 13, QSize(W, 27)));
    art::Text(p, QRect(page + QPoint(X, Y + 13), QSize(W, 27)), Qt::AlignCenter, value,
              art::Font(kCondensed, 12, true), pal::kAmberBright);
    const QPoint at = page + QPoint(X + (W - 40) / 2, Y + 40);
    const int sh = H - 40;
    p.drawImage(at, Masked(Stretch(im.Get("Slider/Track.bmp"), 0, 30, QSize(40, sh))));
    const int tics = 21;
    const double scale = (sh - 14.0 - 14.0) / (tics - 1);
    p.setPen(QColor(0x4A, 0x52, 0x5A));
    for (int i = 0; i < tics; ++i) {
        const int y = at.y() + static_cast<int>(14 + i * scale);
        p.drawLine(at.x(), y, at.x() + 3, y);
        p.drawLine(at.x() + 36, y, at.x() + 40, y);
    }
    const int pos = static_cast<int>(std::round((1.0 - fraction) * (tics - 1)));
    const int top = static_cast<int>(pos * scale + 14 - 14);
    p.drawImage(at + QPoint(10, top), Masked(im.Get("Slider/Thumb.bmp")));
}

} // namespace

QImage Mockup::Chassis() const {
    QImage shot(geo::kMainW + 40, geo::kMainH + 40, QImage::Format_ARGB32);
    shot.fill(QColor(0x4B, 0x55, 0x60));
    QPainter p(&shot);
    p.drawImage(20, 20, Masked(images_.Get("Backgrounds/DlgMain.bmp")));
    return shot;
}

QImage Mockup::Online() const {
    using namespace geo;
    QImage shot = Chassis();
    QPainter p(&shot);
    p.translate(20, 20);
    const SkinImages& im = images_;
    const QColor up = pal::kText;
    const QColor lit = pal::kTextOnLit;
    Key(p, im, "Minimize", "Up", kMinimize, {}, up);
    Key(p, im, "Exit", "Over", kExit, {}, up);
    Key(p, im, "Bypass", "Up", kBypass, "BYPASS", up);
    Key(p, im, "Online", "Down", kOnline, "ONLINE", lit);
    Key(p, im, "Agc", "Down", kAgc, "AGC", lit);
    Key(p, im, "Io", "Over", kIo, "I/O", QColor(Qt::white));
    Key(p, im, "A", "Down", kA, "A", lit);
    Key(p, im, "B", "Up", kB, "B", up);
    Key(p, im, "Disconnect", "Up", kConnect, "DISCONNECT", up);
    Key(p, im, "Menu", "Down", kMenu, "PAGES", lit);
    Key(p, im, "Presets", "Up", kPresets, "PRESETS", up);
    Key(p, im, "History", "Up", kHistory, "HISTORY", up);
    Key(p, im, "ScrollUp", "Up", kScrollUp, {}, up);
    Key(p, im, "ScrollDown", "Disabled", kScrollDown, {}, up);
    Meters(p, im, "Leds/BackgroundAgc.bmp");

    // Page tree.
    const QFont treeFont = art::Font(kCondensed, 13);
    const QImage icon = im.Get("tree_icon.ico");
    const char* items[] = {"INPUT",   "AGC",    "  BANDS", "  TIMING",
                           "LIMITER", "OUTPUT", "SYSTEM",  "  CLOCK"};
    for (int i = 0; i < 8; ++i) {
        const QRect row(kTree.left(), kTree.top() + i * 20, kTree.width(), 20);
        const bool sel = i == 3;
        if (sel) {
            p.fillRect(row.adjusted(20, 1, 0, -1), QColor(0xD6, 0x8A, 0x1E));
        }
        const int indent = QString(items[i]).startsWith(' ') ? 18 : 2;
        p.drawImage(row.left() + indent, row.top() + 2, icon);
        art::Text(p, row.adjusted(indent + 20, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                  QString(items[i]).trimmed(), treeFont,
                  sel ? QColor(0x11, 0x11, 0x11) : QColor(0xC9, 0xD1, 0xD9));
    }

    // A parameter page laid out as the simulator's "AGC" page.
    const QPoint page = kFrame.topLeft();
    p.drawImage(page, im.Get("Backgrounds/Page.bmp"));
    const QFont capFont = art::Font(kCondensed, 12, true);
    const QString first = "AGC";
    const QString second = " Bands";
    const int w1 = QFontMetrics(capFont).horizontalAdvance(first);
    const int w2 = QFontMetrics(capFont).horizontalAdvance(second);
    int x = (kFrame.width() - (w1 + w2 + kSeparator.width())) / 2;
    art::Text(p, QRect(page + QPoint(x, 0), QSize(w1, kCaptionH)), Qt::AlignLeft | Qt::AlignVCenter,
              first, capFont, pal::kText);
    x += w1;
    p.drawImage(page + QPoint(x, kSeparator.top()), im.Get("Backgrounds/Separator.bmp"));
    x += kSeparator.width();
    art::Text(p, QRect(page + QPoint(x, 0), QSize(w2, kCaptionH)), Qt::AlignLeft | Qt::AlignVCenter,
              second, capFont, pal::kText);

    Fader(p, im, page, 10, 20, 80, 220, "AGC Drive", "-2.5 dB", 0.3);
    Fader(p, im, page, 250, 20, 80, 220, "Gate Threshold", "-45 dB", 0.62);

    // Button groups: one column of keys, 20 pixels a row under a 16-pixel caption.
    auto group = [&](QPoint at, int width, const QString& title, QStringList options, int sel,
                     int over) {
        const QRect frame(page + at, QSize(width, 16 + 20 * options.size() + 4));
        p.drawImage(frame.topLeft(),
                    Masked(Stretch(im.Get("Backgrounds/GroupFrame.bmp"), 20, 20, frame.size())));
        art::Text(p, QRect(frame.topLeft() + QPoint(0, 1), QSize(frame.width(), 15)),
                  Qt::AlignCenter, title, art::Font(kCondensed, 11, true), pal::kText2);
        for (int i = 0; i < options.size(); ++i) {
            const QRect cell(frame.left() + 6 + 1, frame.top() + 16 + i * 20 + 1, width - 12 - 1,
                             19);
            const char* state = i == sel ? "Down" : (i == over ? "Over" : "Up");
            p.drawImage(cell.topLeft(), Stretch(im.Get(QString("Buttons/Key_%1.bmp").arg(state)),
                                                15, 8, cell.size()));
            art::Text(p, cell, Qt::AlignCenter, options[i], art::Font(kCondensed, 12, true),
                      i == sel ? pal::kTextOnLit : (i == over ? QColor(Qt::white) : pal::kText));
        }
    };
    group(QPoint(110, 14), 120, "AGC Release", {"Slow", "Medium", "Fast"}, 1, 2);
    group(QPoint(110, 124), 120, "AGC Mode", {"Wideband", "Multiband"}, 1, -1);

    // A three-field spin: the time of day.
    const QRect spin(page + QPoint(370, 40), QSize(160, 30));
    art::Text(p, QRect(spin.topLeft() - QPoint(0, 13), QSize(spin.width(), 13)), Qt::AlignCenter,
              "Time of Day", art::Font(kCondensed, 11, true), pal::kText2);
    p.drawImage(spin.topLeft(), Masked(Stretch(im.Get("Spin/Body.bmp"), 20, 15, spin.size())));
    p.drawImage(spin.topLeft() + QPoint(spin.width() - 16 - 3, 2),
                Masked(im.Get("Spin/Up_Over.bmp"), pal::kArrowMask));
    p.drawImage(spin.topLeft() + QPoint(spin.width() - 16 - 3, 15),
                Masked(im.Get("Spin/Down_Up.bmp"), pal::kArrowMask));
    const int fw = (spin.width() - 16 - 4) / 3;
    const QFont spinFont = art::Font(kMono, 14, true);
    const char* fields[] = {"07", "45", "30"};
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            p.fillRect(QRect(spin.topLeft() + QPoint(i * fw, 2), QSize(2, 26)),
                       QColor(0x3A, 0x41, 0x48));
        }
        art::Text(p, QRect(spin.topLeft() + QPoint(i * fw + 2, 2), QSize(fw - 1, 26)),
                  Qt::AlignCenter, fields[i], spinFont, pal::kAmberBright);
    }
    return shot;
}

QImage Mockup::Offline() const {
    using namespace geo;
    QImage shot = Chassis();
    QPainter p(&shot);
    p.translate(20, 20);
    const SkinImages& im = images_;
    const QColor up = pal::kText;
    const QColor off = pal::kTextDim;
    Key(p, im, "Minimize", "Up", kMinimize, {}, up);
    Key(p, im, "Exit", "Up", kExit, {}, up);
    Key(p, im, "Bypass", "Disabled", kBypass, "BYPASS", off);
    Key(p, im, "Online", "Disabled", kOnline, "ONLINE", off);
    Key(p, im, "Agc", "Disabled", kAgc, "AGC", off);
    Key(p, im, "Io", "Disabled", kIo, "I/O", off);
    Key(p, im, "A", "Disabled", kA, "A", off);
    Key(p, im, "B", "Disabled", kB, "B", off);
    Key(p, im, "Connect", "Over", kConnect, "CONNECT", QColor(Qt::white));
    Key(p, im, "Menu", "Up", kMenu, "PAGES", up);
    Key(p, im, "Presets", "Down", kPresets, "PRESETS", pal::kTextOnLit);
    Key(p, im, "History", "Up", kHistory, "HISTORY", up);
    Key(p, im, "ScrollUp", "Up", kScrollUp, {}, up);
    Key(p, im, "ScrollDown", "Up", kScrollDown, {}, up);
    for (int i = 0; i < 5; ++i) {
        const char* names[] = {"PresetLoad", "PresetSave", "PresetRename", "PresetLoadFile",
                               "PresetSaveFile"};
        Key(p, im, names[i], i == 0 ? "Over" : "Disabled",
            QRect(kPresetKeyX[i], kPresetKeyY, kPresetKeyW, kPresetKeyH), {}, up);
    }
    p.drawImage(kLeds.topLeft(), im.Get("Leds/Background.bmp"));

    // Settings panel.
    const QPoint at = kFrame.topLeft();
    p.drawImage(at, im.Get("Backgrounds/Settings.bmp"));
    art::Text(p, QRect(at + kSetCaption.topLeft(), kSetCaption.size()),
              Qt::AlignLeft | Qt::AlignVCenter, "CONNECTION SETTINGS",
              art::Font(kCondensed, 13, true, 1.5), pal::kAmber);
    const QRect group(at + kConnectGroup.topLeft(), QSize(kConnectGroup.width(), 62));
    p.drawImage(group.topLeft(),
                Masked(Stretch(im.Get("Backgrounds/GroupFrame.bmp"), 20, 20, group.size())));
    art::Text(p, QRect(group.topLeft() + QPoint(0, 4), QSize(group.width(), 14)), Qt::AlignCenter,
              "CONNECT VIA", art::Font(kCondensed, 11, true, 1), pal::kText2);
    const char* ports[] = {"Ethernet", "COM1", "COM2", "COM3"};
    const int cw = (group.width() - 20) / 4;
    for (int i = 0; i < 4; ++i) {
        const QRect cell(group.left() + 10 + i * cw + 1, group.top() + 24 + 1, cw - 1, 29);
        p.drawImage(cell.topLeft(),
                    Stretch(im.Get(QString("Buttons/Key_%1.bmp").arg(i == 0 ? "Down" : "Up")), 20,
                            12, cell.size()));
        art::Text(p, cell, Qt::AlignCenter, ports[i], art::Font(kCondensed, 12, true),
                  i == 0 ? pal::kTextOnLit : pal::kText);
    }
    const QFont label = art::Font(kCondensed, 12, true);
    const QFont edit = art::Font(kMono, 14);
    auto field = [&](const QRect& l, const QString& name, const QRect& e, const QString& value) {
        art::Text(p, QRect(at + l.topLeft(), l.size()), Qt::AlignLeft | Qt::AlignVCenter, name,
                  label, pal::kText);
        p.fillRect(QRect(at + e.topLeft(), e.size()), pal::kLcd);
        art::Text(p, QRect(at + e.topLeft() + QPoint(4, 0), e.size()),
                  Qt::AlignLeft | Qt::AlignVCenter, value, edit, pal::kAmberBright);
    };
    field(kHostLabel, "Processor IP", kHostEdit, "192.168.1.40");
    field(kPortLabel, "Port", kPortEdit, "1203");
    field(kCodeLabel, "Password", kCodeEdit, "0007");
    art::Text(p, QRect(at + kSetHint.topLeft(), kSetHint.size()), Qt::AlignLeft | Qt::TextWordWrap,
              "Serial lines run at 19200 baud, 8 data bits, no parity, one stop bit. "
              "Choose the way to the processor, then press CONNECT.",
              art::Font(kCondensed, 12), pal::kText2);

    // The wait window centred over the main window.
    const QImage wait = Masked(im.Get("WaitDlg/WaitBk.bmp"));
    const QPoint w((kMainW - kWaitW) / 2, (kMainH - kWaitH) / 2);
    p.drawImage(w, wait);
    p.drawImage(w + kProgress.topLeft(), im.Get("WaitDlg/Strip.bmp").scaled(kProgress.size()));
    for (int i = 0; i < kProgressCells; ++i) {
        const bool on = std::abs(i - 5) < 2;
        p.drawImage(w + kProgress.topLeft() + QPoint(8 + i * kCellW, 4),
                    Masked(im.Get(on ? "WaitDlg/CellOn.bmp" : "WaitDlg/CellOff.bmp")));
    }
    return shot;
}
