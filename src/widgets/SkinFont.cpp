#include "widgets/SkinFont.h"

#include <algorithm>
#include <cstdlib>

#include <QFontMetrics>
#include <QString>

#include "skin/CSkinClient.h"

QFont SkinFont(CSkinClient& client) {
    QFont font;
    const std::string face = client.GetString("font");
    const int32_t height = client.GetLong("font_height");
    const int32_t width = client.GetLong("font_width");
    font.setStyleHint(QFont::SansSerif);
    if (!face.empty()) {
        font.setFamily(QString::fromStdString(face));
    }
    // Skin heights are pixel heights; the sign only chose cell or character height.
    if (height != 0) {
        font.setPixelSize(std::abs(height));
    }
    font.setWeight(client.GetLong("bold") != 0 ? QFont::Bold : QFont::Normal);
    font.setItalic(client.GetLong("italic") != 0);
    font.setUnderline(client.GetLong("underline") != 0);
    // A width is an average character width: stretch the face to reach it.
    if (width > 0) {
        const int average = QFontMetrics(font).averageCharWidth();
        if (average > 0) {
            font.setStretch(std::clamp(100 * width / average, 1, 4000));
        }
    }
    return font;
}
