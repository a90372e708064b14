#include "PanelArt.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include "ArtKit.h"
#include "GlyphArt.h"
#include "SkinGeometry.h"
#include "SkinPalette.h"

namespace {

const QString kSans = QStringLiteral("DejaVu Sans");
const QString kCondensed = QStringLiteral("DejaVu Sans Condensed");
const QString kMono = QStringLiteral("DejaVu Sans Mono");

// Engraved section label with a hairline running from its end to the right edge.
void SectionLabel(QPainter& p, int x, int y, int right, const QString& text) {
    const QFont font = art::Font(kCondensed, 10, true, 1.2);
    art::Engraved(p, QRectF(x, y, right - x, 14), Qt::AlignLeft | Qt::AlignVCenter, text, font,
                  pal::kText2);
    const int w = QFontMetrics(font).horizontalAdvance(text) + 8;
    if (x + w < right) {
        p.setPen(pal::kBorderDim);
        p.drawLine(x + w, y + 7, right, y + 7);
        p.setPen(QColor(0x3A, 0x40, 0x46));
        p.drawLine(x + w, y + 8, right, y + 8);
    }
}

// Body of a panel that fills the page area. Flat, so that statics, which show the panel
// through them, blend wherever a page description puts them.
QImage FramePanel() {
    QImage image = art::Canvas(geo::kFrame.width(), geo::kFrame.height(), pal::kPage);
    QPainter p(&image);
    p.setPen(pal::kBorderDim);
    p.drawRect(art::Bounds(image).adjusted(0, 0, -1, -1));
    return image;
}

} // namespace

QStringList PanelArt::RowLabels(MeterView view) {
    switch (view) {
    case MeterView::Agc:
        return {"BAND 1", "BAND 2", "BAND 3", "BAND 4", "AGC", "LIMIT", "GATE", "OUTPUT"};
    case MeterView::InputOutput:
        return {"IN L", "IN R", "OUT L", "OUT R", "BAND 1", "BAND 2", "BAND 3", "BAND 4"};
    case MeterView::Offline:
        break;
    }
    return {"1", "2", "3", "4", "5", "6", "7", "8"};
}

