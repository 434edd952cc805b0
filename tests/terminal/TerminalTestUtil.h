#pragma once
#include "terminal/Terminal.h"

#include <string>

namespace terminal::test {

// Row `r` (absolute) with trailing blanks removed.
inline std::string rowText(const Terminal& t, uint32_t r) {
    const ScreenState& s = t.screen();
    std::string line(reinterpret_cast<const char*>(s.bufp(r, 1, true)), s.width(true));
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

// The whole screen as zt-termdump prints it: rows, then "cursor R C".
inline std::string screenDump(const Terminal& t) {
    std::string text;
    for (uint32_t r = 1; r <= t.screen().height(true); ++r)
        text += rowText(t, r) + "\n";
    text +=
        "cursor " + std::to_string(t.screen().row(true)) + " " + std::to_string(t.screen().col(true)) + "\n";
    return text;
}

inline void feed(Terminal& t, const std::string& bytes) {
    t.write(reinterpret_cast<const uint8_t*>(bytes.data()), ptrdiff_t(bytes.size()));
}

} // namespace terminal::test
