#include "widgets/WindowPlacement.h"

#include <algorithm>
#include <limits>

namespace {

// From start, the least move that puts length within [low, low + room); start low when it
// does not fit.
int Clamp(int start, int length, int low, int room) {
    if (length >= room) {
        return low;
    }
    return std::clamp(start, low, low + room - length);
}

long long Distance(const QRect& a, const QRect& b) {
    const long long dx = a.center().x() - b.center().x();
    const long long dy = a.center().y() - b.center().y();
    return dx * dx + dy * dy;
}

} // namespace

QPoint PlaceOnScreen(const QRect& window, const std::vector<QRect>& screens) {
    if (screens.empty()) {
        return window.topLeft();
    }
    const QRect* best = nullptr;
    long long bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect overlap = screen.intersected(window);
        const long long area = overlap.isEmpty() ? 0 : 1LL * overlap.width() * overlap.height();
        if (area > bestArea) {
            bestArea = area;
            best = &screen;
        }
    }
    if (best == nullptr) {
        long long nearest = std::numeric_limits<long long>::max();
        for (const QRect& screen : screens) {
            if (Distance(screen, window) < nearest) {
                nearest = Distance(screen, window);
                best = &screen;
            }
        }
    }
    return {Clamp(window.left(), window.width(), best->left(), best->width()),
            Clamp(window.top(), window.height(), best->top(), best->height())};
}
