#include "app/LedSegmentLayout.h"

bool LedSegmentLayout::HasLayout(std::uint8_t type) {
    return type >= 1 && type <= 10;
}

int LedSegmentLayout::LitImage(int colourCode, int row) {
    switch (colourCode) {
    case 1:
        return 2;
    case 2:
        return 1;
    case 3:
        return 3;
    default:
        // Colour code 0 takes the row's own image; rows 4 to 7 have none and show nothing.
        return 2 * row;
    }
}

int LedSegmentLayout::SizeImage(std::uint8_t type, int image) {
    switch (type) {
    case 1:
    case 3:
    case 6:
    case 7:
        return image == 0 || image == 1 ? image : 2;
    default:
        return image >= 3 && image <= 5 ? image : 6;
    }
}
