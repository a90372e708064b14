#pragma once

#include <QColor>

// The one palette of the shipped skin: a dark rack front with amber as the accent and the
// classic green / yellow / red of level meters. skin.ini repeats the colours it needs.
namespace pal {

inline const QColor kMask{0xFF, 0x00, 0xFF};      // cut out of backgrounds and keys
inline const QColor kArrowMask{0xFF, 0x00, 0xFE}; // cut out of the spin arrows

inline const QColor kFaceTop{0x30, 0x35, 0x3B};
inline const QColor kFaceBottom{0x24, 0x28, 0x2D};
inline const QColor kEar{0x1D, 0x20, 0x24};
inline const QColor kPlate{0x1C, 0x20, 0x24};
inline const QColor kBay{0x0B, 0x0E, 0x10};
inline const QColor kWell{0x11, 0x14, 0x17};
inline const QColor kPage{0x18, 0x1C, 0x20};
inline const QColor kGroup{0x23, 0x28, 0x2D};
inline const QColor kGroupOff{0x1D, 0x21, 0x25};
inline const QColor kLcd{0x0C, 0x0F, 0x11};
inline const QColor kBorder{0x3A, 0x41, 0x48};
inline const QColor kBorderDim{0x2C, 0x32, 0x38};
inline const QColor kHighlight{0x4C, 0x54, 0x5C};
inline const QColor kShadow{0x08, 0x0A, 0x0C};

inline const QColor kText{0xD8, 0xDE, 0xE4};
inline const QColor kText2{0xA0, 0xAA, 0xB4};
// Quiet labels and disabled marks: still 4.5:1 on the darkest and the lightest face.
inline const QColor kTextDim{0x95, 0xA0, 0xAA};
inline const QColor kTextOnLit{0x16, 0x12, 0x0A};

inline const QColor kAmber{0xF0, 0xA0, 0x30};
inline const QColor kAmberBright{0xFF, 0xC7, 0x66};
inline const QColor kAmberDark{0x7A, 0x52, 0x16};
inline const QColor kGreen{0x3F, 0xCB, 0x6A};
inline const QColor kYellow{0xF2, 0xD2, 0x3A};
inline const QColor kRed{0xE8, 0x44, 0x3A};
inline const QColor kRedKey{0xFF, 0x5E, 0x52}; // lit face of the bypass key: dark text reads on it
inline const QColor kCyan{0x3A, 0xC4, 0xEE};
inline const QColor kOrange{0xFF, 0x8A, 0x2A};
inline const QColor kIce{0xDC, 0xE8, 0xFF};
inline const QColor kBlue{0x5A, 0xA9, 0xE6};

} // namespace pal
