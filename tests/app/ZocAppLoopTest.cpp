// Runs the real start-up and main loop against an X server (ctest starts it
// under xvfb-run with a 1920x1080 screen) and drives it from other threads.
#include "app/ZocApplication.h"
#include "app/ZocGlobals.h"
#include "app/ZocSettings.h"
#include "ui/ImGuiToast.h"
#include "ui/ZocUi.h"

#include <gtest/gtest.h>
#include <imgui_internal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace {
class AppLoopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char pattern[] = "/tmp/zt-loop-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        sDataHome = pattern;
        setenv("XDG_DATA_HOME", pattern, 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // No session bus: libdbus would otherwise try to launch one, which
        // can block SDL's start-up for good.
        const std::string bus = "unix:path=" + std::string(pattern) + "/no-session-bus";
        setenv("DBUS_SESSION_BUS_ADDRESS", bus.c_str(), 1);
        ASSERT_TRUE(ZocApplication::InitializeFrameworks());
        ASSERT_TRUE(ZocApplication::InitializeApplication());
        ASSERT_TRUE(ZocApplication::CreateMainWindow());
    }
    static void TearDownTestSuite() {
        ZocGlobals::Finalize();
        ZocApplication::ShutdownUserInterface();
        std::filesystem::remove_all(sDataHome);
    }

    // Runs the loop until `done` holds or `ms` pass; true when it held.
    template <typename Done> static bool LoopUntil(Done done, int ms = 3000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            ZocApplication::RunLoopIteration();
            if (done())
                return true;
        }
        return false;
    }
    static void LoopFor(int ms) {
        LoopUntil([] { return false; }, ms);
    }
    static bool ToastDrawn(int index) {
        ImGuiWindow* window = ImGui::FindWindowByName(("##toast" + std::to_string(index)).c_str());
        return window && window->WasActive;
    }

    static inline std::string sDataHome;
};
} // namespace

TEST_F(AppLoopTest, WindowIsShownOnTheDisplayItFound) {
    LoopFor(200);
    EXPECT_TRUE(ZocGlobals::windowVisible);
    EXPECT_STREQ(SDL_GetWindowTitle(ZocGlobals::window), "Zorvane Tovi");
    EXPECT_EQ(ZocGlobals::displayId, 1u);
    EXPECT_EQ(ZocGlobals::displayWidth, 1920);
    EXPECT_EQ(ZocGlobals::displayHeight, 1080);
    // The default 1920x1080 frame does not fit a 1080-line display.
    EXPECT_TRUE(ZocGlobals::videoLargerThanDisplay);
}

TEST_F(AppLoopTest, DialogsAndToastsFromAnotherThreadAppearAndGoAway) {
    std::atomic<bool> closeNow{false};
    std::atomic<int> closings{0};
    std::thread worker([&] {
        ZocUi::ModalDialog::CreateTextBox("Notice", "from a worker");
        ZocUi::ModalDialog::Create(
            "Question", nullptr, 0, ImVec2(0, 0), [&](bool) { return !closeNow; }, [&] { ++closings; });
        ImGui::InsertNotification(ImGuiToast(ImGuiToastType_Success, 300, "done"));
    });
    worker.join();

    ASSERT_TRUE(LoopUntil([] { return ZocUi::ModalDialog::GetShownCount() == 2 && ToastDrawn(0); }));
    ImGuiContext& g = *ImGui::GetCurrentContext();
    ASSERT_EQ(g.OpenPopupStack.Size, 2);
    EXPECT_NE(std::string(g.OpenPopupStack[1].Window->Name).find("Question##"), std::string::npos);

    // The worker answers; the top dialog closes, the text box stays.
    std::thread([&] { closeNow = true; }).join();
    ASSERT_TRUE(LoopUntil([] { return ZocUi::ModalDialog::GetShownCount() == 1; }));
    EXPECT_EQ(closings, 1);
    EXPECT_EQ(g.OpenPopupStack.Size, 1);

    // The toast (300 ms) has faded out 600 ms after its creation.
    ASSERT_TRUE(LoopUntil([] { return ImGui::notifications.empty(); }, 2000));
    LoopFor(100);
    EXPECT_FALSE(ToastDrawn(0));
}

