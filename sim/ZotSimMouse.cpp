#include "sim/ZotSimMouse.h"

#include <algorithm>
#include <bit>

void ZotSimMouse::SetScreen(int width, int height) {
    // Keep the pointer at the same relative place on a new screen size.
    if (width <= 0 || height <= 0)
        return;
    mX = int(int64_t(mX) * width / mWidth);
    mY = int(int64_t(mY) * height / mHeight);
    mWidth = width;
    mHeight = height;
    mX = std::clamp(mX, 0, mWidth - 1);
    mY = std::clamp(mY, 0, mHeight - 1);
}

void ZotSimMouse::ApplyReport(const uint8_t report[5]) {
    ++mReports;
    const uint8_t buttons = report[0] & 0x07;
    mPresses += uint64_t(std::popcount(unsigned(buttons & ~mButtons)));
    mButtons = buttons;
    mX = std::clamp(mX + int(int8_t(report[1])), 0, mWidth - 1);
    mY = std::clamp(mY + int(int8_t(report[2])), 0, mHeight - 1);
    mWheel += int8_t(report[3]);
    mPan += int8_t(report[4]);
}

void ZotSimMouse::ReleaseAll() {
    mButtons = 0;
}
