#include "widgets/SkinTextFlags.h"

#include <Qt>

namespace {
constexpr int32_t kCenter = 0x01;
constexpr int32_t kRight = 0x02;
constexpr int32_t kVCenter = 0x04;
constexpr int32_t kBottom = 0x08;
constexpr int32_t kWordBreak = 0x10;
constexpr int32_t kSingleLine = 0x20;
constexpr int32_t kNoClip = 0x100;
} // namespace

int TextFlagsFromSkin(int32_t format) {
    int flags = 0;
    if ((format & kCenter) != 0) {
        flags |= Qt::AlignHCenter;
    } else if ((format & kRight) != 0) {
        flags |= Qt::AlignRight;
    } else {
        flags |= Qt::AlignLeft;
    }
    // Vertical placement only applies to a single line; several lines start at the top.
    if ((format & kSingleLine) != 0) {
        flags |= Qt::TextSingleLine;
        if ((format & kVCenter) != 0) {
            flags |= Qt::AlignVCenter;
        } else if ((format & kBottom) != 0) {
            flags |= Qt::AlignBottom;
        } else {
            flags |= Qt::AlignTop;
        }
    } else {
        flags |= Qt::AlignTop;
        if ((format & kWordBreak) != 0) {
            flags |= Qt::TextWordWrap;
        }
    }
    return flags;
}

bool SkinTextNoClip(int32_t format) {
    return (format & kNoClip) != 0;
}
