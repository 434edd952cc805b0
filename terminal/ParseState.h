#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace terminal {

// What the byte state machine has collected of the sequence in progress.
//
// The bytes come from the target's serial console and are untrusted, so every
// collection is bounded: at most kMaxParams parameters, kMaxIntermediates
// intermediate characters and kMaxString bytes of control string. The excess
// is dropped (and the sequence dispatched with what was kept), so no input
// can make the emulator grow without limit or slow down.
struct ParseState {
    static constexpr size_t kMaxParams = 32;
    static constexpr size_t kMaxIntermediates = 16;
    static constexpr size_t kMaxString = 4096;

    ParseState();

    // Empties the intermediates, the control string and the parameters.
    void clear();
    void collect(uint8_t byte);
    void put(uint8_t byte);
    // A digit or ';'. Numbers are unsigned 32-bit and wrap on overflow.
    void param(uint8_t byte);
    // The n-th parameter (1-based); 0 when absent.
    uint32_t p(size_t n) const { return n >= 1 && n <= mParams.size() ? mParams[n - 1] : 0; }

    int mState = 0;
    std::string mIntermediates;
    std::string mString;
    std::vector<uint32_t> mParams;
    bool mParamsFull = false; // a parameter past the cap was started: drop its digits
};

} // namespace terminal
