#include "sim/ZotSimFrameRenderer.h"

#include "sim/ZotSimFont.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kCounterChars = 14; // "frame 12345678"

// The pointer: 'X' outline, '.' fill, ' ' transparent.
constexpr const char* kPointer[] = {
    "X           ", "XX          ", "X.X         ", "X..X        ", "X...X       ",
    "X....X      ", "X.....X     ", "X......X    ", "X.......X   ", "X........X  ",
    "X.........X ", "X......XXXXX", "X...X..X    ", "X..XX..X    ", "X.X  X..X   ",
    "XX   X..X   ", "X     X..X  ", "      X..X  ", "       XX   ",
};
constexpr int kPointerW = 12, kPointerH = 19;

uint32_t Pair(ZotSimFrameRenderer::Yuv a, ZotSimFrameRenderer::Yuv b) {
    const uint32_t u = (uint32_t(a.u) + b.u + 1) / 2, v = (uint32_t(a.v) + b.v + 1) / 2;
    return uint32_t(a.y) | (u << 8) | (uint32_t(b.y) << 16) | (v << 24);
}
} // namespace

ZotSimFrameRenderer::Yuv ZotSimFrameRenderer::FromRgb(uint8_t r, uint8_t g, uint8_t b) {
    // Full-range BT.601 (the camera layer's JPEG colour space).
    const double y = 0.299 * r + 0.587 * g + 0.114 * b;
    const double u = 128.0 - 0.168736 * r - 0.331264 * g + 0.5 * b;
    const double v = 128.0 + 0.5 * r - 0.418688 * g - 0.081312 * b;
    auto clip = [](double x) { return uint8_t(std::clamp(x + 0.5, 0.0, 255.0)); };
    return {clip(y), clip(u), clip(v)};
}

ZotSimFrameRenderer::PairTable ZotSimFrameRenderer::MakeTable(Yuv fg, Yuv bg) const {
    const int words = 4 * mScale;
    PairTable table(size_t(256 * words));
    for (int byte = 0; byte < 256; ++byte) {
        for (int w = 0; w < words; ++w) {
            // Pixel p of the scaled row shows font bit p / scale.
            const int p0 = 2 * w, p1 = 2 * w + 1;
            const bool on0 = (byte >> (7 - p0 / mScale)) & 1, on1 = (byte >> (7 - p1 / mScale)) & 1;
            table[size_t(byte * words + w)] = Pair(on0 ? fg : bg, on1 ? fg : bg);
        }
    }
    return table;
}

bool ZotSimFrameRenderer::Configure(int width, int height, int slotCount, const ZotSimConsole& console,
                                    const std::string& label) {
    mColumns = console.GetColumns();
    mRows = console.GetRows();
    const int needW = mColumns * ZotSimFont::kWidth, needH = (mRows + 1) * ZotSimFont::kHeight;
    if (width <= 0 || height <= 0 || width % 2 != 0 || width < needW || height < needH || slotCount < 1)
        return false;
    mWidth = width;
    mHeight = height;
    mScale = std::max(1, std::min(width / needW, height / needH));
    mConsoleX = ((width - mColumns * 8 * mScale) / 2) & ~1;
    mTitleY = (height - (mRows + 1) * 13 * mScale) / 2;
    mConsoleY = mTitleY + 13 * mScale;
    mCounterX = (mConsoleX + (mColumns - kCounterChars) * 8 * mScale) & ~1;

    const Yuv margin = FromRgb(24, 24, 28), back = FromRgb(16, 24, 88), text = FromRgb(230, 230, 230),
              title = FromRgb(150, 210, 150);
    mText = MakeTable(text, back);
    mCursor = MakeTable(back, text);
    mTitle = MakeTable(title, margin);

    mCache.assign(size_t(width) * height * 2, 0);
    const uint32_t marginWord = Pair(margin, margin);
    auto* words = reinterpret_cast<uint32_t*>(mCache.data());
    std::fill(words, words + size_t(width / 2) * height, marginWord);
    DrawText(mCache.data(), mConsoleX, mTitleY,
             label.substr(0, size_t(std::max(0, mColumns - kCounterChars - 1))), mTitle);
    mRowGen.assign(size_t(mRows), 0);
    for (int r = 0; r < mRows; ++r)
        DrawRow(r, console);
    mSlots.assign(size_t(slotCount), SlotState{});
    return true;
}

