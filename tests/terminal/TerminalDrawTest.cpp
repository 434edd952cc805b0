// draw() with a headless GUI context (font atlas built, no window or renderer).
#include "TerminalTestUtil.h"

#include <imgui.h>

#include <gtest/gtest.h>

namespace terminal {
namespace {

class TerminalDraw : public testing::Test {
protected:
    void SetUp() override {
        mContext = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.DisplaySize = ImVec2(1600, 1000);
        io.DeltaTime = 1.0f / 60.0f;
        unsigned char* pixels;
        int w, h;
        io.Fonts->GetTexDataAsRGBA32(&pixels, &w, &h);
    }
    void TearDown() override { ImGui::DestroyContext(mContext); }

    // One frame with the emulator drawn into a window; returns the window's
    // vertex count.
    int frame(Terminal& t, float deltaTime = 1.0f / 60.0f) {
        ImGui::GetIO().DeltaTime = deltaTime;
        ImGui::NewFrame();
        ImGui::Begin("UART Terminal");
        t.draw();
        int vertices = ImGui::GetWindowDrawList()->VtxBuffer.Size;
        ImGui::End();
        ImGui::Render();
        return vertices;
    }

    ImGuiContext* mContext = nullptr;
};

TEST_F(TerminalDraw, TypedCharactersReachTheQueueOnlyWhenDrawn) {
    Terminal t;
    ImGui::GetIO().AddInputCharacter('l');
    ImGui::GetIO().AddInputCharacter('s');
    EXPECT_TRUE(t.outputQueue().empty());
    frame(t);
    EXPECT_EQ(std::string(t.outputQueue().begin(), t.outputQueue().end()), "ls");
    frame(t); // the GUI empties its queue at the end of a frame
    EXPECT_EQ(t.outputQueue().size(), 2u);
}

TEST_F(TerminalDraw, ContentSizeFollowsTheScreenWidth) {
    Terminal t;
    test::feed(t, "\x1b[1;31mred\x1b[0m plain \x1b[4munder\x1b[7mrev");
    EXPECT_GT(frame(t), 0);
    const float advance = ImGui::GetFont()->FallbackAdvanceX;
    EXPECT_NEAR(float(t.contentWidth()), 80 * advance, 1.0f);
    const uint32_t height80 = t.contentHeight();
    EXPECT_GE(height80, uint32_t(24 * ImGui::GetFontSize()));

    test::feed(t, "\x1b[?3h");
    frame(t);
    EXPECT_NEAR(float(t.contentWidth()), 132 * advance, 1.0f);
    EXPECT_EQ(t.contentHeight(), height80);
}

TEST_F(TerminalDraw, BlinkClockWrapsAtThePeriod) {
    Terminal t;
    frame(t, 0.75f);
    EXPECT_NEAR(t.blinkTime(), 0.75f, 1e-4);
    frame(t, 0.5f);
    EXPECT_NEAR(t.blinkTime(), 0.25f, 1e-4);
}

} // namespace
} // namespace terminal
