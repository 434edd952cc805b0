#include "ui/ZocModalDialog.h"
#include "GuiFixture.h"
#include "app/AppTestLog.h"

#include <string>
#include <thread>

using ZocUi::ModalDialog;

namespace {
class ModalDialogTest : public GuiFixture {
protected:
    void TearDown() override {
        ModalDialog::Clear();
        GuiFixture::TearDown();
    }
    void Refresh() {
        Frame([] { ModalDialog::Refresh(); });
    }
    // The ids of the open popups, bottom to top.
    static std::vector<std::string> OpenPopupNames() {
        std::vector<std::string> names;
        ImGuiContext& g = *ImGui::GetCurrentContext();
        for (auto& popup : g.OpenPopupStack)
            names.push_back(popup.Window ? popup.Window->Name : "?");
        return names;
    }
};
} // namespace

TEST_F(ModalDialogTest, DialogsFromTwoThreadsAreStackedAndClosingTheTopRevealsTheOther) {
    bool firstOpen = true, secondOpen = true;
    std::string drawnFirst, drawnSecond;
    std::thread a([&] {
        ModalDialog::Create("First", &firstOpen, 0, ImVec2(0, 0), [&](bool) {
            drawnFirst = ImGui::GetCurrentWindow()->Name;
            return true;
        });
    });
    a.join();
    std::thread b([&] {
        ModalDialog::Create("Second", &secondOpen, 0, ImVec2(0, 0), [&](bool) {
            drawnSecond = ImGui::GetCurrentWindow()->Name;
            return true;
        });
    });
    b.join();
    EXPECT_EQ(ModalDialog::GetPendingCount(), 2u);

    Refresh();
    Refresh();
    EXPECT_EQ(ModalDialog::GetShownCount(), 2u);
    EXPECT_EQ(ModalDialog::GetPendingCount(), 0u);
    auto popups = OpenPopupNames();
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(popups[0], drawnFirst);
    EXPECT_EQ(popups[1], drawnSecond); // the later one on top
    EXPECT_NE(drawnFirst.find("First##"), std::string::npos);
    EXPECT_NE(drawnSecond.find("Second##"), std::string::npos);

    secondOpen = false; // as its close box does
    Refresh();
    Refresh();
    EXPECT_EQ(ModalDialog::GetShownCount(), 1u);
    popups = OpenPopupNames();
    ASSERT_EQ(popups.size(), 1u);
    EXPECT_EQ(popups[0], drawnFirst);
}

TEST_F(ModalDialogTest, ContentsReturningFalseCloseAtOnceAndRunOnClosingOnce) {
    int frames = 0, closings = 0;
    bool firstFrameSeen = false;
    ModalDialog::Create(
        "Quick", nullptr, 0, ImVec2(0, 0),
        [&](bool firstFrame) {
            ++frames;
            firstFrameSeen = firstFrame;
            return false;
        },
        [&] { ++closings; });
    for (int i = 0; i < 4; ++i)
        Refresh();
    EXPECT_EQ(frames, 1);
    EXPECT_TRUE(firstFrameSeen);
    EXPECT_EQ(closings, 1);
    EXPECT_EQ(ModalDialog::GetShownCount(), 0u);
    EXPECT_TRUE(OpenPopupNames().empty());
}

TEST_F(ModalDialogTest, FirstFrameIsReportedOnlyOnce) {
    std::vector<bool> seen;
    ModalDialog::Create("Body", [&](bool firstFrame) {
        seen.push_back(firstFrame);
        return true;
    });
    for (int i = 0; i < 3; ++i)
        Refresh();
    EXPECT_EQ(seen, (std::vector<bool>{true, false, false}));
}

TEST_F(ModalDialogTest, ClosedFlagOfAShownDialogRunsOnClosingOnceAndClosesItsPopup) {
    bool open = true;
    int closings = 0;
    ModalDialog::Create(
        "Flag", &open, 0, ImVec2(0, 0), [](bool) { return true; }, [&] { ++closings; });
    Refresh();
    ASSERT_EQ(OpenPopupNames().size(), 1u);
    open = false;
    for (int i = 0; i < 3; ++i)
        Refresh();
    EXPECT_EQ(closings, 1);
    EXPECT_TRUE(OpenPopupNames().empty());
    EXPECT_EQ(ModalDialog::GetShownCount(), 0u);
}

TEST_F(ModalDialogTest, DialogClosedBeforeItWasShownIsDroppedWithoutCallbacks) {
    bool open = false;
    int calls = 0;
    ModalDialog::Create(
        "Never", &open, 0, ImVec2(0, 0), [&](bool) { return ++calls, true; }, [&] { ++calls; });
    Refresh();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(ModalDialog::GetShownCount(), 0u);
}

TEST_F(ModalDialogTest, TextBoxWritesTheValuesWithoutSeparatorsAndLogsThem) {
    AppTestLog log;
    ModalDialog::CreateTextBox("Values", "count: ", 42, ' ', 1.5);
    EXPECT_TRUE(log.Contains("UiModalDialog: Title: Values Contents: count: 42 1.5")) << log.Since();
    Refresh();
    EXPECT_EQ(ModalDialog::GetShownCount(), 1u);
    EXPECT_NE(OpenPopupNames().at(0).find("Values##"), std::string::npos);
}
