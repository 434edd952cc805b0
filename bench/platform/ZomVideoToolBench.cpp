// ConvertImage of a 1080p YUY2 frame to BGRA, at 1080p and letterboxed to
// 1280 x 800, next to the bare libyuv calls that do the same work.
#include "platform/linux/ZomVideoTool.h"

#include <benchmark/benchmark.h>
#include <libyuv/convert_argb.h>
#include <libyuv/planar_functions.h>
#include <libyuv/scale_argb.h>

#include <vector>

namespace {
constexpr int kW = 1920, kH = 1080;

std::vector<uint8_t> Frame() {
    std::vector<uint8_t> yuy2(size_t(kW) * kH * 2);
    for (size_t i = 0; i < yuy2.size(); ++i)
        yuy2[i] = uint8_t(i * 7 + (i >> 11));
    return yuy2;
}

void ConvertImage1080p(benchmark::State& state) {
    auto src = Frame();
    std::vector<uint8_t> dst(size_t(kW) * kH * 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(ZomVideoTool::ConvertImage(kW, kH, ZomVideoTool::kFormatYuvs, src.data(),
                                                            kW * 2, kW, kH, ZomVideoTool::kFormatBgra,
                                                            dst.data(), kW * 4));
}
BENCHMARK(ConvertImage1080p)->Unit(benchmark::kMillisecond);

// The one-call libyuv conversion (limited range): the floor for 1080p.
void BareYuy2ToArgb1080p(benchmark::State& state) {
    auto src = Frame();
    std::vector<uint8_t> dst(size_t(kW) * kH * 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(libyuv::YUY2ToARGB(src.data(), kW * 2, dst.data(), kW * 4, kW, kH));
}
BENCHMARK(BareYuy2ToArgb1080p)->Unit(benchmark::kMillisecond);

void ConvertImageLetterbox1280x800(benchmark::State& state) {
    auto src = Frame();
    std::vector<uint8_t> dst(size_t(1280) * 800 * 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(ZomVideoTool::ConvertImage(kW, kH, ZomVideoTool::kFormatYuvs, src.data(),
                                                            kW * 2, 1280, 800, ZomVideoTool::kFormatBgra,
                                                            dst.data(), 1280 * 4));
}
BENCHMARK(ConvertImageLetterbox1280x800)->Unit(benchmark::kMillisecond);

// Bare: convert at full size, then scale into the 1280 x 720 picture area.
void BareLetterbox1280x800(benchmark::State& state) {
    auto src = Frame();
    std::vector<uint8_t> argb(size_t(kW) * kH * 4), dst(size_t(1280) * 800 * 4);
    for (auto _ : state) {
        libyuv::YUY2ToARGB(src.data(), kW * 2, argb.data(), kW * 4, kW, kH);
        benchmark::DoNotOptimize(libyuv::ARGBScale(argb.data(), kW * 4, kW, kH, dst.data() + 40 * 1280 * 4,
                                                   1280 * 4, 1280, 720, libyuv::kFilterBilinear));
    }
}
BENCHMARK(BareLetterbox1280x800)->Unit(benchmark::kMillisecond);
} // namespace
