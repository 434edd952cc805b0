#pragma once
#include "terminal/CursorState.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace terminal {

// Attribute flags, as kept in bits 48..63 of a cell's attribute word.
enum AttributeFlag : uint16_t {
    kBold = 1u << 0,
    kUnderline = 1u << 1,
    kBlink = 1u << 2,
    kReverse = 1u << 3,
    kConcealed = 1u << 4,
    kProtected = 1u << 5, // selective erase skips the cell
};

// Colours are 0x00BBGGRR (red in the low byte, as the GUI's packed colours).
// Attribute word: bits 0..23 foreground, 24..47 background, 48..63 flags.
constexpr uint64_t attribute(uint32_t foreground, uint32_t background, uint16_t flags) {
    return uint64_t(foreground & 0xFFFFFFu) | (uint64_t(background & 0xFFFFFFu) << 24) |
           (uint64_t(flags) << 48);
}
// The colours with an opaque alpha byte, ready for drawing.
constexpr uint32_t foreground(uint64_t attrs) {
    return uint32_t(attrs & 0xFFFFFFu) | 0xFF000000u;
}
constexpr uint32_t background(uint64_t attrs) {
    return uint32_t((attrs >> 24) & 0xFFFFFFu) | 0xFF000000u;
}
constexpr uint16_t miscAttributes(uint64_t attrs) {
    return uint16_t(attrs >> 48);
}
constexpr bool hasFlag(uint64_t attrs, uint16_t flag) {
    return (miscAttributes(attrs) & flag) != 0;
}
constexpr uint64_t flagBits(uint16_t flags) {
    return uint64_t(flags) << 48;
}

// The cell grid with its cursor, margins and tab stops, and the control
// functions that act on the screen alone. Coordinates are 1-based; a flag
// chooses absolute (screen) or relative (margin area) coordinates. The cursor
// always stays inside the margin area, and every operation is confined to it.
class ScreenState {
public:
    static constexpr uint32_t kMinColumns = 2;
    static constexpr uint32_t kMaxColumns = 1024;
    static constexpr uint32_t kMinRows = 1;
    static constexpr uint32_t kMaxRows = 1024;

    // Cells are tested with (absolute row, absolute column, byte, attribute word).
    using CellPredicate = std::function<bool(uint32_t, uint32_t, uint8_t, uint64_t)>;

    ScreenState();

    // The screen part of a full reset: attributes, 80 x 24 blank screen, whole
    // screen margins, cursor (1, 1), tab stops every 8 columns.
    void reset(uint64_t attrs);

    uint32_t width(bool absolute = false) const { return absolute ? mWidth : mRight - mLeft + 1; }
    uint32_t height(bool absolute = false) const { return absolute ? mHeight : mBottom - mTop + 1; }
    uint32_t row(bool absolute = false) const { return absolute ? mCursor.mRow : mCursor.mRow - mTop + 1; }
    uint32_t col(bool absolute = false) const { return absolute ? mCursor.mCol : mCursor.mCol - mLeft + 1; }
    // Move the cursor (kept inside the margin area); both clear wrap pending.
    void set_row(uint32_t row, bool absolute = false);
    void set_col(uint32_t col, bool absolute = false);
    size_t index(uint32_t row, uint32_t col, bool absolute = false) const;
    uint8_t* bufp(uint32_t row, uint32_t col, bool absolute = false) {
        return &mChars[index(row, col, absolute)];
    }
    const uint8_t* bufp(uint32_t row, uint32_t col, bool absolute = false) const {
        return &mChars[index(row, col, absolute)];
    }
    uint8_t buf(uint32_t row, uint32_t col, bool absolute = false) const {
        return mChars[index(row, col, absolute)];
    }
    uint64_t attr(uint32_t row, uint32_t col, bool absolute = false) const {
        return mAttrs[index(row, col, absolute)];
    }

