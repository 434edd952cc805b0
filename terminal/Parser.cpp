#include "terminal/Parser.h"

#include <zotbase/ZotBase.h>

#include <array>

namespace terminal {

namespace {

enum Action : uint8_t { None, Execute, Print, Collect, Param, Put, Ignore, EscDispatch, CsiDispatch };

constexpr uint8_t kStay = 0xFF;

struct Transition {
    Action action = None;
    uint8_t next = kStay;
};

using Row = std::array<Transition, 256>;
using Table = std::array<Row, Parser::kStateCount>;

constexpr void set(Row& row, unsigned from, unsigned to, Action action, uint8_t next = kStay) {
    for (unsigned b = from; b <= to; ++b)
        row[b] = Transition{action, next};
}

// C0 as the states see it: 0x00-0x17, 0x19, 0x1C-0x1F (CAN, SUB and ESC are
// "anywhere" bytes).
constexpr void setC0(Row& row, Action action) {
    set(row, 0x00, 0x17, action);
    set(row, 0x19, 0x19, action);
    set(row, 0x1C, 0x1F, action);
}

constexpr Table buildTable() {
    Table t{};
    using P = Parser;
    // Ground.
    setC0(t[P::Ground], Execute);
    set(t[P::Ground], 0x20, 0x7F, Print);
    // Escape.
    setC0(t[P::Escape], Execute);
    set(t[P::Escape], 0x7F, 0x7F, Ignore);
    set(t[P::Escape], 0x20, 0x2F, Collect, P::EscapeIntermediate);
    set(t[P::Escape], 0x30, 0x7E, EscDispatch, P::Ground);
    set(t[P::Escape], 0x50, 0x50, None, P::DcsEntry);
    set(t[P::Escape], 0x58, 0x58, None, P::SosPmApcString);
    set(t[P::Escape], 0x5E, 0x5F, None, P::SosPmApcString);
    set(t[P::Escape], 0x5B, 0x5B, None, P::CsiEntry);
    set(t[P::Escape], 0x5D, 0x5D, None, P::OscString);
    // Escape intermediate.
    setC0(t[P::EscapeIntermediate], Execute);
    set(t[P::EscapeIntermediate], 0x20, 0x2F, Collect);
    set(t[P::EscapeIntermediate], 0x7F, 0x7F, Ignore);
    set(t[P::EscapeIntermediate], 0x30, 0x7E, EscDispatch, P::Ground);
    // CSI entry.
    setC0(t[P::CsiEntry], Execute);
    set(t[P::CsiEntry], 0x7F, 0x7F, Ignore);
    set(t[P::CsiEntry], 0x20, 0x2F, Collect, P::CsiIntermediate);
    set(t[P::CsiEntry], 0x3A, 0x3A, None, P::CsiIgnore);
    set(t[P::CsiEntry], 0x30, 0x39, Param, P::CsiParam);
    set(t[P::CsiEntry], 0x3B, 0x3B, Param, P::CsiParam);
    set(t[P::CsiEntry], 0x3C, 0x3F, Collect, P::CsiParam);
    set(t[P::CsiEntry], 0x40, 0x7E, CsiDispatch, P::Ground);
    // CSI ignore.
    setC0(t[P::CsiIgnore], Execute);
    set(t[P::CsiIgnore], 0x20, 0x3F, Ignore);
    set(t[P::CsiIgnore], 0x7F, 0x7F, Ignore);
    set(t[P::CsiIgnore], 0x40, 0x7E, None, P::Ground);
    // CSI parameter.
    setC0(t[P::CsiParam], Execute);
    set(t[P::CsiParam], 0x30, 0x39, Param);
    set(t[P::CsiParam], 0x3B, 0x3B, Param);
    set(t[P::CsiParam], 0x3A, 0x3A, None, P::CsiIgnore);
    set(t[P::CsiParam], 0x3C, 0x3F, None, P::CsiIgnore);
    set(t[P::CsiParam], 0x7F, 0x7F, Ignore);
    set(t[P::CsiParam], 0x20, 0x2F, Collect, P::CsiIntermediate);
    set(t[P::CsiParam], 0x40, 0x7E, CsiDispatch, P::Ground);
    // CSI intermediate.
    setC0(t[P::CsiIntermediate], Execute);
    set(t[P::CsiIntermediate], 0x20, 0x2F, Collect);
    set(t[P::CsiIntermediate], 0x7F, 0x7F, Ignore);
    set(t[P::CsiIntermediate], 0x30, 0x3F, None, P::CsiIgnore);
    set(t[P::CsiIntermediate], 0x40, 0x7E, CsiDispatch, P::Ground);
    // DCS entry.
    setC0(t[P::DcsEntry], Ignore);
    set(t[P::DcsEntry], 0x7F, 0x7F, Ignore);
    set(t[P::DcsEntry], 0x3A, 0x3A, None, P::DcsIgnore);
    set(t[P::DcsEntry], 0x20, 0x2F, Collect, P::DcsIntermediate);
    set(t[P::DcsEntry], 0x30, 0x39, Param, P::DcsParam);
    set(t[P::DcsEntry], 0x3B, 0x3B, Param, P::DcsParam);
    set(t[P::DcsEntry], 0x3C, 0x3F, Collect, P::DcsParam);
    set(t[P::DcsEntry], 0x40, 0x7E, None, P::DcsPassthrough);
    // DCS intermediate.
    setC0(t[P::DcsIntermediate], Ignore);
    set(t[P::DcsIntermediate], 0x7F, 0x7F, Ignore);
    set(t[P::DcsIntermediate], 0x20, 0x2F, Collect);
    set(t[P::DcsIntermediate], 0x30, 0x3F, None, P::DcsIgnore);
    set(t[P::DcsIntermediate], 0x40, 0x7E, None, P::DcsPassthrough);
    // DCS ignore.
    set(t[P::DcsIgnore], 0x00, 0xFF, Ignore);
    // DCS parameter.
    setC0(t[P::DcsParam], Ignore);
    set(t[P::DcsParam], 0x7F, 0x7F, Ignore);
    set(t[P::DcsParam], 0x30, 0x39, Param);
    set(t[P::DcsParam], 0x3B, 0x3B, Param);
    set(t[P::DcsParam], 0x3A, 0x3A, None, P::DcsIgnore);
    set(t[P::DcsParam], 0x3C, 0x3F, None, P::DcsIgnore);
    set(t[P::DcsParam], 0x20, 0x2F, Collect, P::DcsIntermediate);
    set(t[P::DcsParam], 0x40, 0x7E, None, P::DcsPassthrough);
    // DCS passthrough.
    setC0(t[P::DcsPassthrough], Put);
    set(t[P::DcsPassthrough], 0x20, 0x7E, Put);
    set(t[P::DcsPassthrough], 0x7F, 0x7F, Ignore);
    // SOS / PM / APC string.
    set(t[P::SosPmApcString], 0x00, 0xFF, Ignore);
    // OSC string.
    setC0(t[P::OscString], Ignore);
    set(t[P::OscString], 0x20, 0x7F, Put);

    // The "anywhere" bytes override every state.
    for (auto& row : t) {
        set(row, 0x18, 0x18, Execute, P::Ground);
        set(row, 0x1A, 0x1A, Execute, P::Ground);
        set(row, 0x80, 0x8F, Execute, P::Ground);
        set(row, 0x91, 0x97, Execute, P::Ground);
        set(row, 0x99, 0x9A, Execute, P::Ground);
        set(row, 0x9C, 0x9C, Execute, P::Ground);
        set(row, 0x1B, 0x1B, None, P::Escape);
        set(row, 0x90, 0x90, None, P::DcsEntry);
        set(row, 0x98, 0x98, None, P::SosPmApcString);
        set(row, 0x9E, 0x9F, None, P::SosPmApcString);
        set(row, 0x9B, 0x9B, None, P::CsiEntry);
        set(row, 0x9D, 0x9D, None, P::OscString);
    }
    return t;
}

constexpr Table kTable = buildTable();

} // namespace

void Parser::write(ParseState& state, uint8_t byte, const ParserCallbacks& callbacks, void* user,
                   ZotLogger& log) {
    const int before = state.mState;
    const Transition tr = kTable[size_t(before)][byte];
    bool ok = true;
    bool exited = false;

    if (tr.next != kStay && tr.next != before) {
        // Exit action of the state being left.
        if (before == OscString) {
            callbacks.oscEnd(user, state);
            exited = true;
        } else if (before == DcsPassthrough) {
            callbacks.dcsUnhook(user, state);
            exited = true;
        }
    }

    switch (tr.action) {
    case Execute:
        ok = callbacks.execute(user, byte);
        break;
    case Print:
        ok = callbacks.print(user, byte);
        break;
    case Collect:
        state.collect(byte);
        break;
    case Param:
        state.param(byte);
        break;
    case Put:
        state.put(byte);
        break;
    case EscDispatch:
        ok = callbacks.escDispatch(user, state, byte);
        break;
    case CsiDispatch:
        ok = callbacks.csiDispatch(user, state, byte);
        break;
    case None:
    case Ignore:
        break;
    }

    if (tr.next != kStay && tr.next != before) {
        state.mState = tr.next;
        // Entry actions.
        if (tr.next == Escape || tr.next == CsiEntry)
            state.clear();
        else if (tr.next == DcsPassthrough)
            callbacks.dcsHook(user, state);
    }

    if (!ok || exited) {
        log.Error("PARSE: state=%d c=0x%02X(%c) int=[%s] str=[%s] #p=%u", before, byte,
                  (byte >= 0x20 && byte < 0x7F) ? char(byte) : '?', state.mIntermediates.c_str(),
                  state.mString.c_str(), unsigned(state.mParams.size()));
    }
}

} // namespace terminal
