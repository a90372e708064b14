#include "widgets/SkinFocusMark.h"

#include <optional>
#include <string>

#include <QPainter>

#include "skin/CSkin.h"
#include "skin/CSkinClient.h"
#include "skin/CSkinManager.h"

namespace {
std::optional<QColor> ParseColour(const std::string& text) {
    const QColor colour(QString::fromStdString(text).trimmed());
    if (text.empty() || !colour.isValid()) {
        return std::nullopt;
    }
    return colour;
}
} // namespace

QColor FocusMarkColour(CSkinClient& client) {
    CSkin* skin = client.Manager() != nullptr ? client.Manager()->Current() : nullptr;
    if (skin != nullptr) {
        if (auto shared = ParseColour(skin->GetString("DlgMain", "focus_color"))) {
            return *shared;
        }
    }
    return QColor::fromRgba(kDefaultFocusColour);
}

void DrawFocusMark(QPainter& painter, const QRect& area, const QColor& colour) {
    if (area.width() < 4 || area.height() < 4) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setBrush(Qt::NoBrush);
    // Four filled bands rather than a stroked rectangle: no pen rounding at any scale.
    constexpr int kWidth = 2;
    const QRect r = area;
    painter.fillRect(QRect(r.left(), r.top(), r.width(), kWidth), colour);
    painter.fillRect(QRect(r.left(), r.bottom() - kWidth + 1, r.width(), kWidth), colour);
    painter.fillRect(QRect(r.left(), r.top(), kWidth, r.height()), colour);
    painter.fillRect(QRect(r.right() - kWidth + 1, r.top(), kWidth, r.height()), colour);
    // A dark line inside keeps the mark apart from a key lit in the same accent.
    const QColor shade(0, 0, 0, 170);
    const QRect in = r.adjusted(kWidth, kWidth, -kWidth, -kWidth);
    if (in.width() > 2 && in.height() > 2) {
        painter.fillRect(QRect(in.left(), in.top(), in.width(), 1), shade);
        painter.fillRect(QRect(in.left(), in.bottom(), in.width(), 1), shade);
        painter.fillRect(QRect(in.left(), in.top() + 1, 1, in.height() - 2), shade);
        painter.fillRect(QRect(in.right(), in.top() + 1, 1, in.height() - 2), shade);
    }
    painter.restore();
}

SkinFocusOverlay::SkinFocusOverlay(QWidget* owner) : QWidget(owner) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void SkinFocusOverlay::SetColour(const QColor& colour) {
    colour_ = colour;
    update();
}

void SkinFocusOverlay::ShowMark(bool shown) {
    if (shown && parentWidget() != nullptr) {
        setGeometry(parentWidget()->rect());
        raise();
    }
    setVisible(shown);
}

void SkinFocusOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawFocusMark(painter, rect(), colour_);
}