    uint32_t top() const { return mTop; }
    uint32_t bottom() const { return mBottom; }
    uint32_t left() const { return mLeft; }
    uint32_t right() const { return mRight; }
    bool wrapPending() const { return mWrapPending; }
    const CursorState& cursor() const { return mCursor; }
    const CursorState& savedCursor() const { return mSaved; }
    uint64_t attributes() const { return mCursor.mAttrs; }
    void setAttributes(uint64_t attrs) { mCursor.mAttrs = attrs; }
    // The tab stop entry of an absolute column inside the margin area.
    bool tabStop(uint32_t col) const;
    const std::vector<uint8_t>& characters() const { return mChars; }
    const std::vector<uint64_t>& cellAttributes() const { return mAttrs; }

    // Sets the size (clamped to kMin/kMax), keeps the cursor and the margins
    // inside it and blanks every cell with the current attributes.
    void resize(uint32_t columns, uint32_t rows);
    void fill_rect(int64_t top, int64_t left, int64_t bottom, int64_t right, uint8_t byte, bool absolute);
    void fill_rect_if(int64_t top, int64_t left, int64_t bottom, int64_t right,
                      const CellPredicate& predicate, uint8_t byte, bool absolute);
    void copy_rect(int64_t srcTop, int64_t srcLeft, int64_t srcBottom, int64_t srcRight, int64_t dstTop,
                   int64_t dstLeft, bool absolute);
    void save_cursor() { mSaved = mCursor; }
    void restore_cursor();

    // Printing one byte, and a run of printable bytes (same effect, faster).
    void print(uint8_t byte, bool autowrap, bool insert);
    void print(const uint8_t* bytes, size_t count, bool autowrap, bool insert);

    // Cursor movement.
    void CUU(uint32_t n);
    void CUD(uint32_t n);
    void CUF(uint32_t n);
    void CUB(uint32_t n);
    void CUP(uint32_t row, uint32_t col);
    void CHA(uint32_t col);
    void VPA(uint32_t row);
    void CNL(uint32_t n);
    void CPL(uint32_t n);
    void CR();
    void BS();
    // Line feeds and scrolling.
    void LF();
    void NEL();
    void RI();
    void DECFI();
    void DECBI();
    void SU(uint32_t n);
    void SD(uint32_t n);
    void SL(uint32_t n);
    void SR(uint32_t n);
    // Tabs.
    void CHT(uint32_t n);
    void CBT(uint32_t n);
    void HTS();
    bool TBC(uint32_t p);
    void DECST8C();
    // Erasing and editing; the cursor does not move.
    bool ED(uint32_t p, bool selective = false);
    bool EL(uint32_t p, bool selective = false);
    void ECH(uint32_t n);
    void ICH(uint32_t n);
    void DCH(uint32_t n);
    void IL(uint32_t n);
    void DL(uint32_t n);
    // Rectangles, relative to the margins.
    void DECCRA(uint32_t top, uint32_t left, uint32_t bottom, uint32_t right, uint32_t dstTop,
                uint32_t dstLeft);
    void DECERA(uint32_t top, uint32_t left, uint32_t bottom, uint32_t right, bool selective = false);
    void DECFRA(uint32_t byte, uint32_t top, uint32_t left, uint32_t bottom, uint32_t right);
    // Margins.
    void DECSTBM(uint32_t top, uint32_t bottom);
    void DECSLRM(uint32_t left, uint32_t right);
    void DECALN();

private:
    // Blank a rectangle of the margin area (relative), keeping protected
    // cells when `selective`.
    void blank(int64_t top, int64_t left, int64_t bottom, int64_t right, bool selective);
    void wrapToNextLine();

    uint32_t mHeight = 0;
    uint32_t mWidth = 0;
    CursorState mCursor;
    CursorState mSaved;
    uint32_t mTop = 1;
    uint32_t mBottom = 1;
    uint32_t mLeft = 1;
    uint32_t mRight = 2;
    bool mWrapPending = false;
    std::vector<uint8_t> mChars;
    std::vector<uint64_t> mAttrs;
    std::vector<uint8_t> mTabs;
};

} // namespace terminal
