#include "ui/ImGuiToast.h"

#include <imgui_internal.h>

#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace {
// Toasts inserted since the last render, from any thread.
std::mutex s_pendingMutex;
std::vector<ImGuiToast> s_pending;

void FormatInto(char* buffer, size_t size, const char* format, va_list args) {
    if (!format) {
        buffer[0] = '\0';
        return;
    }
    vsnprintf(buffer, size, format, args);
}

// Icon font code points U+F058, U+F071, U+F06A, U+F05A as UTF-8.
constexpr const char* kIcons[ImGuiToastType_COUNT] = {"", "\xef\x81\x98", "\xef\x81\xb1", "\xef\x81\xaa",
                                                      "\xef\x81\x9a"};
constexpr const char* kDefaultTitles[ImGuiToastType_COUNT] = {"", "Success", "Warning", "Error", "Info"};
// Colours given as 0..255 components, scaled to the GUI's 0..1.
constexpr float kColors[ImGuiToastType_COUNT][4] = {
    {255, 255, 255, 255}, {0, 255, 0, 255}, {255, 255, 0, 255}, {255, 0, 0, 255}, {0, 157, 255, 255}};

int ClampType(ImGuiToastType type) {
    return type >= 0 && type < ImGuiToastType_COUNT ? type : ImGuiToastType_None;
}
} // namespace

ImGuiToast::ImGuiToast(ImGuiToastType type, int dismissTime) : type(type), dismissTime(dismissTime) {}

ImGuiToast::ImGuiToast(ImGuiToastType type, int dismissTime, const char* format, ...)
    : type(type), dismissTime(dismissTime) {
    va_list args;
    va_start(args, format);
    FormatInto(content, sizeof(content), format, args);
    va_end(args);
}

ImGuiToast::ImGuiToast(ImGuiToastType type, const char* format, ...) : type(type) {
    va_list args;
    va_start(args, format);
    FormatInto(content, sizeof(content), format, args);
    va_end(args);
}

void ImGuiToast::SetTitle(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(title, sizeof(title), format, args);
    va_end(args);
}

void ImGuiToast::SetContent(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatInto(content, sizeof(content), format, args);
    va_end(args);
}

void ImGuiToast::SetButton(const char* label, std::function<void()> action) {
    snprintf(buttonLabel, sizeof(buttonLabel), "%s", label ? label : "");
    onButtonPress = std::move(action);
}

const char* ImGuiToast::GetTitle() const {
    return title[0] ? title : kDefaultTitles[ClampType(type)];
}

const char* ImGuiToast::GetIcon() const {
    return kIcons[ClampType(type)];
}

ImVec4 ImGuiToast::GetColor() const {
    const float* c = kColors[ClampType(type)];
    return ImVec4(c[0] / 255.0f, c[1] / 255.0f, c[2] / 255.0f, c[3] / 255.0f);
}

int64_t ImGuiToast::GetElapsed(Clock::time_point now) const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(now - creationTime).count();
}

float ImGuiToast::GetOpacity(Clock::time_point now) const {
    int64_t t = GetElapsed(now);
    if (t < 0)
        return 0.0f;
    if (t < kFadeTime)
        return kOpacity * float(t) / float(kFadeTime);
    if (t < int64_t(dismissTime) + kFadeTime)
        return kOpacity;
    if (t < int64_t(dismissTime) + 2 * kFadeTime)
        return kOpacity * (1.0f - float(t - kFadeTime - dismissTime) / float(kFadeTime));
    return 0.0f;
}

bool ImGuiToast::IsExpired(Clock::time_point now) const {
    return GetElapsed(now) > int64_t(dismissTime) + 2 * kFadeTime;
}

namespace ImGui {
std::vector<ImGuiToast> notifications;

void InsertNotification(const ImGuiToast& toast) {
    std::lock_guard<std::mutex> lock(s_pendingMutex);
    s_pending.push_back(toast);
}

void RenderNotifications() {
    RenderNotifications(ImGuiToast::Clock::now());
}

void RenderNotifications(ImGuiToast::Clock::time_point now) {
    {
        std::lock_guard<std::mutex> lock(s_pendingMutex);
        for (auto& toast : s_pending)
            notifications.push_back(std::move(toast));
        s_pending.clear();
    }

    const ImGuiViewport* viewport = ImGui::GetMainViewport();
    const ImVec2 corner(viewport->WorkPos.x + viewport->WorkSize.x,
                        viewport->WorkPos.y + viewport->WorkSize.y);
    float height = 0.0f;
    for (size_t i = 0; i < notifications.size();) {
        if (notifications[i].IsExpired(now)) {
            notifications.erase(notifications.begin() + ptrdiff_t(i));
            continue;
        }
        if (i >= size_t(ImGuiToast::kMaxShown))
            break;
        // A button callback may insert toasts (they wait in the pending list),
        // but the element must not move while it is drawn: work on a copy of
        // the callback.
        ImGuiToast& toast = notifications[i];
        ImGuiWindowFlags flags = toast.flags;
        if (!toast.onButtonPress)
            flags |= ImGuiWindowFlags_NoInputs;

        char name[32];
        snprintf(name, sizeof(name), "##toast%zu", i);
        ImGui::SetNextWindowBgAlpha(toast.GetOpacity(now));
        ImGui::SetNextWindowPos(ImVec2(corner.x - 20.0f, corner.y - 20.0f - height), ImGuiCond_Always,
                                ImVec2(1.0f, 1.0f));
        bool pressed = false;
        if (ImGui::Begin(name, nullptr, flags)) {
            ImGui::BringWindowToDisplayFront(ImGui::GetCurrentWindow());
            ImGui::PushTextWrapPos(viewport->Size.x / 3.0f);
            const char* icon = toast.GetIcon();
            const char* title = toast.GetTitle();
            if (icon[0]) {
                ImGui::TextColored(toast.GetColor(), "%s", icon);
                if (title[0])
                    ImGui::SameLine();
            }
            if (title[0])
                ImGui::TextUnformatted(title);
            if (toast.content[0]) {
                if (icon[0] || title[0])
                    ImGui::Dummy(ImVec2(0.0f, 5.0f));
                ImGui::TextUnformatted(toast.content);
            }
            if (toast.onButtonPress)
                pressed = ImGui::Button(toast.buttonLabel[0] ? toast.buttonLabel : "OK");
            ImGui::PopTextWrapPos();
        }
        height += ImGui::GetWindowHeight() + 10.0f;
        std::function<void()> action = pressed ? toast.onButtonPress : nullptr;
        ImGui::End();
        if (action)
            action();
        ++i;
    }
}
} // namespace ImGui
