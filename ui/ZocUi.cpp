#include "ui/ZocUi.h"

#include "app/ZocLog.h"

#include <imgui.h>

#include <algorithm>

namespace ZocUi {

uint32_t FindDisplay(int x, int y) {
    int count = SDL_GetNumVideoDisplays();
    if (count < 0) {
        ZocLog::System().Error("Failed to get displays' info, error %s", SDL_GetError());
        return 0;
    }
    for (int index = 0; index < count; ++index) {
        SDL_Rect bounds;
        if (SDL_GetDisplayBounds(index, &bounds) != 0) {
            ZocLog::System().Warn("Failed to get display's bounds, error %s", SDL_GetError());
            continue;
        }
        if (x >= bounds.x && x < bounds.x + bounds.w && y >= bounds.y && y < bounds.y + bounds.h)
            return uint32_t(index) + 1;
    }
    return 0;
}

void SetWindowPositionAndSizeSafe(SDL_Window* window, SDL_Rect& rect) {
    if (!SDL_WINDOWPOS_ISCENTERED(rect.x) && FindDisplay(rect.x, rect.y) == 0) {
        ZocLog::Application().Info("Set window position to center from (%d,%d)", rect.x, rect.y);
        rect.x = SDL_WINDOWPOS_CENTERED;
        rect.y = SDL_WINDOWPOS_CENTERED;
    }

    int displayIndex;
    if (SDL_WINDOWPOS_ISCENTERED(rect.x)) {
        displayIndex = SDL_GetWindowDisplayIndex(window);
        if (displayIndex < 0) {
            ZocLog::System().Error("Failed to get display for the window, Error: %s", SDL_GetError());
            return;
        }
    } else {
        displayIndex = int(FindDisplay(rect.x, rect.y)) - 1;
    }

    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(displayIndex, &usable) != 0) {
        ZocLog::System().Error("Failed to get usable screen area, error: %s", SDL_GetError());
    } else if (rect.w > usable.w || rect.h > usable.h - 50) {
        int width = std::min(rect.w, usable.w);
        int height = std::min(rect.h, usable.h - 50);
        ZocLog::Application().Info("Set window size to (%d,%d) from (%d,%d)", width, height, rect.w, rect.h);
        rect.w = width;
        rect.h = height;
        SDL_SetWindowSize(window, width, height);
    }
    SDL_SetWindowPosition(window, rect.x, rect.y);
}

void TextURL(const char* text, const char* url) {
    const ImVec4 hovered = ImGui::GetStyle().Colors[ImGuiCol_ButtonHovered];
    const ImVec4 normal = ImGui::GetStyle().Colors[ImGuiCol_Button];
    ImGui::TextColored(hovered, "%s", text);
    ImVec2 min = ImGui::GetItemRectMin();
    ImVec2 max = ImGui::GetItemRectMax();
    min.y = max.y;
    if (ImGui::IsItemHovered()) {
        if (ImGui::IsMouseClicked(ImGuiMouseButton_Left) && SDL_OpenURL(url) != 0)
            ZocLog::Application().Error("Failed to open the link in browser: %s", SDL_GetError());
        ImGui::GetWindowDrawList()->AddLine(min, max, ImGui::GetColorU32(hovered), 1.0f);
        ImGui::SetTooltip("Open %s in browser", url);
    } else {
        ImGui::GetWindowDrawList()->AddLine(min, max, ImGui::GetColorU32(normal), 1.0f);
    }
}

} // namespace ZocUi
