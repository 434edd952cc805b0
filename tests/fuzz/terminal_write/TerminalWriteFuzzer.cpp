// Arbitrary bytes from the target's serial console through the terminal
// emulator, in pieces of varying size (sequences split anywhere), with the
// reply queue drained now and then like the terminal window does. Sizes
// change through DECCOLM in the stream. After every piece the screen's
// invariants must hold; ASan/UBSan catch the rest.
#include "terminal/Terminal.h"

#include <zotbase/ZotBase.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

void checkInvariants(const terminal::Terminal& t) {
    const terminal::ScreenState& s = t.screen();
    const uint32_t w = s.width(true), h = s.height(true);
    check(w >= terminal::ScreenState::kMinColumns && w <= terminal::ScreenState::kMaxColumns);
    check(h >= terminal::ScreenState::kMinRows && h <= terminal::ScreenState::kMaxRows);
    check(s.top() >= 1 && s.top() <= s.bottom() && s.bottom() <= h);
    check(s.left() >= 1 && s.left() < s.right() && s.right() <= w);
    check(s.row(true) >= s.top() && s.row(true) <= s.bottom());
    check(s.col(true) >= s.left() && s.col(true) <= s.right());
    check(s.characters().size() == size_t(w) * h && s.cellAttributes().size() == size_t(w) * h);
    const terminal::ParseState& p = t.parseState();
    check(p.mState >= 0 && p.mState < 14);
    check(p.mParams.size() <= terminal::ParseState::kMaxParams);
    check(p.mString.size() <= terminal::ParseState::kMaxString);
    check(p.mIntermediates.size() <= terminal::ParseState::kMaxIntermediates);
    check(t.outputQueue().size() <= terminal::Terminal::kMaxOutput);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = [] {
        // Unsupported sequences log at Error; keep the fuzzer's output readable.
        ZotLogManager::Instance()
            .GetLogger("Terminal", ZotLogger::Level::Fatal)
            ->SetLevel(ZotLogger::Level::Fatal);
        return true;
    }();
    (void)quiet;
    if (size == 0)
        return 0;
    // The first byte chooses how the rest is cut into pieces.
    const size_t piece = 1 + data[0] % 64;
    ++data;
    --size;

    static terminal::Terminal t;
    t.reset();
    size_t fed = 0;
    unsigned round = 0;
    while (fed < size) {
        const size_t n = std::min(piece + (round % 3), size - fed);
        t.write(data + fed, ptrdiff_t(n));
        fed += n;
        if (++round % 4 == 0) {
            uint8_t reply[256];
            t.read(reply, sizeof(reply));
        }
        checkInvariants(t);
    }
    return 0;
}
