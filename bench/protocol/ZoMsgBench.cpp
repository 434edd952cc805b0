// Receive parsing throughput, the cost of one keyboard push and the checksums.
#include "device/protocol/ZoCrc.h"
#include "device/protocol/ZoMsgInBuffer.h"
#include "device/protocol/ZoMsgOutBuffer.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

struct NullOwner {
    bool PrePushPacket(ZoMsg::Type, size_t) { return true; }
    void PostPushPacket(bool) {}
};

// About 32 KB of valid frames whose bodies run from empty to the largest size
// (mostly small, as on the link: state reports, log lines, terminal data, disk blocks).
std::vector<uint8_t> MakeMixedStream(size_t& frames) {
    NullOwner owner;
    ZoMsgOutBuffer<NullOwner> out(owner);
    std::mt19937 rng(7);
    std::vector<uint8_t> body(ZoMsg::kMaxBodySize);
    for (auto& b : body) {
        b = uint8_t(rng());
    }
    static const size_t kSizes[] = {0, 2, 8, 10, 40, 131, 256, 260, 520, 1088};
    frames = 0;
    for (;;) {
        const size_t size = kSizes[rng() % std::size(kSizes)];
        if (out.GetUsed() + size + ZoMsg::kFrameOverhead > 32768) {
            break;
        }
        out.PushPacketWithBuffer(ZoMsg::Type::VTermData, nullptr, size, body.data());
        ++frames;
    }
    std::vector<uint8_t> stream(out.GetUsed());
    out.TakeBytes(stream.data(), stream.size());
    return stream;
}

void BM_ParseMixedFrames(benchmark::State& state) {
    size_t frames = 0;
    const auto stream = MakeMixedStream(frames);
    ZoMsgInBuffer in;
    ZoMsg::Head head;
    std::vector<uint8_t> body;
    size_t popped = 0;
    for (auto _ : state) {
        in.Push(stream.data(), stream.size());
        while (in.PopMessage(head, body)) {
            ++popped;
        }
    }
    if (popped != frames * state.iterations()) {
        state.SkipWithError("frames lost");
    }
    state.SetBytesProcessed(int64_t(stream.size() * state.iterations()));
    state.SetItemsProcessed(int64_t(popped));
}
BENCHMARK(BM_ParseMixedFrames);

void BM_PushKeyboard(benchmark::State& state) {
    NullOwner owner;
    ZoMsgOutBuffer<NullOwner> out(owner);
    ZoMsg::Body::Keyboard report;
    report.keys[0] = 4;
    const size_t frameSize = sizeof report + ZoMsg::kFrameOverhead;
    size_t queued = 0;
    for (auto _ : state) {
        if (queued + frameSize > out.GetCapacity()) {
            out.Clear(); // the output thread drains it on the link
            queued = 0;
        }
        benchmark::DoNotOptimize(out.PushPacket(ZoMsg::Type::Keyboard, report));
        queued += frameSize;
    }
}
BENCHMARK(BM_PushKeyboard);

template <typename Fn> void Checksum(benchmark::State& state, Fn fn) {
    std::vector<uint8_t> data(65536);
    std::mt19937 rng(3);
    for (auto& b : data) {
        b = uint8_t(rng());
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(fn(data.data(), data.size()));
    }
    state.SetBytesProcessed(int64_t(data.size() * state.iterations()));
}
void BM_Crc8(benchmark::State& state) {
    Checksum(state, [](const uint8_t* p, size_t n) { return ZoCrc::Crc8(p, n); });
}
void BM_Crc32(benchmark::State& state) {
    Checksum(state, [](const uint8_t* p, size_t n) { return ZoCrc::Crc32(p, n); });
}
BENCHMARK(BM_Crc8);
BENCHMARK(BM_Crc32);

} // namespace
