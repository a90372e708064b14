#pragma once

#include <string>

#include "ctl/CLedState.h"

// Draws the eight meter rows of an LED state as text, 32 segments a row as on the
// application's panel, with the status line above them.
class CMeterView {
public:
    static constexpr int kSegments = 32;

    // colour: ANSI colours for a terminal; without, plain characters only.
    explicit CMeterView(bool colour) : m_colour(colour) {}

    // One frame: a status line and eight rows, each line ended by "\n".
    [[nodiscard]] std::string Frame(const CLedState& state) const;
    // A frame of the same height that says the processor does not answer.
    [[nodiscard]] std::string NoAnswer(const std::string& where) const;
    // The escape sequence that moves the cursor back over the previous frame.
    [[nodiscard]] static std::string Rewind();

    [[nodiscard]] static int FrameLines() { return 9; }

private:
    [[nodiscard]] std::string RowText(int row, const CLedState::Row& meter) const;
    bool m_colour;
};