QImage PanelArt::MainWindow() {
    using namespace geo;
    QImage image = art::Canvas(kMainW, kMainH, pal::kFaceBottom);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Faceplate: a brushed dark front with rack ears at both sides.
    QLinearGradient face(0, 0, 0, kMainH);
    face.setColorAt(0, pal::kFaceTop);
    face.setColorAt(1, pal::kFaceBottom);
    p.fillRect(art::Bounds(image), face);
    art::Brush(p, art::Bounds(image), 0x5017E1u, 2);
    for (int x : {0, kMainW - kEarW}) {
        p.fillRect(QRect(x, 0, kEarW, kMainH), pal::kEar);
        art::Brush(p, QRect(x, 0, kEarW, kMainH), 0xEA45u + x, 1);
        for (int y : {22, kMainH / 2, kMainH - 22}) {
            p.setPen(Qt::NoPen);
            p.setBrush(pal::kShadow);
            p.drawRoundedRect(QRectF(x + 4, y - 8, 8, 16), 4, 4);
            p.setBrush(QColor(0x05, 0x06, 0x07));
            p.drawRoundedRect(QRectF(x + 5, y - 7, 6, 14), 3, 3);
        }
    }
    p.setPen(QColor(0x15, 0x18, 0x1B));
    p.drawLine(kEarW, 0, kEarW, kMainH);
    p.drawLine(kMainW - kEarW - 1, 0, kMainW - kEarW - 1, kMainH);

    // Title: the mark, the name and the product line.
    GlyphArt::Sun(p, QPointF(44, 27), 13, pal::kAmber);
    art::Engraved(p, QRectF(64, 8, 200, 32), Qt::AlignLeft | Qt::AlignVCenter, "SOLVEI",
                  art::Font(kSans, 21, true, 3), QColor(0xEC, 0xEF, 0xF2));
    art::Engraved(p, QRectF(176, 8, 140, 32), Qt::AlignLeft | Qt::AlignVCenter, "REMOTE",
                  art::Font(kSans, 21, false, 2), pal::kAmber);
    art::Engraved(p, QRectF(318, 15, 360, 20), Qt::AlignLeft | Qt::AlignVCenter,
                  "AGC BROADCAST AUDIO PROCESSOR CONTROL", art::Font(kCondensed, 10, true, 1.5),
                  pal::kText2);
    p.setPen(QColor(0x14, 0x17, 0x1A));
    p.drawLine(kEarW + 1, kTitleH, kMainW - kEarW - 2, kTitleH);
    p.setPen(QColor(0x3C, 0x43, 0x4A));
    p.drawLine(kEarW + 1, kTitleH + 1, kMainW - kEarW - 2, kTitleH + 1);

    // Meter bay: a deep recess the LED panel sits in.
    art::Recess(p, kMeterBay, 6, pal::kBay);

    // Control plate with its section labels.
    art::Recess(p, kPlate, 6, pal::kPlate);
    SectionLabel(p, kBypass.left(), kPlateRow1LabelY, kOnline.right(), "OUTPUT");
    SectionLabel(p, kAgc.left(), kPlateRow1LabelY, kIo.right(), "METERS");
    SectionLabel(p, kA.left(), kPlateRow2LabelY, kB.right(), "COMPARE");
    SectionLabel(p, kConnect.left(), kPlateRow2LabelY, kConnect.right(), "PROCESSOR LINK");

    // Navigation column: the well of the tree and the preset list, the scroll rail, the
    // tray of the preset tools.
    art::Recess(p, kNavWell, 5, pal::kWell);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x0A, 0x0C, 0x0E));
    const QRectF rail(kScrollUp.left() + 6, kScrollUp.bottom() + 5, kScrollUp.width() - 12,
                      kScrollDown.top() - kScrollUp.bottom() - 9);
    p.drawRoundedRect(rail, 2, 2);
    art::Recess(p, kPresetTray.adjusted(-3, -1, 3, 3), 5, pal::kPlate);

    // Page area bezel; the settings panel or a page covers its inside. What shows between
    // them is the mark, dimmed.
    art::Recess(p, kFrame.adjusted(-3, -3, 3, 3), 6, pal::kPage);
    GlyphArt::Sun(p, QPointF(kFrame.center().x(), kFrame.center().y() - 14), 34,
                  QColor(0x2A, 0x30, 0x36));
    art::Text(p, QRectF(kFrame.left(), kFrame.center().y() + 16, kFrame.width(), 30),
              Qt::AlignCenter, "SOLVEI", art::Font(kSans, 20, true, 4), QColor(0x26, 0x2B, 0x31));

    // Foot line.
    art::Engraved(p, QRectF(kEarW + 14, kMainH - 20, 400, 14), Qt::AlignLeft | Qt::AlignVCenter,
                  "SOLVEI  \u00B7  AGC BROADCAST PROCESSOR", art::Font(kCondensed, 9, true, 1.2),
                  pal::kText2);
    p.end();

    art::MaskOutside(image, art::Rounded(QRectF(0, 0, kMainW, kMainH), kMainRadius), pal::kMask);
    return image;
}