TEST_F(AppLoopTest, WindowRectangleOnNoDisplayIsCentredAndShrunkToTheUsableArea) {
    SDL_Rect rect{5000, 5000, 3000, 2000};
    ZocUi::SetWindowPositionAndSizeSafe(ZocGlobals::window, rect);
    EXPECT_TRUE(SDL_WINDOWPOS_ISCENTERED(rect.x));
    EXPECT_TRUE(SDL_WINDOWPOS_ISCENTERED(rect.y));
    SDL_Rect usable;
    ASSERT_EQ(SDL_GetDisplayUsableBounds(0, &usable), 0);
    EXPECT_EQ(rect.w, usable.w);
    EXPECT_EQ(rect.h, usable.h - 50);

    // A rectangle that fits is kept.
    SDL_Rect fits{100, 80, 800, 600};
    ZocUi::SetWindowPositionAndSizeSafe(ZocGlobals::window, fits);
    EXPECT_EQ(fits.x, 100);
    EXPECT_EQ(fits.w, 800);
    EXPECT_EQ(ZocUi::FindDisplay(-1, 0), 0u);
    EXPECT_EQ(ZocUi::FindDisplay(1919, 1079), 1u);
    EXPECT_EQ(ZocUi::FindDisplay(1920, 0), 0u);
}

TEST_F(AppLoopTest, FinalizeCopiesTheWindowGeometryIntoTheSettings) {
    SDL_SetWindowSize(ZocGlobals::window, 900, 700);
    LoopFor(200);
    ZocGlobals::Finalize();
    ZocGlobals::Finalize();
    auto& geometry = ZocSettings::Instance().appearance.mainWindow;
    EXPECT_EQ(geometry.width, 900);
    EXPECT_EQ(geometry.height, 700);
}

TEST_F(AppLoopTest, UserResizeAsksTheVideoToRefitAndEndsFitToVideo) {
    auto& geometry = ZocSettings::Instance().appearance.mainWindow;
    geometry.fitToVideoSize = true;
    ZocGlobals::videoResizePending = false;

    // A resize of another window changes nothing here.
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_RESIZED;
    event.window.windowID = SDL_GetWindowID(ZocGlobals::window) + 100;
    SDL_PushEvent(&event);
    LoopFor(200);
    EXPECT_FALSE(ZocGlobals::videoResizePending);
    EXPECT_TRUE(geometry.fitToVideoSize);

    event.window.windowID = SDL_GetWindowID(ZocGlobals::window);
    event.window.data1 = 1000;
    event.window.data2 = 700;
    SDL_PushEvent(&event);
    EXPECT_TRUE(LoopUntil([] { return bool(ZocGlobals::videoResizePending); }));
    EXPECT_FALSE(geometry.fitToVideoSize);
}

TEST_F(AppLoopTest, QuitEndsPollingButTheIterationStillRepaints) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.windowID = SDL_GetWindowID(ZocGlobals::window);
    key.key.keysym.scancode = SDL_SCANCODE_A;
    SDL_PushEvent(&quit);
    SDL_PushEvent(&key);
    // Events pushed now may wait for the next polling round; each round
    // starts with a repaint due.
    int framesBefore = 0;
    for (int i = 0; i < 5 && !ZocGlobals::quitRequested; ++i) {
        SDL_Delay(40);
        framesBefore = ImGui::GetFrameCount();
        ZocApplication::RunLoopIteration();
    }
    ASSERT_TRUE(ZocGlobals::quitRequested);
    EXPECT_GT(ImGui::GetFrameCount(), framesBefore); // repainted all the same
    EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_KEYDOWN, SDL_KEYDOWN), 1); // polling stopped
    SDL_FlushEvent(SDL_KEYDOWN);
    ZocGlobals::quitRequested = false;
}
