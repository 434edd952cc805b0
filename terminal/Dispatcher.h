#pragma once
#include "terminal/Parser.h"

#include <cstdint>

namespace terminal {

class Terminal;

// The state layer between the parser and the screen: the C0/C1, ESC and CSI
// dispatch tables, the control functions that need the emulator (modes,
// attributes, replies, resets) and the log line of every function. Stateless;
// everything lives in the Terminal it is given.
class Dispatcher {
public:
    // The table handed to Parser::write; `user` is the Terminal.
    static const ParserCallbacks& callbacks();

    static bool execute(Terminal& t, uint8_t byte);
    static bool print(Terminal& t, uint8_t byte);
    static bool escDispatch(Terminal& t, const ParseState& s, uint8_t final);
    static bool csiDispatch(Terminal& t, const ParseState& s, uint8_t final);
    static void oscEnd(Terminal& t, const ParseState& s);
    static void dcsHook(Terminal& t, const ParseState& s);
    static void dcsUnhook(Terminal& t, const ParseState& s);

    static bool SGR(Terminal& t, uint32_t p);
    static bool SM(Terminal& t, uint32_t p, bool on);
    static bool DECSET(Terminal& t, uint32_t p, bool on);
    static bool DSR(Terminal& t, uint32_t p);
    static bool DA(Terminal& t, uint32_t p);
    static bool DECSCA(Terminal& t, uint32_t p);
    static void DECCOLM(Terminal& t, uint32_t columns);
    static void RIS(Terminal& t);

private:
    static bool unsupportedCsi(Terminal& t, const ParseState& s, char intermediate, uint8_t final);
};

} // namespace terminal
