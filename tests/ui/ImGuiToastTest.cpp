#include "ui/ImGuiToast.h"
#include "GuiFixture.h"

#include <string>
#include <thread>

using namespace std::chrono;

namespace {
class ToastTest : public GuiFixture {
protected:
    void TearDown() override {
        Render(ImGuiToast::Clock::now() + hours(1)); // expire whatever is left
        GuiFixture::TearDown();
    }
    void Render(ImGuiToast::Clock::time_point now) {
        Frame([&] { ImGui::RenderNotifications(now); });
    }
    static int DrawnCount() {
        int count = 0;
        for (int i = 0; i < 10; ++i)
            count += WindowDrawn(("##toast" + std::to_string(i)).c_str()) ? 1 : 0;
        return count;
    }
    const ImGuiToast::Clock::time_point mStart = ImGuiToast::Clock::now();
};
} // namespace

TEST_F(ToastTest, OpacityFadesInHoldsAndFadesOut) {
    ImGuiToast toast(ImGuiToastType_Info, 3000, "x");
    struct Case {
        int ms;
        float opacity;
        bool expired;
    } cases[] = {
        {0, 0.0f, false},    {75, 0.4f, false},   {150, 0.8f, false},  {1000, 0.8f, false},
        {3149, 0.8f, false}, {3225, 0.4f, false}, {3300, 0.0f, false}, {3301, 0.0f, true},
    };
    for (const Case& c : cases) {
        auto now = toast.creationTime + milliseconds(c.ms);
        EXPECT_NEAR(toast.GetOpacity(now), c.opacity, 0.01f) << c.ms << " ms";
        EXPECT_EQ(toast.IsExpired(now), c.expired) << c.ms << " ms";
    }
}

TEST_F(ToastTest, TypesHaveTheirDefaultTitlesIconsAndColours) {
    EXPECT_STREQ(ImGuiToast(ImGuiToastType_Success).GetTitle(), "Success");
    EXPECT_STREQ(ImGuiToast(ImGuiToastType_Warning).GetTitle(), "Warning");
    EXPECT_STREQ(ImGuiToast(ImGuiToastType_Error).GetTitle(), "Error");
    EXPECT_STREQ(ImGuiToast(ImGuiToastType_Info).GetTitle(), "Info");
    EXPECT_STREQ(ImGuiToast(ImGuiToastType_None).GetTitle(), "");
    EXPECT_STREQ(ImGuiToast(ImGuiToastType_Success).GetIcon(), "\xef\x81\x98"); // U+F058
    EXPECT_STREQ(ImGuiToast(ImGuiToastType_Info).GetIcon(), "\xef\x81\x9a");    // U+F05A
    ImVec4 info = ImGuiToast(ImGuiToastType_Info).GetColor();
    EXPECT_NEAR(info.y, 157.0f / 255.0f, 0.001f);
    EXPECT_FLOAT_EQ(info.z, 1.0f);

    ImGuiToast titled(ImGuiToastType_Error, "%d files", 3);
    titled.SetTitle("Copy failed");
    EXPECT_STREQ(titled.GetTitle(), "Copy failed");
    EXPECT_STREQ(titled.content, "3 files");
    EXPECT_EQ(titled.dismissTime, 3000);
}

TEST_F(ToastTest, LongContentIsCutNotOverrun) {
    std::string text(10000, 'a');
    ImGuiToast toast(ImGuiToastType_Info, "%s", text.c_str());
    EXPECT_EQ(strlen(toast.content), ImGuiToast::kTextSize - 1);
}

TEST_F(ToastTest, SixAreDrawnAndTheSeventhWaitsForOneToExpire) {
    for (int i = 0; i < 7; ++i) {
        ImGuiToast toast(ImGuiToastType_Success, "toast %d", i);
        toast.creationTime = mStart;
        toast.dismissTime = i == 0 ? 1000 : 3000;
        ImGui::InsertNotification(toast);
    }
    Render(mStart + milliseconds(500));
    EXPECT_EQ(ImGui::notifications.size(), 7u);
    EXPECT_EQ(DrawnCount(), 6);
    EXPECT_FALSE(WindowDrawn("##toast6"));

    Render(mStart + milliseconds(1301)); // the first one's fade-out has ended
    EXPECT_EQ(ImGui::notifications.size(), 6u);
    EXPECT_STREQ(ImGui::notifications.front().content, "toast 1");
    EXPECT_EQ(DrawnCount(), 6);

    Render(mStart + milliseconds(3301));
    EXPECT_TRUE(ImGui::notifications.empty());
}

TEST_F(ToastTest, ToastsAreStackedUpwardsFromTheBottomRightCorner) {
    for (int i = 0; i < 2; ++i) {
        ImGuiToast toast(ImGuiToastType_Warning, "stacked %d", i);
        toast.creationTime = mStart;
        ImGui::InsertNotification(toast);
    }
    // Auto-resized windows take their size on the second frame.
    Render(mStart + milliseconds(200));
    Render(mStart + milliseconds(220));
    ImGuiWindow* first = ImGui::FindWindowByName("##toast0");
    ImGuiWindow* second = ImGui::FindWindowByName("##toast1");
    ASSERT_TRUE(first && second);
    EXPECT_FLOAT_EQ(first->Pos.x + first->Size.x, 1280.0f - 20.0f);
    EXPECT_FLOAT_EQ(first->Pos.y + first->Size.y, 800.0f - 20.0f);
    EXPECT_FLOAT_EQ(second->Pos.y + second->Size.y, first->Pos.y - 10.0f);
    EXPECT_TRUE(first->Flags & ImGuiWindowFlags_NoMouseInputs); // no button: not clickable
}

TEST_F(ToastTest, InsertsFromOtherThreadsArriveInOrderPerThread) {
    constexpr int kThreads = 4, kEach = 50;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) {
                ImGuiToast toast(ImGuiToastType_Info, 60000, "%d %d", t, i);
                ImGui::InsertNotification(toast);
            }
        });
    // Render while the threads insert.
    for (int frame = 0; frame < 20; ++frame)
        Render(ImGuiToast::Clock::now());
    for (auto& thread : threads)
        thread.join();
    Render(ImGuiToast::Clock::now());
    ASSERT_EQ(ImGui::notifications.size(), size_t(kThreads * kEach));
    int next[kThreads] = {};
    for (const ImGuiToast& toast : ImGui::notifications) {
        int t = -1, i = -1;
        ASSERT_EQ(sscanf(toast.content, "%d %d", &t, &i), 2);
        EXPECT_EQ(i, next[t]++);
    }
}
