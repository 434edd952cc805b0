#pragma once
#include <cstdint>

namespace terminal {

// A cursor: absolute row and column (1-based) and the attribute word used for
// everything written at it.
struct CursorState {
    uint32_t mRow = 1;
    uint32_t mCol = 1;
    uint64_t mAttrs = 0;
};

} // namespace terminal