void ZotSimFrameRenderer::DrawText(uint8_t* dst, int x, int y, const std::string& text,
                                   const PairTable& table) const {
    const int words = 4 * mScale;
    const size_t pitch = size_t(mWidth) * 2;
    for (size_t i = 0; i < text.size(); ++i) {
        const uint8_t* glyph = ZotSimFont::Glyph(text[i]);
        uint8_t* cell = dst + size_t(y) * pitch + size_t(x + int(i) * 8 * mScale) * 2;
        for (int gr = 0; gr < ZotSimFont::kHeight; ++gr) {
            const uint32_t* src = &table[size_t(glyph[gr]) * size_t(words)];
            for (int sy = 0; sy < mScale; ++sy)
                std::memcpy(cell + size_t(gr * mScale + sy) * pitch, src, size_t(words) * 4);
        }
    }
}

void ZotSimFrameRenderer::DrawRow(int row, const ZotSimConsole& console) {
    const std::string& cells = console.GetRow(row);
    const int y = CellY(row);
    if (row != console.GetCursorY()) {
        DrawText(mCache.data(), mConsoleX, y, cells, mText);
    } else {
        const int cx = console.GetCursorX();
        DrawText(mCache.data(), mConsoleX, y, cells.substr(0, size_t(cx)), mText);
        DrawText(mCache.data(), CellX(cx), y, cells.substr(size_t(cx), 1), mCursor);
        DrawText(mCache.data(), CellX(cx + 1), y, cells.substr(size_t(cx) + 1), mText);
    }
    mRowGen[size_t(row)] = console.GetRowGeneration(row);
}

void ZotSimFrameRenderer::UpdateConsole(const ZotSimConsole& console) {
    if (mCache.empty() || console.GetRows() != mRows || console.GetColumns() != mColumns)
        return;
    for (int r = 0; r < mRows; ++r)
        if (mRowGen[size_t(r)] != console.GetRowGeneration(r))
            DrawRow(r, console);
}

void ZotSimFrameRenderer::CopyRect(uint8_t* dst, const Rect& r) const {
    const size_t pitch = size_t(mWidth) * 2;
    for (int y = r.y0; y < r.y1; ++y)
        std::memcpy(dst + size_t(y) * pitch + size_t(r.x0) * 2,
                    mCache.data() + size_t(y) * pitch + size_t(r.x0) * 2, size_t(r.x1 - r.x0) * 2);
}

ZotSimFrameRenderer::Rect ZotSimFrameRenderer::DrawPointer(uint8_t* dst, int x, int y) const {
    const size_t pitch = size_t(mWidth) * 2;
    Rect r;
    r.x0 = std::clamp(x, 0, mWidth) & ~1;
    r.y0 = std::clamp(y, 0, mHeight);
    r.x1 = std::min(mWidth, (x + kPointerW * mScale + 1) & ~1);
    r.y1 = std::min(mHeight, y + kPointerH * mScale);
    for (int py = r.y0; py < r.y1; ++py) {
        const char* line = kPointer[(py - y) / mScale];
        uint8_t* out = dst + size_t(py) * pitch;
        for (int px = std::max(x, 0); px < std::min(r.x1, x + kPointerW * mScale); ++px) {
            const char c = line[(px - x) / mScale];
            if (c == ' ')
                continue;
            out[px * 2] = c == 'X' ? 16 : 240;
            out[(px & ~1) * 2 + 1] = 128;
            out[(px & ~1) * 2 + 3] = 128;
        }
    }
    return r;
}

void ZotSimFrameRenderer::RenderFrame(uint8_t* dst, uint32_t slot, uint64_t frameNumber, int pointerX,
                                      int pointerY) {
    if (mCache.empty())
        return;
    SlotState& st = mSlots[slot % mSlots.size()];
    const size_t pitch = size_t(mWidth) * 2;
    if (!st.valid) {
        std::memcpy(dst, mCache.data(), mCache.size());
        st.rowGen = mRowGen;
        st.valid = true;
    } else {
        CopyRect(dst, st.pointer);
        const size_t band = size_t(13 * mScale) * pitch;
        for (int r = 0; r < mRows; ++r) {
            if (st.rowGen[size_t(r)] == mRowGen[size_t(r)])
                continue;
            const size_t off = size_t(CellY(r)) * pitch;
            std::memcpy(dst + off, mCache.data() + off, band);
            st.rowGen[size_t(r)] = mRowGen[size_t(r)];
        }
    }
    char counter[32];
    std::snprintf(counter, sizeof counter, "frame %8llu",
                  static_cast<unsigned long long>(frameNumber % 100000000ULL));
    DrawText(dst, mCounterX, mTitleY, counter, mTitle);
    st.pointer = DrawPointer(dst, pointerX, pointerY);
}