QImage PanelArt::LedSegment(const QColor& colour) {
    QImage image = art::Canvas(geo::kLedSize, geo::kLedSize, pal::kBay);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const QRectF cell(0.5, 0.5, geo::kLedSize - 1, geo::kLedSize - 1);
    if (!colour.isValid()) {
        p.setBrush(QColor(0x1A, 0x20, 0x1E));
        p.drawRoundedRect(cell, 1.5, 1.5);
        p.setBrush(QColor(0x20, 0x27, 0x25));
        p.drawRoundedRect(cell.adjusted(1, 1, -1, -1), 1, 1);
        return image;
    }
    p.setBrush(art::Mix(colour, Qt::black, 0.35));
    p.drawRoundedRect(cell, 1.5, 1.5);
    QRadialGradient glow(cell.center() - QPointF(0.5, 1), geo::kLedSize * 0.6);
    glow.setColorAt(0, art::Mix(colour, Qt::white, 0.55));
    glow.setColorAt(0.45, colour);
    glow.setColorAt(1, art::Mix(colour, Qt::black, 0.15));
    p.setBrush(glow);
    p.drawRoundedRect(cell.adjusted(1, 1, -1, -1), 1, 1);
    return image;
}

QImage PanelArt::Leds(MeterView view) {
    using namespace geo;
    QImage image = art::Canvas(kLeds.width(), kLeds.height(), pal::kBay);
    QPainter p(&image);
    const QFont head = art::Font(kCondensed, 10, true, 1.2);
    const QFont small = art::Font(kCondensed, 9, true, 0.6);

    QString title = "LEVEL METERS";
    QColor titleInk = pal::kText2;
    if (view == MeterView::Agc) {
        title = "AGC  \u00B7  GAIN REDUCTION";
        titleInk = pal::kAmber;
    } else if (view == MeterView::InputOutput) {
        title = "INPUT / OUTPUT LEVELS";
        titleInk = pal::kAmber;
    }
    art::Text(p, QRectF(0, 1, 300, 14), Qt::AlignLeft | Qt::AlignVCenter, title, head, titleInk);
    // View indicator at the right of the header: the active view is lit.
    const bool agc = view == MeterView::Agc;
    const bool io = view == MeterView::InputOutput;
    art::Text(p, QRectF(kLedLabelX - 70, 1, 34, 14), Qt::AlignRight | Qt::AlignVCenter, "AGC",
              small, agc ? pal::kAmberBright : pal::kTextDim);
    art::Text(p, QRectF(kLedLabelX - 30, 1, 34, 14), Qt::AlignRight | Qt::AlignVCenter, "I/O",
              small, io ? pal::kAmberBright : pal::kTextDim);
    p.setPen(QColor(0x1E, 0x24, 0x28));
    p.drawLine(0, 16, kLeds.width() - 1, 16);

    // The dark matrix: exactly the unlit segment image at every position.
    const QImage off = LedSegment(QColor());
    for (int r = 0; r < kLedRows; ++r) {
        for (int s = 0; s < kLedSegments; ++s) {
            p.drawImage(s * kLedPitch, kLedTop + r * kLedPitch, off);
        }
    }
    // Row labels.
    const QStringList labels = RowLabels(view);
    for (int r = 0; r < kLedRows; ++r) {
        art::Text(p,
                  QRectF(kLedLabelX, kLedTop + r * kLedPitch - 1, kLeds.width() - kLedLabelX,
                         kLedSize + 2),
                  Qt::AlignLeft | Qt::AlignVCenter, labels[r], small,
                  view == MeterView::Offline ? pal::kTextDim : pal::kText2);
    }
    // Scale: a tick at every fourth segment boundary, longer at the ends and the middle.
    const int scaleY = kLedTop + kLedRows * kLedPitch;
    for (int s = 0; s <= kLedSegments; s += 4) {
        const int x = s == kLedSegments ? s * kLedPitch - 2 : s * kLedPitch;
        const bool major = s == 0 || s == 16 || s == 32;
        p.setPen(major ? pal::kText2 : pal::kTextDim);
        p.drawLine(x, scaleY, x, scaleY + (major ? 5 : 3));
    }
    p.setPen(pal::kTextDim);
    p.drawLine(0, scaleY, kLedSegments * kLedPitch - 2, scaleY);
    // Numbers every eighth segment: gain reduction runs 0 to 24 dB, levels -48 to 0 dBFS.
    QStringList numbers{"", "", "", "", ""};
    QString unit = "";
    if (view == MeterView::Agc) {
        numbers = {"0", "6", "12", "18", "24"};
        unit = "dB GR";
    } else if (view == MeterView::InputOutput) {
        numbers = {"-48", "-36", "-24", "-12", "0"};
        unit = "dBFS";
    }
    for (int i = 0; i < 5; ++i) {
        const int x = i * 8 * kLedPitch;
        const int flags = i == 0 ? Qt::AlignLeft : (i == 4 ? Qt::AlignRight : Qt::AlignHCenter);
        const QRectF r = i == 0 ? QRectF(x, scaleY + 5, 40, 12)
                                : (i == 4 ? QRectF(x - 42, scaleY + 5, 40, 12)
                                          : QRectF(x - 20, scaleY + 5, 40, 12));
        art::Text(p, r, flags | Qt::AlignVCenter, numbers[i], small, pal::kText2);
    }
    art::Text(p, QRectF(kLedLabelX, scaleY + 5, kLeds.width() - kLedLabelX, 12),
              Qt::AlignLeft | Qt::AlignVCenter, unit, small, pal::kTextDim);
    return image;
}

