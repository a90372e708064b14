#pragma once

#include <array>
#include <functional>

#include <QColor>
#include <QImage>
#include <QRectF>
#include <QSize>

class QPainter;

// The five state images of a key, in the order the skin names them.
enum class KeyState { Up, Over, Down, Disabled, DownDisabled };
inline constexpr std::array<KeyState, 5> kKeyStates{KeyState::Up, KeyState::Over, KeyState::Down,
                                                    KeyState::Disabled, KeyState::DownDisabled};

// How one kind of key looks.
struct KeyLook {
    QColor lamp;               // colour of the key's lamp; invalid for a key without one
    bool litFace = false;      // latched keys: the whole face lights up when down
    bool lampStrip = true;     // a small lamp strip at the top of the face
    bool lampAlwaysOn = false; // the strip is lit at rest too (a status indicator)
    double radius = 5;
    bool masked = true; // cut the corners with the mask colour
    QColor under;       // what lies under the key when no background crop is given
};

// Draws a glyph (an icon on a key) in the given ink inside the key's face.
using Glyph = std::function<void(QPainter&, const QRectF& face, const QColor& ink)>;

// Illuminated push keys in the style of a broadcast console.
class KeyArt {
public:
    // One state image. under: the background pixels the key sits on (same size), or null.
    static QImage Key(QSize size, KeyState state, const KeyLook& look, const QImage& under,
                      const Glyph& glyph = {});
    // The ink a glyph gets in each state.
    static QColor GlyphInk(KeyState state, const KeyLook& look);
    // Suffix of the file name of a state image ("Up", "Over", ...).
    static const char* FileSuffix(KeyState state);
};
