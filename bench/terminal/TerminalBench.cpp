// Throughput of Terminal::write with the screen, in bytes per second, on three
// kinds of serial console output, next to libvterm's screen layer fed the
// same bytes in the same pieces:
//   Plain  - 80-column text lines with CR LF, scrolling all the time
//   Sgr    - short coloured words (SGR on and off around each), like ls/grep
//   Cursor - cursor addressing with short text and erase-to-end-of-line, like
//            a full-screen program redrawing (top, an editor)
#include "terminal/Terminal.h"

#include <benchmark/benchmark.h>
#include <vterm.h>

#include <cstdio>
#include <random>
#include <string>

namespace {

constexpr size_t kInputSize = 1 << 20;
constexpr size_t kPiece = 4096;

std::string plainText() {
    std::mt19937 rng(1);
    std::string s;
    while (s.size() < kInputSize) {
        for (int c = 0; c < 80; ++c)
            s += char(' ' + rng() % 95);
        s += "\r\n";
    }
    return s;
}

std::string sgrText() {
    std::mt19937 rng(2);
    std::string s;
    char seq[32];
    while (s.size() < kInputSize) {
        int column = 0;
        while (column < 70) {
            std::snprintf(seq, sizeof(seq), "\x1b[%u;%um", unsigned(rng() % 2), unsigned(30 + rng() % 8));
            s += seq;
            int len = 3 + int(rng() % 8);
            for (int i = 0; i < len; ++i)
                s += char('a' + rng() % 26);
            s += "\x1b[0m ";
            column += len + 1;
        }
        s += "\r\n";
    }
    return s;
}

std::string cursorText() {
    std::mt19937 rng(3);
    std::string s;
    char seq[32];
    while (s.size() < kInputSize) {
        std::snprintf(seq, sizeof(seq), "\x1b[%u;%uH", unsigned(1 + rng() % 24), unsigned(1 + rng() % 70));
        s += seq;
        int len = 4 + int(rng() % 8);
        for (int i = 0; i < len; ++i)
            s += char('0' + rng() % 10);
        if (rng() % 4 == 0)
            s += "\x1b[K";
    }
    return s;
}

const std::string& input(int kind) {
    static const std::string inputs[3] = {plainText(), sgrText(), cursorText()};
    return inputs[kind];
}

void BM_Terminal(benchmark::State& state) {
    const std::string& in = input(int(state.range(0)));
    terminal::Terminal t;
    for (auto _ : state) {
        for (size_t i = 0; i < in.size(); i += kPiece) {
            size_t n = std::min(kPiece, in.size() - i);
            t.write(reinterpret_cast<const uint8_t*>(in.data() + i), ptrdiff_t(n));
        }
        benchmark::DoNotOptimize(t.screen().characters().data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}

void BM_Libvterm(benchmark::State& state) {
    const std::string& in = input(int(state.range(0)));
    VTerm* vt = vterm_new(24, 80);
    vterm_set_utf8(vt, 0);
    VTermScreen* screen = vterm_obtain_screen(vt);
    vterm_screen_reset(screen, 1);
    for (auto _ : state) {
        for (size_t i = 0; i < in.size(); i += kPiece) {
            size_t n = std::min(kPiece, in.size() - i);
            vterm_input_write(vt, in.data() + i, n);
        }
        benchmark::ClobberMemory();
    }
    vterm_free(vt);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(in.size()));
}

void kinds(benchmark::internal::Benchmark* b) {
    b->ArgNames({"kind"});
    b->Arg(0)->Arg(1)->Arg(2);
}

} // namespace

// kind 0 = Plain, 1 = Sgr, 2 = Cursor
BENCHMARK(BM_Terminal)->Apply(kinds)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Libvterm)->Apply(kinds)->Unit(benchmark::kMillisecond);
