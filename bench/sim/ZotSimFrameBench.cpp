// Cost of one 1080p camera frame of tovi-sim. At 60 frames per second the
// camera may use at most half a core: 8.3 ms per frame.
#include "sim/ZotSimFrameRenderer.h"
#include "sim/ZotSimMediaWriter.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

namespace {
// A typing target: one character per frame, the pointer moving, a ring of 8
// shared-memory slots as the camera uses.
void BM_Frame1080pTyping(benchmark::State& state) {
    ZotSimMediaWriter writer;
    ZotSimMediaWriter::Params p;
    p.slotCount = 8;
    p.payloadCapacity = 1920 * 1080 * 2;
    std::string error;
    if (!writer.Create("/zt-sim-bench-" + std::to_string(getpid()), p, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    ZotSimConsole console;
    ZotSimFrameRenderer renderer;
    renderer.Configure(1920, 1080, 8, console, "Tovi (BENCH)");
    uint64_t frame = 0;
    for (auto _ : state) {
        console.PutChar(char('a' + frame % 26));
        if (frame % 60 == 59)
            console.Enter();
        renderer.UpdateConsole(console);
        const uint32_t slot = writer.NextSlotIndex();
        ++frame;
        renderer.RenderFrame(writer.BeginSlot(), slot, frame, int(frame * 7 % 1920), int(frame * 3 % 1080));
        writer.Publish(frame, 1920 * 1080 * 2, 1920, 1080, 3840, 60);
    }
}
BENCHMARK(BM_Frame1080pTyping)->Unit(benchmark::kMillisecond)->UseRealTime();

// The worst case: the whole screen changes every frame (scrolling output).
void BM_Frame1080pScrolling(benchmark::State& state) {
    std::vector<uint8_t> slots(size_t(8) * 1920 * 1080 * 2);
    ZotSimConsole console;
    ZotSimFrameRenderer renderer;
    renderer.Configure(1920, 1080, 8, console, "Tovi (BENCH)");
    uint64_t frame = 0;
    for (auto _ : state) {
        for (int i = 0; i < 40; ++i)
            console.PutChar(char('A' + (frame + uint64_t(i)) % 26));
        console.Enter();
        renderer.UpdateConsole(console);
        const uint32_t slot = uint32_t(frame % 8);
        ++frame;
        renderer.RenderFrame(slots.data() + size_t(slot) * 1920 * 1080 * 2, slot, frame, 500, 500);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Frame1080pScrolling)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace
