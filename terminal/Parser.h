#pragma once
#include "terminal/ParseState.h"

#include <cstdint>

class ZotLogger;

namespace terminal {

// What the byte state machine asks of the layer above it. Each action
// returns success; a failed action gets a "PARSE:" line in the log.
struct ParserCallbacks {
    bool (*execute)(void* user, uint8_t byte);                               // C0 / C1 control
    bool (*print)(void* user, uint8_t byte);                                 // graphic byte in ground
    bool (*escDispatch)(void* user, const ParseState& state, uint8_t final); // ESC sequence
    bool (*csiDispatch)(void* user, const ParseState& state, uint8_t final); // control sequence
    void (*oscEnd)(void* user, const ParseState& state);                     // leaving an OSC string
    void (*dcsHook)(void* user, const ParseState& state);                    // entering DCS passthrough
    void (*dcsUnhook)(void* user, const ParseState& state);                  // leaving DCS passthrough
};

// The VT500-style byte state machine: fourteen states, the "anywhere" bytes,
// entry and exit actions. Stateless itself: everything it keeps is in the
// ParseState it is given, so a sequence may be split across any number of
// calls.
class Parser {
public:
    enum State : int {
        Ground = 0,
        Escape = 1,
        EscapeIntermediate = 2,
        CsiEntry = 3,
        CsiIgnore = 4,
        CsiParam = 5,
        CsiIntermediate = 6,
        DcsEntry = 7,
        DcsIntermediate = 8,
        DcsIgnore = 9,
        DcsParam = 10,
        DcsPassthrough = 11,
        SosPmApcString = 12,
        OscString = 13,
        kStateCount = 14,
    };

    static void write(ParseState& state, uint8_t byte, const ParserCallbacks& callbacks, void* user,
                      ZotLogger& log);
};

} // namespace terminal
