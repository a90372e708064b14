#pragma once

#include <QImage>

#include "KeyArt.h"

// Artwork of the controls that parameter pages and panels are built from.
class ControlArt {
public:
    // Fader track: a slot in the middle, everything else masked.
    static QImage SliderTrack(bool enabled);
    // Fader cap: at rest, while dragged, disabled.
    static QImage SliderThumb(KeyState state);
    // Value read-out window under a fader caption.
    static QImage Readout();
    // Spin box: a read-out well with a column for the arrows.
    static QImage SpinBody();
    static QImage SpinArrow(bool up, KeyState state);
    // Frame of a button group.
    static QImage GroupFrame(bool enabled);
    // A key inside a button group.
    static QImage GroupKey(KeyState state);
    static QImage ProgressStrip();
    static QImage ProgressCell(bool lit);
    // A 16 x 16 menu icon on the menu's colour, the rest masked.
    static QImage MenuIcon(int command);
    // The 16 x 16 page icon of the tree, with alpha.
    static QImage TreeIcon();
};
