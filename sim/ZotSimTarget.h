#pragma once
#include "sim/ZotSimConsole.h"
#include "sim/ZotSimKeyboard.h"
#include "sim/ZotSimMouse.h"

#include <mutex>
#include <string>

// The simulated target computer: its console, the keyboard and the mouse the
// Tovi emulates toward it. Shared by the serial thread (reports), the camera
// thread (drawing) and the control thread (queries); one mutex guards all.
class ZotSimTarget {
public:
    ZotSimTarget(int columns, int rows) : mConsole(columns, rows), mKeyboard(mConsole) {}

    void ApplyKeyboard(const uint8_t report[8]);
    void ApplyMouse(const uint8_t report[5]);
    void TypeText(const std::string& text);
    void ReleaseAll();
    void SetScreen(int width, int height);

    std::string ScreenText() const;
    uint64_t KeyboardReportCount() const;
    std::string MouseStatus() const;
    std::string KeyboardStatus() const;

    // Runs `fn(console, mouse)` under the lock (the camera's per-frame snapshot).
    template <typename Fn> void WithState(Fn&& fn) const {
        std::lock_guard<std::mutex> lock(mMutex);
        fn(mConsole, mMouse);
    }

private:
    mutable std::mutex mMutex;
    ZotSimConsole mConsole;
    ZotSimKeyboard mKeyboard;
    ZotSimMouse mMouse;
};
