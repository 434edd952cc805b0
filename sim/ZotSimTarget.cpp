#include "sim/ZotSimTarget.h"

#include <cstdio>

void ZotSimTarget::ApplyKeyboard(const uint8_t report[8]) {
    std::lock_guard<std::mutex> lock(mMutex);
    mKeyboard.ApplyReport(report);
}

void ZotSimTarget::ApplyMouse(const uint8_t report[5]) {
    std::lock_guard<std::mutex> lock(mMutex);
    mMouse.ApplyReport(report);
}

void ZotSimTarget::TypeText(const std::string& text) {
    std::lock_guard<std::mutex> lock(mMutex);
    mKeyboard.TypeText(text);
}

void ZotSimTarget::ReleaseAll() {
    std::lock_guard<std::mutex> lock(mMutex);
    mKeyboard.ReleaseAll();
    mMouse.ReleaseAll();
}

void ZotSimTarget::SetScreen(int width, int height) {
    std::lock_guard<std::mutex> lock(mMutex);
    mMouse.SetScreen(width, height);
}

std::string ZotSimTarget::ScreenText() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mConsole.Text();
}

uint64_t ZotSimTarget::KeyboardReportCount() const {
    std::lock_guard<std::mutex> lock(mMutex);
    return mKeyboard.GetReportCount();
}

std::string ZotSimTarget::MouseStatus() const {
    std::lock_guard<std::mutex> lock(mMutex);
    char text[160];
    std::snprintf(text, sizeof text, "x %d y %d buttons 0x%02X presses %llu wheel %lld pan %lld reports %llu",
                  mMouse.GetX(), mMouse.GetY(), mMouse.GetButtons(),
                  static_cast<unsigned long long>(mMouse.GetPressCount()),
                  static_cast<long long>(mMouse.GetWheel()), static_cast<long long>(mMouse.GetPan()),
                  static_cast<unsigned long long>(mMouse.GetReportCount()));
    return text;
}

std::string ZotSimTarget::KeyboardStatus() const {
    std::lock_guard<std::mutex> lock(mMutex);
    char text[160];
    std::snprintf(text, sizeof text,
                  "reports %llu, key-downs %llu, key-ups %llu, modifiers 0x%02X, caps lock %s",
                  static_cast<unsigned long long>(mKeyboard.GetReportCount()),
                  static_cast<unsigned long long>(mKeyboard.GetKeyDownCount()),
                  static_cast<unsigned long long>(mKeyboard.GetKeyUpCount()), mKeyboard.GetModifiers(),
                  mKeyboard.IsCapsLock() ? "on" : "off");
    return text;
}
