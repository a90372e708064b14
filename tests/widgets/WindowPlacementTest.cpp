#include <vector>

#include <QRect>

#include <gtest/gtest.h>

#include "widgets/WindowPlacement.h"

namespace {

struct PlaceCase {
    const char* name;
    QRect window;
    std::vector<QRect> screens;
    QPoint expected;
};

TEST(WindowPlacement, TheWindowEndsWhollyOnAScreenWithItsTitleInReach) {
    const QRect hd(0, 0, 1920, 1080);
    const QRect right(1920, 0, 1280, 1024);
    const QRect belowPanel(0, 27, 1366, 741); // a 1366 x 768 screen under a top panel
    const PlaceCase cases[] = {
        {"Inside stays", QRect(100, 80, 940, 612), {hd}, QPoint(100, 80)},
        {"Over the right edge comes in", QRect(1500, 500, 940, 612), {hd}, QPoint(980, 468)},
        {"Above the top comes down", QRect(200, -300, 940, 612), {hd}, QPoint(200, 0)},
        {"Under a panel comes below it", QRect(10, 0, 940, 612), {belowPanel}, QPoint(10, 27)},
        {"A monitor that went: onto the one left",
         QRect(3000, 100, 940, 612),
         {hd},
         QPoint(980, 100)},
        {"Straddling two: onto the one it covers most",
         QRect(1700, 50, 940, 612),
         {hd, right},
         QPoint(1920, 50)},
        {"Twice the size on a small screen: top left corner on it",
         QRect(-200, -300, 1880, 1224),
         {belowPanel},
         QPoint(0, 27)},
        {"Wider than the screen only: left edge, height kept in",
         QRect(300, 600, 2000, 612),
         {hd},
         QPoint(0, 468)},
        {"No screens known: left as it is", QRect(5, 6, 10, 10), {}, QPoint(5, 6)},
    };
    for (const PlaceCase& c : cases) {
        EXPECT_EQ(PlaceOnScreen(c.window, c.screens), c.expected) << c.name;
    }
}

} // namespace
