#pragma once
#include "sim/ZotSimConsole.h"

#include <cstdint>
#include <string>
#include <vector>

// Draws the simulated target's screen into YUY2 frames: the console text (with
// its cursor) centred at the largest whole scale of the built-in font that
// fits, a title line with a label and the frame counter, and the mouse pointer.
//
// Cost: the console is drawn into a private cached image only where rows
// changed. Each ring slot of the camera stream remembers which row versions it
// holds, so a frame copies into its slot only the rows changed since that slot
// was last used, restores the old pointer area and draws counter and pointer.
// A new slot (or size) costs one full copy of the cached image.
class ZotSimFrameRenderer {
public:
    // Sets the frame size (width even) and the number of ring slots; redraws
    // the cached image. False for sizes the console does not fit in.
    bool Configure(int width, int height, int slotCount, const ZotSimConsole& console,
                   const std::string& label);
    // Brings the cached image up to date with the console's changed rows.
    void UpdateConsole(const ZotSimConsole& console);
    // Makes `dst` (the payload of ring slot `slot`, width * 2 bytes per line)
    // show the current image, the frame counter and the pointer at (x, y).
    void RenderFrame(uint8_t* dst, uint32_t slot, uint64_t frameNumber, int pointerX, int pointerY);

    int GetWidth() const { return mWidth; }
    int GetHeight() const { return mHeight; }
    int GetPitch() const { return mWidth * 2; }
    int GetScale() const { return mScale; }
    // Top-left pixel of console cell (column, row), for tests.
    int CellX(int column) const { return mConsoleX + column * 8 * mScale; }
    int CellY(int row) const { return mConsoleY + row * 13 * mScale; }

    struct Yuv {
        uint8_t y, u, v;
    };
    static Yuv FromRgb(uint8_t r, uint8_t g, uint8_t b);

private:
    struct Rect {
        int x0 = 0, y0 = 0, x1 = 0, y1 = 0; // [x0, x1) x [y0, y1), x0 and x1 even
    };
    struct SlotState {
        bool valid = false;
        std::vector<uint64_t> rowGen;
        Rect pointer;
    };
    // Glyph row byte -> 4 * scale pixel-pair words, for one colour pair.
    using PairTable = std::vector<uint32_t>;

    PairTable MakeTable(Yuv fg, Yuv bg) const;
    void DrawText(uint8_t* dst, int x, int y, const std::string& text, const PairTable& table) const;
    void DrawRow(int row, const ZotSimConsole& console);
    void CopyRect(uint8_t* dst, const Rect& r) const;
    Rect DrawPointer(uint8_t* dst, int x, int y) const;

    int mWidth = 0, mHeight = 0, mScale = 1;
    int mColumns = 0, mRows = 0;
    int mConsoleX = 0, mConsoleY = 0, mTitleY = 0;
    int mCounterX = 0;
    std::vector<uint8_t> mCache;
    std::vector<uint64_t> mRowGen;
    std::vector<SlotState> mSlots;
    PairTable mText, mCursor, mTitle;
};
