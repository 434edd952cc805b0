#pragma once
#include <cstdint>

// The target's view of the Tovi's relative mouse: 5-byte reports (buttons,
// dx, dy, wheel, pan) move a pointer that stays within the target's screen,
// and button edges and wheel steps are counted.
class ZotSimMouse {
public:
    void SetScreen(int width, int height);
    void ApplyReport(const uint8_t report[5]);
    void ReleaseAll();

    int GetX() const { return mX; }
    int GetY() const { return mY; }
    uint8_t GetButtons() const { return mButtons; }
    int64_t GetWheel() const { return mWheel; }
    int64_t GetPan() const { return mPan; }
    uint64_t GetReportCount() const { return mReports; }
    uint64_t GetPressCount() const { return mPresses; }

private:
    int mWidth = 1920, mHeight = 1080;
    int mX = 960, mY = 540;
    uint8_t mButtons = 0;
    int64_t mWheel = 0, mPan = 0;
    uint64_t mReports = 0, mPresses = 0;
};
