#pragma once

#include <array>

#include <QRect>

// Where everything sits in the shipped skin. skin.ini carries the same numbers; the artwork
// is drawn around them (recesses, labels, the pixels under each masked button) and the
// mock-up places every image with them.
namespace geo {

// Main window ("DlgMain").
inline constexpr int kMainW = 940;
inline constexpr int kMainH = 612;
inline constexpr int kMainRadius = 12;
inline constexpr int kEarW = 16; // rack ears at both sides
inline constexpr int kTitleH = 48;

// Title bar buttons.
inline constexpr QRect kMinimize{842, 12, 30, 24};
inline constexpr QRect kExit{878, 12, 30, 24};

// Meter bay and the LED panel inside it ("Leds").
inline constexpr QRect kMeterBay{28, 60, 484, 152};
inline constexpr QRect kLeds{40, 70, 460, 132};
inline constexpr int kLedPitch = 12; // segment and row pitch of the panel
inline constexpr int kLedTop = 19;   // y of row 0
inline constexpr int kLedRows = 8;
inline constexpr int kLedSegments = 32;
inline constexpr int kLedSize = 10;    // segment image: 10 x 10, 2 px gap
inline constexpr int kLedLabelX = 392; // row labels right of the matrix

// Control plate with the latched keys and the connect key.
inline constexpr QRect kPlate{522, 60, 390, 152};
inline constexpr QRect kBypass{534, 88, 84, 34};
inline constexpr QRect kOnline{624, 88, 84, 34};
inline constexpr QRect kAgc{728, 88, 84, 34};
inline constexpr QRect kIo{818, 88, 84, 34};
inline constexpr QRect kA{534, 160, 84, 34};
inline constexpr QRect kB{624, 160, 84, 34};
inline constexpr QRect kConnect{728, 160, 174, 34};
inline constexpr int kPlateRow1LabelY = 70;
inline constexpr int kPlateRow2LabelY = 142;

// Navigation column: tabs, the tree / preset list well, scroll keys, preset tool keys.
inline constexpr QRect kMenu{28, 226, 78, 28};
inline constexpr QRect kPresets{109, 226, 78, 28};
inline constexpr QRect kHistory{190, 226, 78, 28};
inline constexpr QRect kNavWell{28, 260, 240, 284};
inline constexpr QRect kTree{32, 264, 210, 276};
inline constexpr QRect kScrollUp{246, 264, 18, 26};
inline constexpr QRect kScrollDown{246, 514, 18, 26};
inline constexpr QRect kPresetTray{28, 548, 240, 40};
inline constexpr int kPresetKeyW = 44;
inline constexpr int kPresetKeyH = 36;
inline constexpr int kPresetKeyY = 550;
inline constexpr int kPresetKeyPitch = 49;
inline constexpr std::array<int, 5> kPresetKeyX{28, 77, 126, 175, 224};

// Page area ("Frame"): the settings panel and the parameter pages fill it exactly.
inline constexpr QRect kFrame{284, 226, 628, 362};

// Parameter page ("PPage") and its caption line.
inline constexpr int kCaptionH = 20;
inline constexpr QRect kSeparator{0, 2, 14, 16}; // x is set by the page builder

// Settings panel ("Settings"), coordinates inside the panel.
inline constexpr QRect kSetCaption{20, 2, 400, 24};
inline constexpr QRect kConnectGroup{20, 40, 588, 62};
inline constexpr QRect kEthernetBox{20, 176, 364, 112};
inline constexpr QRect kAccessBox{400, 176, 208, 112};
inline constexpr QRect kHostLabel{36, 204, 110, 26};
inline constexpr QRect kHostEdit{150, 204, 214, 26};
inline constexpr QRect kPortLabel{36, 244, 110, 26};
inline constexpr QRect kPortEdit{150, 244, 90, 26};
inline constexpr QRect kCodeLabel{416, 204, 86, 26};
inline constexpr QRect kCodeEdit{506, 204, 86, 26};
inline constexpr QRect kSetHint{20, 304, 588, 44};

// Wait window and its progress strip.
inline constexpr int kWaitW = 340;
inline constexpr int kWaitH = 124;
inline constexpr QRect kProgress{36, 82, 268, 20};
inline constexpr int kProgressCells = 14;
inline constexpr int kCellW = 18; // 16 lit pixels and a 2 px masked gap
inline constexpr int kCellH = 12;

// Message box: caption line, kind mark, text and keys along the bottom.
inline constexpr int kMsgBoxW = 460;
inline constexpr int kMsgBoxH = 200;
inline constexpr QRect kMsgBoxCaption{48, 10, 396, 26};
inline constexpr QRect kMsgBoxMark{20, 54, 36, 36};
inline constexpr QRect kMsgBoxText{70, 52, 372, 96};
inline constexpr QRect kMsgBoxKey1{266, 160, 80, 26}; // Yes
inline constexpr QRect kMsgBoxKey2{356, 160, 80, 26}; // OK or No

} // namespace geo
