#include "app/ZocApplication.h"
#include "app/ZocGlobals.h"

#include <gtest/gtest.h>

namespace {
SDL_Event KeyEvent(uint32_t type, SDL_Scancode scancode) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.scancode = scancode;
    return event;
}

ZocApplication::GuiRoutingState Capturing() {
    ZocApplication::GuiRoutingState state;
    state.toviConnected = true;
    state.captureEnabled = true;
    state.fastKeyboardCapture = true;
    return state;
}
} // namespace

TEST(GuiRouting, CursorTabAndReturnKeysAreWithheldOnlyWhileTypedToTheTarget) {
    const SDL_Scancode withheld[] = {SDL_SCANCODE_RETURN,   SDL_SCANCODE_TAB,    SDL_SCANCODE_RIGHT,
                                     SDL_SCANCODE_LEFT,     SDL_SCANCODE_DOWN,   SDL_SCANCODE_UP,
                                     SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_RETURN2};
    for (SDL_Scancode code : withheld) {
        EXPECT_TRUE(ZocApplication::IsWithheldFromGui(KeyEvent(SDL_KEYDOWN, code), Capturing())) << code;
        EXPECT_TRUE(ZocApplication::IsWithheldFromGui(KeyEvent(SDL_KEYUP, code), Capturing())) << code;
    }
    // Other keys and other events still reach the GUI.
    EXPECT_FALSE(ZocApplication::IsWithheldFromGui(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_A), Capturing()));
    EXPECT_FALSE(ZocApplication::IsWithheldFromGui(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE), Capturing()));
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    EXPECT_FALSE(ZocApplication::IsWithheldFromGui(text, Capturing()));

    // Any one condition missing lets the key through.
    using State = ZocApplication::GuiRoutingState;
    struct Case {
        const char* name;
        void (*change)(State&);
    } cases[] = {
        {"not connected", [](State& s) { s.toviConnected = false; }},
        {"capture disabled", [](State& s) { s.captureEnabled = false; }},
        {"no fast capture", [](State& s) { s.fastKeyboardCapture = false; }},
        {"menu shown", [](State& s) { s.menuShown = true; }},
        {"demo window", [](State& s) { s.showGuiDemo = true; }},
        {"popup open", [](State& s) { s.anyPopupOpen = true; }},
    };
    for (const Case& c : cases) {
        State state = Capturing();
        c.change(state);
        EXPECT_FALSE(ZocApplication::IsWithheldFromGui(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_TAB), state))
            << c.name;
    }
}

TEST(RepaintPacing, PeriodFollowsTheRefreshRateWhileConnected) {
    struct Case {
        bool frame, connected;
        int rate;
        uint64_t next;
    } cases[] = {
        {false, true, 60, 1016},  // 1000 / 60 = 16 ms
        {true, true, 60, 1048},   // a video frame pushes the timed repaint three periods out
        {false, false, 60, 1033}, // 30 per second while disconnected
        {false, true, 30, 1033},  {false, true, 0, 1033}, // a damaged rate does not divide by zero
        {false, true, -5, 1033},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZocApplication::NextRefreshTicks(1000, c.frame, c.connected, c.rate), c.next)
            << c.frame << c.connected << c.rate;
}

TEST(FrameStatistics, ReportsAfterMaxCountFramesThenUsesTenSecondsOfFrames) {
    ZocApplication::FrameStats stats;
    uint64_t min = 0, max = 0, average = 0;
    for (int i = 0; i < 100; ++i)
        ASSERT_FALSE(stats.Add(uint64_t(i % 10), 60, min, max, average));
    ASSERT_TRUE(stats.Add(5, 60, min, max, average)); // count exceeds 100
    EXPECT_EQ(min, 0u);
    EXPECT_EQ(max, 9u);
    EXPECT_EQ(average, (45u * 10 + 5) / 101);
    EXPECT_EQ(stats.maxCount, 600u);
    EXPECT_EQ(stats.count, 0u);
    EXPECT_EQ(stats.minMs, 1000u);
}

TEST(GlobalState, VideoLargerThanDisplayLeaves150PixelsOfHeight) {
    EXPECT_FALSE(ZocGlobals::IsVideoLargerThanDisplay(1920, 1080, 1920, 1230));
    EXPECT_TRUE(ZocGlobals::IsVideoLargerThanDisplay(1920, 1080, 1920, 1229));
    EXPECT_TRUE(ZocGlobals::IsVideoLargerThanDisplay(1920, 1080, 1920, 1200)); // 1080 > 1200 - 150
    EXPECT_TRUE(ZocGlobals::IsVideoLargerThanDisplay(1920, 1080, 1920, 1080));
    EXPECT_TRUE(ZocGlobals::IsVideoLargerThanDisplay(2560, 1080, 1920, 1440));
    EXPECT_TRUE(ZocGlobals::IsVideoLargerThanDisplay(1920, 1080, 0, 0)); // display unknown
}

TEST(GlobalState, LoadValues) {
    EXPECT_TRUE(ZocGlobals::videoResizePending);
    EXPECT_EQ(ZocGlobals::toviInfo.messageVersionMajor, 1);
    EXPECT_EQ(ZocGlobals::toviInfo.messageVersionMinor, 4);
    EXPECT_EQ(uint64_t(ZocGlobals::toviInfo.uid), 0u); // a copy: the field is packed
    EXPECT_FALSE(ZocGlobals::quitRequested);
}

TEST(GlobalState, FinalizeWithoutAWindowIsHarmlessAndRepeatable) {
    ZocGlobals::Finalize();
    ZocGlobals::Finalize();
    ZocGlobals::Destroy();
}
