#pragma once

#include <QImage>

// The application's icon for desktop menus and window lists: the skin's rack face with a
// column of amber-to-red meter segments and a fader, drawn as vectors at any square size so
// every hicolor size is sharp rather than scaled from one bitmap.
class AppIcon {
public:
    [[nodiscard]] static QImage Draw(int size);
};
