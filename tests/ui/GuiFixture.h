#pragma once
#include <gtest/gtest.h>
#include <imgui.h>
#include <imgui_internal.h>

// A GUI context without a window or renderer: frames are built and ended, not
// drawn, which is enough to see which windows and popups exist.
class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override {
        mContext = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(1280.0f, 800.0f);
        io.DeltaTime = 1.0f / 60.0f;
        unsigned char* pixels;
        int width, height;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &width, &height);
    }
    void TearDown() override { ImGui::DestroyContext(mContext); }

    template <typename Body> void Frame(Body body) {
        ImGui::NewFrame();
        body();
        ImGui::Render();
    }

    // True when the window exists and was drawn in the frame just built.
    static bool WindowDrawn(const char* name) {
        ImGuiWindow* window = ImGui::FindWindowByName(name);
        return window && window->Active;
    }

    ImGuiContext* mContext = nullptr;
};
