#include "sim/ZotSimConsole.h"
#include "sim/ZotSimKeyboard.h"
#include "sim/ZotSimMouse.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {
using Report = std::array<uint8_t, 8>;
constexpr uint8_t A = 0x04, B = 0x05, C = 0x06, kShift = 0x02, kRightShift = 0x20, kCtrl = 0x01;

Report Keys(uint8_t modifiers, std::initializer_list<uint8_t> keys) {
    Report r{};
    r[0] = modifiers;
    size_t i = 2;
    for (uint8_t k : keys)
        r[i++] = k;
    return r;
}

struct KeyCase {
    const char* name;
    std::vector<Report> reports;
    const char* screen;
};

class KeyboardTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(KeyboardTest, ReportsTypeAsABootKeyboard) {
    ZotSimConsole console;
    ZotSimKeyboard keyboard(console);
    for (const Report& r : GetParam().reports)
        keyboard.ApplyReport(r.data());
    EXPECT_EQ(console.Text(), GetParam().screen);
    EXPECT_EQ(keyboard.GetReportCount(), GetParam().reports.size());
}

const Report kUp{};
INSTANTIATE_TEST_SUITE_P(
    Cases, KeyboardTest,
    ::testing::Values(
        // Only key-down edges type: a held key in later reports types nothing more.
        KeyCase{"Rollover", {Keys(0, {A}), Keys(0, {A, B}), Keys(0, {0, B}), Keys(0, {C, B}), kUp}, "abc\n"},
        KeyCase{
            "RepeatedReportTypesOnce", {Keys(0, {A}), Keys(0, {A}), Keys(0, {A}), kUp, Keys(0, {A})}, "aa\n"},
        KeyCase{"ShiftEitherSide",
                {Keys(kShift, {A}), kUp, Keys(kRightShift, {0x1E}), kUp, Keys(0, {0x1E})},
                "A!1\n"},
        KeyCase{
            "CapsLockToggles",
            {Keys(0, {0x39}), kUp, Keys(0, {A}), Keys(kShift, {B}), kUp, Keys(0, {0x39}), kUp, Keys(0, {C})},
            "Abc\n"},
        KeyCase{"ErrorRollOverIgnored", {Keys(0, {A}), Keys(0, {1, 1, 1, 1, 1, 1}), Keys(0, {A, B})}, "ab\n"},
        KeyCase{"CtrlLetterDoesNotType", {Keys(kCtrl, {C}), kUp, Keys(0, {A})}, "a\n"},
        KeyCase{"EnterBackspaceTab",
                {Keys(0, {A}), Keys(0, {0x2B}), Keys(0, {B}), Keys(0, {0x28}), Keys(0, {C}), Keys(0, {0x2A}),
                 Keys(0, {0x2A}), kUp, Keys(0, {A})},
                "a       b\na\n"},
        KeyCase{"ArrowsMoveTheCursor",
                {Keys(0, {A}), Keys(0, {B}), Keys(0, {0x50}), Keys(0, {0x50}), kUp, Keys(0, {C}),
                 Keys(0, {0x51}), Keys(0, {0x52}), Keys(0, {0x52}), kUp, Keys(0, {0x4F}), Keys(0, {A})},
                "ac a\n"},
        // Shift added to a held key is no new key-down.
        KeyCase{"UsLayoutPunctuation",
                {Keys(0, {0x2D}), Keys(kShift, {0x2D}), Keys(0, {0x33}), Keys(kShift, {0x34}),
                 Keys(0, {0x38}), Keys(kShift, {0x35})},
                "-;\"/~\n"}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });

TEST(KeyboardTest, PasteTypesTextWithEnterForLineBreaks) {
    ZotSimConsole console;
    ZotSimKeyboard keyboard(console);
    keyboard.ApplyReport(Keys(0, {A}).data()); // a key still held by the host
    keyboard.TypeText("Hi there!\r\nx\ry\nGr\xC3\xBC\xC3\x9F"
                      "e\t.");
    EXPECT_EQ(console.Text(), "aHi there!\nx\ny\nGr??e   .\n");
    EXPECT_EQ(keyboard.GetReportCount(), 1u) << "typed text is not counted as host reports";
    EXPECT_EQ(keyboard.GetModifiers(), 0);
}

TEST(ConsoleTest, WrapsAtTheLastColumnAndScrollsAtTheLastRow) {
    ZotSimConsole console;
    for (int i = 0; i < 85; ++i)
        console.PutChar(char('a' + i % 26));
    EXPECT_EQ(console.GetCursorY(), 1);
    EXPECT_EQ(console.GetCursorX(), 5);
    console.Backspace();
    console.Backspace();
    console.Backspace();
    console.Backspace();
    console.Backspace();
    console.Backspace(); // joins the first line: erases its last cell
    EXPECT_EQ(console.GetRow(0).back(), ' ');
    EXPECT_EQ(console.GetRow(1), std::string(80, ' '));

    console.Clear();
    for (int line = 0; line < 30; ++line) {
        console.PutChar(char('0' + line % 10));
        console.Enter();
    }
    // 30 lines and a final empty line on a 25-row screen: the first 6 scrolled away.
    EXPECT_EQ(console.GetRow(0)[0], '6');
    EXPECT_EQ(console.GetRow(23)[0], '9');
    EXPECT_EQ(console.GetCursorY(), 24);
}

TEST(ConsoleTest, EveryChangeAdvancesTheRowGeneration) {
    ZotSimConsole console;
    const uint64_t row3 = console.GetRowGeneration(3), row0 = console.GetRowGeneration(0);
    console.MoveCursor(0, 3); // the cursor leaves row 0 and enters row 3
    EXPECT_GT(console.GetRowGeneration(0), row0);
    EXPECT_GT(console.GetRowGeneration(3), row3);
    const uint64_t row5 = console.GetRowGeneration(5);
    console.PutChar('x');
    EXPECT_EQ(console.GetRowGeneration(5), row5);
}

TEST(MouseTest, PointerStaysOnScreenAndPressesAreCounted) {
    ZotSimMouse mouse;
    mouse.SetScreen(640, 480);
    const uint8_t left[5] = {1, 0x7F, 0x80, 1, 0xFF};
    for (int i = 0; i < 10; ++i)
        mouse.ApplyReport(left);
    EXPECT_EQ(mouse.GetX(), 639);
    EXPECT_EQ(mouse.GetY(), 0);
    EXPECT_EQ(mouse.GetPressCount(), 1u) << "a held button is one press";
    EXPECT_EQ(mouse.GetWheel(), 10);
    EXPECT_EQ(mouse.GetPan(), -10);
    const uint8_t both[5] = {3, 0, 0, 0, 0}, none[5] = {};
    mouse.ApplyReport(both);
    mouse.ApplyReport(none);
    mouse.ApplyReport(both);
    EXPECT_EQ(mouse.GetPressCount(), 4u);
    EXPECT_EQ(mouse.GetButtons(), 3);
}
} // namespace
