#pragma once
#include <imgui.h>

#include <chrono>
#include <functional>
#include <vector>

// Toast notifications: small self-dismissing windows stacked in the
// bottom-right corner of the main window. A toast fades in over 150 ms, stays
// for its dismiss time, fades out over 150 ms and is removed.
//
// ImGui::InsertNotification may be called from any thread: new toasts are
// handed to the main thread under a lock and join ImGui::notifications at the
// next ImGui::RenderNotifications, in insertion order.

typedef int ImGuiToastType;
enum ImGuiToastType_ {
    ImGuiToastType_None = 0,
    ImGuiToastType_Success = 1,
    ImGuiToastType_Warning = 2,
    ImGuiToastType_Error = 3,
    ImGuiToastType_Info = 4,
    ImGuiToastType_COUNT
};

class ImGuiToast {
public:
    static constexpr int kDefaultDismissTime = 3000; // ms
    static constexpr int kFadeTime = 150;            // ms, each of fade in and fade out
    static constexpr float kOpacity = 0.8f;          // background alpha while fully shown
    static constexpr int kMaxShown = 6;              // toasts drawn at once; later ones wait
    static constexpr size_t kTextSize = 4096;

    using Clock = std::chrono::system_clock;

    ImGuiWindowFlags flags = ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize |
                             ImGuiWindowFlags_NoScrollbar | ImGuiWindowFlags_NoCollapse |
                             ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoFocusOnAppearing |
                             ImGuiWindowFlags_NoBringToFrontOnFocus | ImGuiWindowFlags_NoNav;
    ImGuiToastType type = ImGuiToastType_None;
    char title[kTextSize] = {};
    char content[kTextSize] = {};
    int dismissTime = kDefaultDismissTime;
    Clock::time_point creationTime = Clock::now();
    std::function<void()> onButtonPress;
    char buttonLabel[kTextSize] = {};

    explicit ImGuiToast(ImGuiToastType type, int dismissTime = kDefaultDismissTime);
    ImGuiToast(ImGuiToastType type, int dismissTime, const char* format, ...)
        __attribute__((format(printf, 4, 5)));
    ImGuiToast(ImGuiToastType type, const char* format, ...) __attribute__((format(printf, 3, 4)));

    void SetTitle(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetContent(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void SetButton(const char* label, std::function<void()> action);

    // Title shown: the own one, else the type's default ("Success", ...; empty for None).
    const char* GetTitle() const;
    // The type's icon as UTF-8 text of the icon font (empty for None).
    const char* GetIcon() const;
    ImVec4 GetColor() const;

    // Milliseconds since creation at `now`.
    int64_t GetElapsed(Clock::time_point now) const;
    // Background alpha at `now`: fade in, full, fade out; 0 once expired.
    float GetOpacity(Clock::time_point now) const;
    // True once the fade-out has ended (dismissTime + 300 ms).
    bool IsExpired(Clock::time_point now) const;
};

namespace ImGui {
// The toasts being shown or waiting, in insertion order. Main thread only.
extern std::vector<ImGuiToast> notifications;

// Appends a copy of `toast`; any thread.
void InsertNotification(const ImGuiToast& toast);
// Draws the toasts and removes the expired ones; once per frame on the main
// thread, inside a GUI frame.
void RenderNotifications();
// The same with an explicit time (for tests).
void RenderNotifications(ImGuiToast::Clock::time_point now);
} // namespace ImGui
