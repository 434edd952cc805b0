#include "sim/ZotSimFont.h"

namespace {
const uint8_t kGlyphs[95][ZotSimFont::kHeight] = {
#include "sim/ZotSimFontData.inc"
};
} // namespace

const uint8_t* ZotSimFont::Glyph(char c) {
    if (c < 0x20 || c > 0x7E)
        c = '?';
    return kGlyphs[c - 0x20];
}
