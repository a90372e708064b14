#pragma once

#include <QColor>
#include <QImage>
#include <QString>
#include <QStringList>

class QPainter;
class QRectF;

// Backgrounds of the main window and of the panels that sit in it.
class PanelArt {
public:
    // Meter views of the LED panel.
    enum class MeterView { Offline, Agc, InputOutput };

    static QImage MainWindow();
    static QImage Leds(MeterView view);
    // One LED segment in a colour; an invalid colour gives the unlit segment.
    static QImage LedSegment(const QColor& colour);
    static QImage Settings();
    static QImage Page();
    // The caption separator: a chevron on the same strip as the page caption.
    static QImage Separator();
    static QImage Wait();
    // The message box, and the marks of its kinds ('i', '!', 'x', '?').
    static QImage MessageBox();
    static QImage MessageMark(char kind);
    // Row labels of each meter view, top row first.
    static QStringList RowLabels(MeterView view);

private:
    // The frame every popup window shares: shadow, face, amber rim, corners rounded.
    static void PopupFrame(QPainter& p, const QRectF& outer);
};
