#include "sim/ZotSimFrameRenderer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {
// A frame drawn incrementally into a reused ring slot must equal the same
// frame drawn from scratch: no stale rows, no pointer trails.
class RendererTest : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(RendererTest, IncrementalSlotsMatchAFreshFrame) {
    const auto [width, height] = GetParam();
    constexpr int kSlots = 3;
    ZotSimConsole console;
    ZotSimFrameRenderer renderer;
    ASSERT_TRUE(renderer.Configure(width, height, kSlots, console, "Tovi (TEST)"));
    std::vector<std::vector<uint8_t>> slots(kSlots, std::vector<uint8_t>(size_t(width) * height * 2));
    std::vector<uint8_t> fresh(slots[0].size());

    const char* steps[] = {"hello",    "\n",
                           "world",    "<<",
                           "\n\n\n",   "wrapping text that is long enough ",
                           "x",        "\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n\n",
                           "scrolled", ">",
                           "!"};
    for (int i = 0; i < int(std::size(steps)); ++i) {
        for (const char* p = steps[i]; *p != 0; ++p) {
            if (*p == '\n')
                console.Enter();
            else if (*p == '<')
                console.MoveCursor(-1, 0);
            else if (*p == '>')
                console.MoveCursor(0, -3);
            else
                console.PutChar(*p);
        }
        renderer.UpdateConsole(console);
        const int px = (i * 97) % width, py = (i * 61) % height; // the pointer moves, up to the edges
        renderer.RenderFrame(slots[size_t(i % kSlots)].data(), uint32_t(i % kSlots), uint64_t(i), px, py);

        ZotSimFrameRenderer reference;
        ASSERT_TRUE(reference.Configure(width, height, 1, console, "Tovi (TEST)"));
        reference.RenderFrame(fresh.data(), 0, uint64_t(i), px, py);
        ASSERT_EQ(std::memcmp(slots[size_t(i % kSlots)].data(), fresh.data(), fresh.size()), 0)
            << "step " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, RendererTest,
                         ::testing::Values(std::make_pair(640, 480), std::make_pair(1280, 720),
                                           std::make_pair(1920, 1080)));

TEST(RendererTest, TextIsDrawnInItsCellAtTheFittingScale) {
    ZotSimConsole console;
    console.MoveCursor(0, 5); // keep the cursor away from row 0
    ZotSimFrameRenderer renderer;
    ASSERT_TRUE(renderer.Configure(1920, 1080, 1, console, ""));
    EXPECT_EQ(renderer.GetScale(), 3);
    console.MoveCursor(0, -5);
    console.PutChar('#');
    console.MoveCursor(0, 5);
    renderer.UpdateConsole(console);
    std::vector<uint8_t> frame(1920 * 1080 * 2);
    renderer.RenderFrame(frame.data(), 0, 1, 1900, 1070);
    auto brightInCell = [&](int column, int row) {
        int bright = 0;
        for (int y = renderer.CellY(row); y < renderer.CellY(row + 1); ++y)
            for (int x = renderer.CellX(column); x < renderer.CellX(column + 1); ++x)
                bright += frame[size_t(y) * 3840 + size_t(x) * 2] > 180;
        return bright;
    };
    EXPECT_GT(brightInCell(0, 0), 40);
    EXPECT_EQ(brightInCell(1, 0), 0);
    EXPECT_FALSE(renderer.Configure(600, 480, 1, console, "")) << "80 columns do not fit 600 pixels";
    EXPECT_FALSE(renderer.Configure(641, 480, 1, console, "")) << "YUY2 needs an even width";
}
} // namespace
