#pragma once
#include <cstdint>

// The built-in 8 x 13 bitmap font of the simulated target's console (printable
// ASCII; other characters draw as '?'). Row r of a glyph is one byte, bit 7 the
// leftmost pixel.
class ZotSimFont {
public:
    static constexpr int kWidth = 8;
    static constexpr int kHeight = 13;

    static const uint8_t* Glyph(char c);
};
