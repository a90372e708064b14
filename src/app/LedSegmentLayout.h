#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Where the meter panel draws its segments and which image each shows, decoded from the
// stored LED state. Images are numbered 0 .. 6 for "led1" .. "led7".
//
// Every known processor type (1 to 10) shows the eight rows of 32 segments at (12 s, 19 + 12 r),
// row r read from bytes 6 + 2r (lit count in bits 0-5, colour code in bits 6-7) and 7 + 2r
// (peak segment in bits 0-5, 0 = none). Types 1, 3, 6 and 7 copy at the sizes of "led1" ..
// "led3", the others at the sizes of "led4" .. "led7". Any other type draws nothing.
class LedSegmentLayout {
public:
    static constexpr int kRows = 8;
    static constexpr int kSegments = 32;
    static constexpr int kPitch = 12;
    static constexpr int kTop = 19;
    static constexpr int kImageCount = 7;

    struct Segment {
        int x = 0;
        int y = 0;
        // The image drawn, 0 .. 6; above 6 nothing is drawn at this place.
        int image = 0;
        // The image whose width and height the copy takes.
        int size = 0;
    };

    // Whether type has a meter layout at all.
    [[nodiscard]] static bool HasLayout(std::uint8_t type);
    // The image index a lit segment of row r with colour code shows.
    [[nodiscard]] static int LitImage(int colourCode, int row);
    // The image whose size a copy of image k takes for the processor type.
    [[nodiscard]] static int SizeImage(std::uint8_t type, int image);

    // Calls draw(segment) for every segment of the type's layout; without data every segment
    // is unlit.
    template <typename Draw>
    static void ForEach(std::uint8_t type, const std::uint8_t* state, std::size_t stateSize,
                        bool hasData, Draw&& draw) {
        if (!HasLayout(type)) {
            return;
        }
        for (int r = 0; r < kRows; ++r) {
            const std::uint8_t first = ByteAt(state, stateSize, 6 + 2 * r);
            const int lit = hasData ? first & 0x3F : 0;
            const int peak = hasData ? ByteAt(state, stateSize, 7 + 2 * r) & 0x3F : 0;
            const int litImage = LitImage(first >> 6, r);
            for (int s = 0; s < kSegments; ++s) {
                const bool on = s < lit || (peak != 0 && s == peak);
                const int image = on ? litImage : 0;
                draw(Segment{s * kPitch, kTop + r * kPitch, image, SizeImage(type, image)});
            }
        }
    }

private:
    static std::uint8_t ByteAt(const std::uint8_t* state, std::size_t size, std::size_t index) {
        return index < size ? state[index] : 0;
    }
};
