#include "terminal/Dispatcher.h"

#include "terminal/Terminal.h"

#include <zotbase/ZotBase.h>

#include <cstdio>
#include <string>

namespace terminal {

// Debug lines are built only when the logger would write them.
#define TLOG_DEBUG(t, ...)                                                                                   \
    do {                                                                                                     \
        if ((t).mLog->IsEnabled(ZotLogger::Level::Debug))                                                    \
            (t).mLog->Debug(__VA_ARGS__);                                                                    \
    } while (0)

namespace {

enum class Exec : uint8_t { NoOp, Unsupported, Soh, Bs, Ht, Lf, Cr, Ind, Nel, Hts, Ri, Print, St, Never };

struct ExecEntry {
    const char* name;
    Exec kind;
};

// C0 (0x00-0x1F) then C1 (0x80-0x9F). "Never" bytes are taken by the parser
// before they can be executed.
const ExecEntry kControls[64] = {
    {"NUL", Exec::NoOp},        {"SOH", Exec::Soh},         {"STX", Exec::NoOp},
    {"ETX", Exec::NoOp},        {"EOT", Exec::NoOp},        {"ENQ", Exec::Unsupported},
    {"ACK", Exec::NoOp},        {"BEL", Exec::Unsupported}, {"BS", Exec::Bs},
    {"HT", Exec::Ht},           {"LF", Exec::Lf},           {"VT", Exec::Lf},
    {"FF", Exec::Lf},           {"CR", Exec::Cr},           {"LS1", Exec::Unsupported},
    {"LS0", Exec::Unsupported}, {"DLE", Exec::NoOp},        {"DC1", Exec::Unsupported},
    {"DC2", Exec::Unsupported}, {"DC3", Exec::Unsupported}, {"DC4", Exec::Unsupported},
    {"NAK", Exec::NoOp},        {"SYN", Exec::NoOp},        {"ETB", Exec::NoOp},
    {"CAN", Exec::Unsupported}, {"EM", Exec::NoOp},         {"SUB", Exec::Unsupported},
    {"ESC", Exec::Never},       {"IS4", Exec::NoOp},        {"IS3", Exec::NoOp},
    {"IS2", Exec::NoOp},        {"IS1", Exec::NoOp},        {"PAD", Exec::Print},
    {"HOP", Exec::Print},       {"BPH", Exec::Unsupported}, {"NBH", Exec::Unsupported},
    {"IND", Exec::Ind},         {"NEL", Exec::Nel},         {"SSA", Exec::Unsupported},
    {"ESA", Exec::Unsupported}, {"HTS", Exec::Hts},         {"HTJ", Exec::Unsupported},
    {"VTS", Exec::Unsupported}, {"PLD", Exec::Unsupported}, {"PLU", Exec::Unsupported},
    {"RI", Exec::Ri},           {"SS2", Exec::Unsupported}, {"SS3", Exec::Unsupported},
    {"DCS", Exec::Never},       {"PU1", Exec::NoOp},        {"PU2", Exec::NoOp},
    {"STS", Exec::Unsupported}, {"CCH", Exec::Unsupported}, {"MW", Exec::Unsupported},
    {"SPA", Exec::Unsupported}, {"EPA", Exec::Unsupported}, {"SOS", Exec::Never},
    {"SGCI", Exec::Print},      {"SCI", Exec::Unsupported}, {"CSI", Exec::Never},
    {"ST", Exec::St},           {"OSC", Exec::Never},       {"PM", Exec::Never},
    {"APC", Exec::Never},
};

// How an unsupported control sequence checks and logs its parameters.
enum class Rule : int8_t { Any, One, Two, AtLeastOne, EachParam };

struct UnsupportedCsi {
    char intermediate; // 0: none
    char final;
    const char* name;
    Rule rule;
};

const UnsupportedCsi kUnsupportedCsi[] = {
    {' ', 'B', "GSM", Rule::Any},        {' ', 'C', "GSS", Rule::One},
    {' ', 'D', "FNT", Rule::Any},        {' ', 'E', "TSS", Rule::One},
    {' ', 'F', "JFY", Rule::EachParam},  {' ', 'G', "SPI", Rule::Two},
    {' ', 'H', "QUAD", Rule::EachParam}, {' ', 'I', "SSU", Rule::Any},
    {' ', 'J', "PFS", Rule::Any},        {' ', 'K', "SHS", Rule::Any},
    {' ', 'L', "SVS", Rule::Any},        {' ', 'M', "IGS", Rule::One},
    {' ', 'O', "IDCS", Rule::One},       {' ', 'P', "PPA", Rule::Any},
    {' ', 'Q', "PPR", Rule::Any},        {' ', 'R', "PPB", Rule::Any},
    {' ', 'S', "SPD", Rule::Any},        {' ', 'T', "DTA", Rule::Two},
    {' ', 'U', "SLH", Rule::One},        {' ', 'V', "SLL", Rule::One},
    {' ', 'W', "FNK", Rule::One},        {' ', 'X', "SPQR", Rule::Any},
    {' ', 'Y', "SEF", Rule::Any},        {' ', 'Z', "PEC", Rule::Any},
    {' ', '[', "SSW", Rule::One},        {' ', '\\', "SACS", Rule::Any},
    {' ', ']', "SAPV", Rule::EachParam}, {' ', '^', "STAB", Rule::One},
    {' ', '_', "GCC", Rule::Any},        {' ', '`', "TATE", Rule::One},
    {' ', 'a', "TALE", Rule::One},       {' ', 'b', "TAC", Rule::One},
    {' ', 'c', "TCC", Rule::AtLeastOne}, {' ', 'd', "TSR", Rule::One},
    {' ', 'e', "SCO", Rule::Any},        {' ', 'f', "SRCS", Rule::Any},
    {' ', 'g', "SCS", Rule::One},        {' ', 'h', "SLS", Rule::One},
    {' ', 'i', "SPH", Rule::One},        {' ', 'j', "SPL", Rule::One},
    {' ', 'k', "SCP", Rule::One},        {0, 'N', "EF", Rule::Any},
    {0, 'O', "EA", Rule::Any},           {0, 'Q', "SEE", Rule::Any},
    {0, 'R', "CPR", Rule::Any},          {0, 'U', "NP", Rule::Any},
    {0, 'V', "PP", Rule::Any},           {0, 'W', "CTC", Rule::EachParam},
    {0, 'Y', "CVT", Rule::Any},          {0, '[', "SRS", Rule::Any},
    {0, '\\', "PTX", Rule::Any},         {0, ']', "SDS", Rule::Any},
    {0, '^', "SIMD", Rule::Any},         {0, 'b', "REP", Rule::Any},
    {0, 'i', "MC", Rule::Any},           {0, 'o', "DAQ", Rule::EachParam},
    {'>', 'c', "DA2", Rule::Any},        {'=', 'c', "DA3", Rule::Any},
    {',', '|', "DECAC", Rule::Any},      {',', '}', "DECATC", Rule::Any},
};

std::string joinParams(const ParseState& s) {
    std::string text;
    for (size_t i = 0; i < s.mParams.size(); ++i) {
        if (i)
            text += ',';
        text += std::to_string(s.mParams[i]);
    }
    return text;
}

bool callExecute(void* user, uint8_t byte) {
    return Dispatcher::execute(*static_cast<Terminal*>(user), byte);
}
bool callPrint(void* user, uint8_t byte) {
    return Dispatcher::print(*static_cast<Terminal*>(user), byte);
}
bool callEsc(void* user, const ParseState& s, uint8_t final) {
    return Dispatcher::escDispatch(*static_cast<Terminal*>(user), s, final);
}
bool callCsi(void* user, const ParseState& s, uint8_t final) {
    return Dispatcher::csiDispatch(*static_cast<Terminal*>(user), s, final);
}
void callOsc(void* user, const ParseState& s) {
    Dispatcher::oscEnd(*static_cast<Terminal*>(user), s);
}
void callHook(void* user, const ParseState& s) {
    Dispatcher::dcsHook(*static_cast<Terminal*>(user), s);
}
void callUnhook(void* user, const ParseState& s) {
    Dispatcher::dcsUnhook(*static_cast<Terminal*>(user), s);
}

const ParserCallbacks kCallbacks = {callExecute, callPrint, callEsc, callCsi, callOsc, callHook, callUnhook};

} // namespace

const ParserCallbacks& Dispatcher::callbacks() {
    return kCallbacks;
}

bool Dispatcher::print(Terminal& t, uint8_t byte) {
    t.mScreen.print(byte, t.decMode(7), t.ansiMode(4));
    return true;
}

bool Dispatcher::execute(Terminal& t, uint8_t byte) {
    size_t slot = byte < 0x20 ? byte : (byte >= 0x80 && byte < 0xA0) ? byte - 0x80 + 0x20 : 64;
    if (slot >= 64)
        return false;
    const ExecEntry& e = kControls[slot];
    ScreenState& s = t.mScreen;
    switch (e.kind) {
    case Exec::NoOp:
        TLOG_DEBUG(t, "%s", e.name);
        return true;
    case Exec::Soh:
        TLOG_DEBUG(t, "%s", e.name);
        return false;
    case Exec::Unsupported:
        t.mLog->Error("%s", e.name);
        return false;
    case Exec::Bs:
        TLOG_DEBUG(t, "BS");
        s.BS();
        return true;
    case Exec::Ht:
        TLOG_DEBUG(t, "HT");
        s.CHT(1);
        return true;
    case Exec::Lf:
        TLOG_DEBUG(t, "%s", e.name);
        s.LF();
        return true;
    case Exec::Cr:
        TLOG_DEBUG(t, "CR");
        s.CR();
        return true;
    case Exec::Ind:
        TLOG_DEBUG(t, "IND");
        s.LF();
        return true;
    case Exec::Nel:
        TLOG_DEBUG(t, "NEL");
        s.NEL();
        return true;
    case Exec::Hts:
        TLOG_DEBUG(t, "HTS");
        s.HTS();
        return true;
    case Exec::Ri:
        TLOG_DEBUG(t, "RI");
        s.RI();
        return true;
    case Exec::Print:
        return print(t, byte);
    case Exec::St:
    case Exec::Never:
        return false;
    }
    return false;
}

bool Dispatcher::escDispatch(Terminal& t, const ParseState& st, uint8_t final) {
    ScreenState& s = t.mScreen;
    const std::string& in = st.mIntermediates;
    if (in.empty()) {
        switch (final) {
        case 'c':
            RIS(t);
            return true;
        case 'D':
            TLOG_DEBUG(t, "IND");
            s.LF();
            return true;
        case 'E':
            TLOG_DEBUG(t, "NEL");
            s.NEL();
            return true;
        case 'H':
            TLOG_DEBUG(t, "HTS");
            s.HTS();
            return true;
        case 'M':
            TLOG_DEBUG(t, "RI");
            s.RI();
            return true;
        case '6':
            TLOG_DEBUG(t, "DECBI");
            s.DECBI();
            return true;
        case '9':
            TLOG_DEBUG(t, "DECFI");
            s.DECFI();
            return true;
        case '7':
            // Takes effect, but is reported as a failure.
            t.mLog->Error("DECSC");
            s.save_cursor();
            return false;
        case '8':
            t.mLog->Error("DECRC");
            s.restore_cursor();
            return false;
        default:
            break;
        }
        static const struct {
            char final;
            const char* name;
        } kUnsupported[] = {{'N', "SS2"},  {'O', "SS3"},  {'`', "DMI"}, {'a', "INT"},
                            {'b', "EMI"},  {'d', "CMD"},  {'n', "LS2"}, {'o', "LS3"},
                            {'|', "LS3R"}, {'}', "LS2R"}, {'~', "LS1R"}};
        for (const auto& u : kUnsupported) {
            if (u.final == char(final)) {
                t.mLog->Error("%s", u.name);
                return false;
            }
        }
        return false;
    }
    if (in == "#") {
        switch (final) {
        case '8':
            TLOG_DEBUG(t, "DECALN");
            s.DECALN();
            return true;
        case '3':
            t.mLog->Error("DECDHL(top)");
            return false;
        case '4':
            t.mLog->Error("DECDHL(bottom)");
            return false;
        case '5':
            t.mLog->Error("DECSWL");
            return false;
        case '6':
            t.mLog->Error("DECDWL");
            return false;
        default:
            return false;
        }
    }
    if ((in == ")" && final == '1') || (in == ")" && final == 'B') || (in == "(" && final == '1')) {
        t.mLog->Error("%s", final == 'B' ? "DDD2" : in == ")" ? "DDD1" : "DDD3");
        return false;
    }
    return false;
}

bool Dispatcher::csiDispatch(Terminal& t, const ParseState& st, uint8_t final) {
    ScreenState& s = t.mScreen;
    const std::string& in = st.mIntermediates;
    if (in.size() > 1)
        return false;
    const char inter = in.empty() ? 0 : in[0];
    const uint32_t p1 = st.p(1), p2 = st.p(2);
    const size_t count = st.mParams.size();

    if (inter == 0) {
        switch (final) {
        case '@':
            TLOG_DEBUG(t, "ICH(%u)", p1);
            s.ICH(p1);
            return true;
        case 'A':
            TLOG_DEBUG(t, "CUU(%u)", p1);
            s.CUU(p1);
            return true;
        case 'B':
            TLOG_DEBUG(t, "CUD(%u)", p1);
            s.CUD(p1);
            return true;
        case 'C':
            TLOG_DEBUG(t, "CUF(%u)", p1);
            s.CUF(p1);
            return true;
        case 'D':
            TLOG_DEBUG(t, "CUB(%u)", p1);
            s.CUB(p1);
            return true;
        case 'E':
            TLOG_DEBUG(t, "CNL(%u)", p1);
            s.CNL(p1);
            return true;
        case 'F':
            TLOG_DEBUG(t, "CPL(%u)", p1);
            s.CPL(p1);
            return true;
        case 'G':
            TLOG_DEBUG(t, "CHA(%u)", p1);
            s.CHA(p1);
            return true;
        case 'H':
            TLOG_DEBUG(t, "CUP(%u,%u)", p1, p2);
            s.CUP(p1, p2);
            return true;
        case 'I':
            TLOG_DEBUG(t, "CHT(%u)", p1);
            s.CHT(p1);
            return true;
        case 'J':
            TLOG_DEBUG(t, "ED(%u)", p1);
            return s.ED(p1);
        case 'K':
            TLOG_DEBUG(t, "EL(%u)", p1);
            return s.EL(p1);
        case 'L':
            TLOG_DEBUG(t, "IL(%u)", p1);
            s.IL(p1);
            return true;
        case 'M':
            TLOG_DEBUG(t, "DL(%u)", p1);
            s.DL(p1);
            return true;
        case 'P':
            TLOG_DEBUG(t, "DCH(%u)", p1);
            s.DCH(p1);
            return true;
        case 'S':
            TLOG_DEBUG(t, "SU(%u)", p1);
            s.SU(p1);
            return true;
        case 'T':
            TLOG_DEBUG(t, "SD(%u)", p1);
            s.SD(p1);
            return true;
        case 'X':
            TLOG_DEBUG(t, "ECH(%u)", p1);
            s.ECH(p1);
            return true;
        case 'Z':
            TLOG_DEBUG(t, "CBT(%u)", p1);
            s.CBT(p1);
            return true;
        case '`':
            TLOG_DEBUG(t, "HPA(%u)", p1);
            s.CHA(p1);
            return true;
        case 'a':
            TLOG_DEBUG(t, "HPR(%u)", p1);
            s.CUF(p1);
            return true;
        case 'c':
            return DA(t, p1);
        case 'd':
            TLOG_DEBUG(t, "VPA(%u)", p1);
            s.VPA(p1);
            return true;
        case 'e':
            TLOG_DEBUG(t, "VPR(%u)", p1);
            s.CUD(p1);
            return true;
        case 'f':
            TLOG_DEBUG(t, "HVP(%u,%u)", p1, p2);
            s.CUP(p1, p2);
            return true;
        case 'g':
            TLOG_DEBUG(t, "TBC(%u)", p1);
            return s.TBC(p1);
        case 'h':
        case 'l': {
            bool ok = true;
            for (uint32_t p : st.mParams)
                ok = SM(t, p, final == 'h') && ok;
            return ok;
        }
        case 'j':
            TLOG_DEBUG(t, "HPB(%u)", p1);
            s.CUB(p1);
            return true;
        case 'k':
            TLOG_DEBUG(t, "VPB(%u)", p1);
            s.CUU(p1);
            return true;
        case 'm': {
            if (count == 0)
                return SGR(t, 0);
            bool ok = true;
            for (uint32_t p : st.mParams)
                ok = SGR(t, p) && ok;
            return ok;
        }
        case 'n':
            return DSR(t, p1);
        case 'r':
            TLOG_DEBUG(t, "DECSTBM(%u,%u)", p1, p2);
            s.DECSTBM(p1, p2);
            return true;
        case 's':
            TLOG_DEBUG(t, "DECSLRM(%u,%u)", p1, p2);
            s.DECSLRM(p1, p2);
            return true;
        default:
            return unsupportedCsi(t, st, inter, final);
        }
    }
    switch (inter) {
    case ' ':
        if (final == '@') {
            TLOG_DEBUG(t, "SL(%u)", p1);
            s.SL(p1);
            return true;
        }
        if (final == 'A') {
            TLOG_DEBUG(t, "SR(%u)", p1);
            s.SR(p1);
            return true;
        }
        break;
    case '?':
        switch (final) {
        case 'J':
            TLOG_DEBUG(t, "DECSED(%u)", p1);
            return s.ED(p1, true);
        case 'K':
            TLOG_DEBUG(t, "DECSEL(%u)", p1);
            return s.EL(p1, true);
        case 'W':
            TLOG_DEBUG(t, "DECST8C");
            s.DECST8C();
            return true;
        case 'h':
        case 'l': {
            bool ok = true;
            for (uint32_t p : st.mParams)
                ok = DECSET(t, p, final == 'h') && ok;
            return ok;
        }
        default:
            break;
        }
        break;
    case '"':
        if (final == 'q')
            return DECSCA(t, p1);
        break;
    case '$':
        switch (final) {
        case 'v':
            TLOG_DEBUG(t, "DECCRA(%u,%u,%u,%u,%u,%u,%u,%u)", p1, p2, st.p(3), st.p(4), st.p(5), st.p(6),
                       st.p(7), st.p(8));
            s.DECCRA(p1, p2, st.p(3), st.p(4), st.p(6), st.p(7));
            return true;
        case 'x':
            if (count == 0)
                return false;
            TLOG_DEBUG(t, "DECFRA(%u,%u,%u,%u,%u)", p1, p2, st.p(3), st.p(4), st.p(5));
            s.DECFRA(p1, p2, st.p(3), st.p(4), st.p(5));
            return true;
        case 'z':
            TLOG_DEBUG(t, "DECERA(%u,%u,%u,%u)", p1, p2, st.p(3), st.p(4));
            s.DECERA(p1, p2, st.p(3), st.p(4));
            return true;
        case '{':
            TLOG_DEBUG(t, "DECSERA(%u,%u,%u,%u)", p1, p2, st.p(3), st.p(4));
            s.DECERA(p1, p2, st.p(3), st.p(4), true);
            return true;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return unsupportedCsi(t, st, inter, final);
}

bool Dispatcher::unsupportedCsi(Terminal& t, const ParseState& s, char intermediate, uint8_t final) {
    for (const UnsupportedCsi& u : kUnsupportedCsi) {
        if (u.intermediate != intermediate || u.final != char(final))
            continue;
        const size_t count = s.mParams.size();
        switch (u.rule) {
        case Rule::One:
            if (count != 1)
                return false;
            break;
        case Rule::Two:
            if (count != 2)
                return false;
            break;
        case Rule::AtLeastOne:
            if (count < 1)
                return false;
            break;
        case Rule::EachParam:
            for (uint32_t p : s.mParams)
                t.mLog->Error("%s(%u)", u.name, p);
            return false;
        case Rule::Any:
            break;
        }
        t.mLog->Error("%s(%s)", u.name, joinParams(s).c_str());
        return false;
    }
    return false;
}

void Dispatcher::oscEnd(Terminal& t, const ParseState& s) {
    t.mLog->Error("OSC[%s]", s.mString.c_str());
}

void Dispatcher::dcsHook(Terminal& t, const ParseState&) {
    TLOG_DEBUG(t, "p_hook");
}

void Dispatcher::dcsUnhook(Terminal& t, const ParseState& s) {
    TLOG_DEBUG(t, "p_unhook str=[%s]", s.mString.c_str());
    t.mLog->Error("DCS[%s]", s.mString.c_str());
}

bool Dispatcher::SGR(Terminal& t, uint32_t p) {
    TLOG_DEBUG(t, "SGR(%u)", p);
    ScreenState& s = t.mScreen;
    uint64_t a = s.attributes();
    const unsigned brighter = hasFlag(a, kBold) ? 8 : 0; // bold as it was before this parameter
    const uint64_t fgMask = 0xFFFFFFull, bgMask = 0xFFFFFFull << 24;
    switch (p) {
    case 0:
        a = Terminal::defaultAttributes();
        break;
    case 1:
        a |= flagBits(kBold);
        break;
    case 4:
        a |= flagBits(kUnderline);
        break;
    case 5:
        a |= flagBits(kBlink);
        break;
    case 7:
        a |= flagBits(kReverse);
        break;
    case 8:
        a |= flagBits(kConcealed);
        break;
    case 22:
        a &= ~flagBits(kBold);
        break;
    case 24:
        a &= ~flagBits(kUnderline);
        break;
    case 25:
        a &= ~flagBits(kBlink);
        break;
    case 27:
        a &= ~flagBits(kReverse);
        break;
    case 28:
        a &= ~flagBits(kConcealed);
        break;
    case 39:
        a = (a & ~fgMask) | Terminal::paletteColour(7);
        break;
    case 49:
        a = (a & ~bgMask) | (uint64_t(Terminal::paletteColour(0)) << 24);
        break;
    default:
        if (p >= 30 && p <= 37) {
            a = (a & ~fgMask) | Terminal::paletteColour(p - 30 + brighter);
            break;
        }
        if (p >= 40 && p <= 47) {
            a = (a & ~bgMask) | (uint64_t(Terminal::paletteColour(p - 40 + brighter)) << 24);
            break;
        }
        return false;
    }
    s.setAttributes(a);
    return true;
}

bool Dispatcher::SM(Terminal& t, uint32_t p, bool on) {
    TLOG_DEBUG(t, "%s(%u)", on ? "SM" : "RM", p);
    const uint32_t mode = p & 0xFF;
    t.setAnsiMode(mode, on);
    if (mode == 4)
        return true; // IRM
    if (mode == 20)
        return !on; // LNM: only the reset state is supported
    return false;
}

bool Dispatcher::DECSET(Terminal& t, uint32_t p, bool on) {
    TLOG_DEBUG(t, "%s(%u)", on ? "DECSET" : "DECRST", p);
    t.setDecMode(p, on);
    switch (p) {
    case 1: // DECCKM
    case 4: // DECSCLM
    case 6: // DECOM
        return !on;
    case 3:
        DECCOLM(t, on ? 132 : 80);
        return true;
    case 5:  // DECSCNM
    case 7:  // DECAWM
    case 25: // DECTCEM
        return true;
    case 8: // DECARM
        return on;
    default:
        return false;
    }
}

bool Dispatcher::DSR(Terminal& t, uint32_t p) {
    TLOG_DEBUG(t, "DSR(%u)", p);
    if (p == 5) {
        t.output("%c%un", 0x9B, 0u);
        return true;
    }
    if (p == 6) {
        t.output("%c%u;%uR", 0x9B, t.mScreen.row(), t.mScreen.col());
        return true;
    }
    return p <= 4;
}

bool Dispatcher::DA(Terminal& t, uint32_t p) {
    TLOG_DEBUG(t, "DA(%u)", p);
    if (p != 0)
        return false;
    static const uint8_t kReply[] = {0x9B, '?', '1', ';', '2', '1', ';', '2', '2', 'c'};
    t.append(kReply, sizeof(kReply));
    return true;
}

bool Dispatcher::DECSCA(Terminal& t, uint32_t p) {
    TLOG_DEBUG(t, "DECSCA(%u)", p);
    ScreenState& s = t.mScreen;
    if (p == 1) {
        s.setAttributes(s.attributes() | flagBits(kProtected));
        return true;
    }
    if (p == 0 || p == 2) {
        s.setAttributes(s.attributes() & ~flagBits(kProtected));
        return true;
    }
    return false;
}

void Dispatcher::DECCOLM(Terminal& t, uint32_t columns) {
    TLOG_DEBUG(t, "DECCOLM(%u)", columns);
    ScreenState& s = t.mScreen;
    if (s.width(true) == columns)
        return;
    // The screen keeps its number of rows; a scrolling region does not shrink it.
    s.resize(columns, s.height(true));
    s.DECSTBM(0, 0);
    s.DECSLRM(0, 0);
}

void Dispatcher::RIS(Terminal& t) {
    TLOG_DEBUG(t, "RIS");
    t.fullReset();
}

} // namespace terminal
