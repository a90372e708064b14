#pragma once

#include <vector>

#include <QPoint>
#include <QRect>

// Where a top-level window of its size goes so that it lies wholly on one screen: on the
// screen it overlaps most (the nearest one when it overlaps none), moved in as little as it
// takes. A window larger than the screen keeps its top left corner on it, so its title area
// stays within reach.
[[nodiscard]] QPoint PlaceOnScreen(const QRect& window, const std::vector<QRect>& screens);
