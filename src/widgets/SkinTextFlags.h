#pragma once

#include <cstdint>

// Text-drawing format flags of a skin ("font_alignment": left 0, centre 1, right 2, vertical
// centre 4, bottom 8, word break 16, single line 32, no clipping 256) as Qt alignment and
// text flags for QPainter::drawText.
int TextFlagsFromSkin(int32_t format);

// True when the skin flags ask for text that may spill out of its rectangle.
bool SkinTextNoClip(int32_t format);