QImage PanelArt::Settings() {
    using namespace geo;
    QImage image = FramePanel();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    auto box = [&](const QRect& r, const QString& title) {
        p.setPen(QPen(pal::kBorder, 1));
        p.setBrush(QColor(0x1C, 0x21, 0x25));
        p.drawRoundedRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5), 5, 5);
        const QFont font = art::Font(kCondensed, 10, true, 1.2);
        const int tw = QFontMetrics(font).horizontalAdvance(title) + 12;
        p.fillRect(QRect(r.left() + 10, r.top() - 1, tw, 3), pal::kPage);
        art::Text(p, QRectF(r.left() + 16, r.top() - 7, tw, 14), Qt::AlignLeft | Qt::AlignVCenter,
                  title, font, pal::kAmber);
    };
    p.setPen(pal::kAmberDark);
    p.drawLine(kSetCaption.left(), kSetCaption.bottom() + 3, art::Bounds(image).width() - 21,
               kSetCaption.bottom() + 3);
    box(kEthernetBox, "ETHERNET");
    box(kAccessBox, "ACCESS");
    for (const QRect& edit : {kHostEdit, kPortEdit, kCodeEdit}) {
        art::Recess(p, QRectF(edit).adjusted(-2, -2, 2, 2), 3, pal::kLcd);
    }
    art::Text(p, QRectF(kPortEdit.right() + 12, kPortEdit.top(), 120, kPortEdit.height()),
              Qt::AlignLeft | Qt::AlignVCenter, "UDP", art::Font(kCondensed, 10, true, 1),
              pal::kTextDim);
    art::Text(p, QRectF(kCodeLabel.left(), kCodeEdit.bottom() + 8, 176, 36),
              Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
              "Four-digit lock code of the processor", art::Font(kCondensed, 10), pal::kTextDim);
    return image;
}

QImage PanelArt::Page() {
    return FramePanel();
}

QImage PanelArt::Separator() {
    using namespace geo;
    QImage image = art::Canvas(kSeparator.width(), kSeparator.height(), pal::kPage);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(pal::kAmber, 2);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    p.setPen(pen);
    p.drawPolyline(QPolygonF({QPointF(5, 4), QPointF(9, 8), QPointF(5, 12)}));
    return image;
}

void PanelArt::PopupFrame(QPainter& p, const QRectF& outer) {
    p.setPen(Qt::NoPen);
    p.setBrush(pal::kShadow);
    p.drawPath(art::Rounded(outer, 10));
    QLinearGradient face(0, 0, 0, outer.height());
    face.setColorAt(0, pal::kFaceTop);
    face.setColorAt(1, pal::kFaceBottom);
    p.setBrush(face);
    p.drawPath(art::Rounded(outer.adjusted(1, 1, -1, -1), 9));
    p.setPen(QPen(pal::kAmberDark, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(art::Rounded(outer.adjusted(1.5, 1.5, -1.5, -1.5), 8.5));
}

QImage PanelArt::Wait() {
    using namespace geo;
    QImage image = art::Canvas(kWaitW, kWaitH, pal::kFaceBottom);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(0, 0, kWaitW, kWaitH);
    PopupFrame(p, outer);
    GlyphArt::Sun(p, QPointF(36, 34), 12, pal::kAmber);
    art::Engraved(p, QRectF(58, 18, 260, 22), Qt::AlignLeft | Qt::AlignVCenter, "PLEASE WAIT",
                  art::Font(kSans, 15, true, 2), pal::kText);
    art::Engraved(p, QRectF(58, 42, 270, 18), Qt::AlignLeft | Qt::AlignVCenter,
                  "Exchanging data with the processor", art::Font(kCondensed, 12), pal::kText2);
    art::Recess(p, QRectF(kProgress).adjusted(-3, -3, 3, 3), 4, pal::kBay);
    p.end();
    art::MaskOutside(image, art::Rounded(outer, 10), pal::kMask);
    return image;
}

QImage PanelArt::MessageBox() {
    using namespace geo;
    QImage image = art::Canvas(kMsgBoxW, kMsgBoxH, pal::kFaceBottom);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF outer(0, 0, kMsgBoxW, kMsgBoxH);
    PopupFrame(p, outer);
    // The caption line: the mark of the program and a rule under the caption.
    GlyphArt::Sun(p, QPointF(28, 24), 9, pal::kAmber);
    p.setPen(QPen(pal::kBorder, 1));
    p.drawLine(QPointF(16, 42.5), QPointF(kMsgBoxW - 16, 42.5));
    p.setPen(QPen(pal::kHighlight, 1));
    p.drawLine(QPointF(16, 43.5), QPointF(kMsgBoxW - 16, 43.5));
    // The key strip along the bottom.
    p.setPen(QPen(pal::kBorderDim, 1));
    p.drawLine(QPointF(16, 150.5), QPointF(kMsgBoxW - 16, 150.5));
    p.end();
    art::MaskOutside(image, art::Rounded(outer, 10), pal::kMask);
    return image;
}

QImage PanelArt::MessageMark(char kind) {
    using namespace geo;
    const int size = kMsgBoxMark.width();
    QImage image = art::Canvas(size, size, pal::kMask);
    QPainter p(&image);
    const QColor disc = kind == '!' ? pal::kAmber : kind == 'x' ? pal::kRed : pal::kBlue;
    // Drawn without smoothing at the edge so that no pixel mixes with the mask colour.
    p.setPen(Qt::NoPen);
    p.setBrush(disc);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(pal::kTextOnLit, 3.5);
    pen.setCapStyle(Qt::RoundCap);
    p.setPen(pen);
    const double c = size / 2.0;
    switch (kind) {
    case 'x':
        p.drawLine(QPointF(c - 7, c - 7), QPointF(c + 7, c + 7));
        p.drawLine(QPointF(c + 7, c - 7), QPointF(c - 7, c + 7));
        break;
    case '!':
        p.drawLine(QPointF(c, c - 10), QPointF(c, c + 3));
        p.drawPoint(QPointF(c, c + 9));
        break;
    case 'i':
        p.drawPoint(QPointF(c, c - 9));
        p.drawLine(QPointF(c, c - 3), QPointF(c, c + 10));
        break;
    default: {
        QPainterPath hook;
        hook.moveTo(c - 6, c - 5);
        hook.cubicTo(c - 6, c - 13, c + 7, c - 13, c + 6, c - 5);
        hook.cubicTo(c + 5, c, c, c - 1, c, c + 3);
        p.setBrush(Qt::NoBrush);
        p.drawPath(hook);
        p.drawPoint(QPointF(c, c + 9));
        break;
    }
    }
    return image;
}
