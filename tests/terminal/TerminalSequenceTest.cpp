// Byte streams through the emulator against the expected screen, cursor,
// replies and cell attributes. Every case is fed twice: in one write and one
// byte at a time, so the fast printing path and the split-sequence handling
// must agree with the byte state machine.
#include "TerminalTestUtil.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace terminal {
namespace {

using test::rowText;

const std::string ESC = "\x1b";
const std::string CSI = "\x1b[";

std::string rep(size_t n, char c) {
    return std::string(n, c);
}

uint64_t A(unsigned fg, unsigned bg, uint16_t flags = 0) {
    return attribute(Terminal::paletteColour(fg), Terminal::paletteColour(bg), flags);
}

struct Cell {
    uint32_t row, col;
    uint64_t attrs;
};

struct SequenceCase {
    const char* name;
    std::string input;
    std::map<uint32_t, std::string> rows; // absolute row -> text; every other row is blank
    uint32_t row, col;                    // absolute cursor
    std::string replies = {};
    std::vector<Cell> cells = {};
    uint32_t width = 80;
};

const std::string kPattern = [] {
    std::string s;
    for (int i = 0; i < 80; ++i)
        s += char('a' + i % 26);
    return s;
}();

std::string numberedRows(int n) {
    std::string s;
    for (int i = 1; i <= n; ++i)
        s += CSI + std::to_string(i) + ";1Hr" + std::to_string(i);
    return s;
}

const std::vector<SequenceCase> kCases = {
    // Printing, autowrap and insert mode.
    {"wrap pending keeps the cursor in the last column", rep(80, 'a'), {{1, rep(80, 'a')}}, 1, 80},
    {"81st character wraps", rep(80, 'a') + "b", {{1, rep(80, 'a')}, {2, "b"}}, 2, 2},
    {"CR LF after a full line adds no blank line",
     rep(80, 'x') + "\r\nZ",
     {{1, rep(80, 'x')}, {2, "Z"}},
     2,
     2},
    {"autowrap off overwrites the last column",
     CSI + "?7l" + rep(80, 'a') + "bc",
     {{1, rep(79, 'a') + "c"}},
     1,
     80},
    {"wrap on the bottom margin scrolls",
     "top" + CSI + "24;1H" + rep(80, 'a') + "b",
     {{23, rep(80, 'a')}, {24, "b"}},
     24,
     2},
    {"insert mode shifts the rest of the line",
     kPattern + CSI + "4h" + CSI + "1;5HX",
     {{1, kPattern.substr(0, 4) + "X" + kPattern.substr(4, 75)}},
     1,
     6},
    {"LF keeps the column", "ab\ncd", {{1, "ab"}, {2, "  cd"}}, 2, 5},
    {"NEL goes to the left margin", "ab" + ESC + "Ecd", {{1, "ab"}, {2, "cd"}}, 2, 3},
    {"BS stops at the left margin", "\bX" + std::string("ab\bY"), {{1, "XaY"}}, 1, 4},
    {"GR bytes are dropped",
     "a\xc3\xa9"
     "b",
     {{1, "ab"}},
     1,
     3},
    {"C1 bytes 0x80 and 0x81 are printed", "\x80\x81", {{1, "\x80\x81"}}, 1, 3},
    {"unsupported ESC sequence changes nothing", "a" + ESC + "(B" + ESC + "#3" + "b", {{1, "ab"}}, 1, 3},
    {"CAN aborts a sequence", CSI + "3\x18" + "A", {{1, "A"}}, 1, 2},

    // Cursor addressing and parameters.
    {"CUP row and column", CSI + "5;10H", {}, 5, 10},
    {"CUP with an empty first parameter", CSI + ";5H", {}, 1, 5},
    {"CUP clamps to the screen", CSI + "99;999H", {}, 24, 80},
    {"a parameter wraps modulo 2^32", CSI + "4294967298;5H", {}, 2, 5},
    {"parameters up to the cap are kept",
     CSI +
         [] {
             std::string s;
             for (int i = 0; i < 31; ++i)
                 s += "0;";
             return s;
         }() +
         "31mX",
     {{1, "X"}},
     1,
     2,
     "",
     {{1, 1, A(1, 0)}}},
    {"parameters past the cap are dropped",
     CSI +
         [] {
             std::string s;
             for (int i = 0; i < 32; ++i)
                 s += "0;";
             return s;
         }() +
         "31mX",
     {{1, "X"}},
     1,
     2,
     "",
     {{1, 1, A(7, 0)}}},
    {"CUP is relative to the scrolling region", CSI + "5;10r" + CSI + "2;3HX", {{6, "  X"}}, 6, 4},
    {"movement stops at the margins", CSI + "5;10r" + CSI + "3A" + CSI + "20B", {}, 10, 1},
    {"CNL at the bottom margin scrolls n lines",
     CSI + "1;1Ha" + CSI + "2;1Hb" + CSI + "3;1Hc" + CSI + "4;1Hd" + CSI + "23;5H" + CSI + "3E",
     {{1, "d"}},
     24,
     1},
    {"CPL", CSI + "10;5H" + CSI + "3F", {}, 7, 1},

    // Scrolling.
    {"LF on the bottom of a region scrolls only the region",
     numberedRows(12) + CSI + "5;10r" + CSI + "10;1H\n",
     {{1, "r1"},
      {2, "r2"},
      {3, "r3"},
      {4, "r4"},
      {5, "r6"},
      {6, "r7"},
      {7, "r8"},
      {8, "r9"},
      {9, "r10"},
      {11, "r11"},
      {12, "r12"}},
     10,
     1},
    {"RI on the top scrolls down", "a" + CSI + "H" + ESC + "Mb", {{1, "b"}, {2, "a"}}, 1, 2},
    {"SU", "a\r\nb" + CSI + "S", {{1, "b"}}, 2, 2},
    {"SD", "a" + CSI + "2T", {{3, "a"}}, 1, 2},
    {"SL", "abc" + CSI + " @", {{1, "bc"}}, 1, 4},
    {"SR", "abc" + CSI + "2 A", {{1, "  abc"}}, 1, 4},
    {"DECBI on the left margin scrolls right", "abc" + CSI + "1;1H" + ESC + "6", {{1, " abc"}}, 1, 1},
    {"DECSLRM keeps text inside the margins",
     CSI + "10;20s" + "abcdefghijklmn",
     {{1, rep(9, ' ') + "abcdefghijk"}, {2, rep(9, ' ') + "lmn"}},
     2,
     13},

    // Erasing and editing.
    {"ED 2 keeps the cursor", "abc" + CSI + "2;5H" + CSI + "2J", {}, 2, 5},
    {"ED 0", "aaaaa\r\nbbbbb\r\nccccc" + CSI + "2;3H" + CSI + "J", {{1, "aaaaa"}, {2, "bb"}}, 2, 3},
    {"ED 1", "aaaaa\r\nbbbbb\r\nccccc" + CSI + "2;3H" + CSI + "1J", {{2, "   bb"}, {3, "ccccc"}}, 2, 3},
    {"ED 3 fails and changes nothing", "abc" + CSI + "3J", {{1, "abc"}}, 1, 4},
    {"EL 0", "abcdef" + CSI + "1;3H" + CSI + "K", {{1, "ab"}}, 1, 3},
    {"EL 1", "abcdef" + CSI + "1;3H" + CSI + "1K", {{1, "   def"}}, 1, 3},
    {"EL 2", "abcdef" + CSI + "1;3H" + CSI + "2K", {}, 1, 3},
    {"ECH", "abcdef" + CSI + "1;2H" + CSI + "3X", {{1, "a   ef"}}, 1, 2},
    {"ICH", "abcdef" + CSI + "1;2H" + CSI + "2@", {{1, "a  bcdef"}}, 1, 2},
    {"DCH", "abcdef" + CSI + "1;2H" + CSI + "2P", {{1, "adef"}}, 1, 2},
    {"IL", "1\r\n2\r\n3" + CSI + "2;1H" + CSI + "L", {{1, "1"}, {3, "2"}, {4, "3"}}, 2, 1},
    {"DL", "1\r\n2\r\n3" + CSI + "2;1H" + CSI + "M", {{1, "1"}, {2, "3"}}, 2, 1},
    {"selective erase keeps protected cells",
     CSI + "1\"qAB" + CSI + "0\"qCD" + CSI + "?2K",
     {{1, "AB"}},
     1,
     5},
    {"plain erase ignores protection", CSI + "1\"qAB" + CSI + "2K", {}, 1, 3},
    {"DECERA", "abc\r\ndef" + CSI + "1;2;2;2$z", {{1, "a c"}, {2, "d f"}}, 2, 4},
    {"DECFRA fills with a byte", CSI + "88;1;1;2;3$x", {{1, "XXX"}, {2, "XXX"}}, 1, 1},
    {"DECFRA with byte 31 changes nothing", CSI + "31;1;1;2;3$x", {}, 1, 1},
    {"DECCRA copies a rectangle",
     "ab\r\ncd" + CSI + "1;1;2;2;1;3;5;1$v",
     {{1, "ab"}, {2, "cd"}, {3, "    ab"}, {4, "    cd"}},
     2,
     3},
    {"DECCRA overlapping to the right keeps the source",
     "abcdef" + CSI + "1;1;1;4;1;1;3;1$v",
     {{1, "ababcd"}},
     1,
     7},
    {"DECCRA overlapping downwards keeps the source",
     "1\r\n2\r\n3" + CSI + "1;1;3;1;1;2;1;1$v",
     {{1, "1"}, {2, "1"}, {3, "2"}, {4, "3"}},
     3,
     2},
    {"DECSERA keeps protected cells", CSI + "1\"qAB" + CSI + "0\"qCD" + CSI + "1;1;1;4${", {{1, "AB"}}, 1, 5},
    {"DECALN fills the region", CSI + "2;3r" + ESC + "#8", {{2, rep(80, 'E')}, {3, rep(80, 'E')}}, 2, 1},

    // Tabs.
    {"HT to the next stop", "\tX", {{1, rep(8, ' ') + "X"}}, 1, 10},
    {"TBC 3 then HT goes to the right margin", CSI + "3g\tX", {{1, rep(79, ' ') + "X"}}, 1, 80},
    {"HTS sets a stop", CSI + "1;4H" + ESC + "H\r\tX", {{1, "   X"}}, 1, 5},
    {"TBC 0 clears one stop", CSI + "1;9H" + CSI + "0g\r\tX", {{1, rep(16, ' ') + "X"}}, 1, 18},
    {"CBT", CSI + "1;20H" + CSI + "2ZX", {{1, rep(8, ' ') + "X"}}, 1, 10},

    // Attributes.
    {"SGR 1;31 is bright red", CSI + "1;31mX", {{1, "X"}}, 1, 2, "", {{1, 1, A(9, 0, kBold)}}},
    {"SGR 31;1 is dark red", CSI + "31;1mX", {{1, "X"}}, 1, 2, "", {{1, 1, A(1, 0, kBold)}}},
    {"SGR 44 with bold is bright blue", CSI + "1;44mX", {{1, "X"}}, 1, 2, "", {{1, 1, A(7, 12, kBold)}}},
    {"SGR 90 changes nothing", CSI + "90mX", {{1, "X"}}, 1, 2, "", {{1, 1, A(7, 0)}}},
    {"SGR without parameters resets",
     CSI + "1;4;5;7;8;31;42m" + CSI + "mX",
     {{1, "X"}},
     1,
     2,
     "",
     {{1, 1, A(7, 0)}}},
    {"SGR clears single flags",
     CSI + "1;4;7;33;45m" + CSI + "22;24;39;49mX",
     {{1, "X"}},
     1,
     2,
     "",
     {{1, 1, A(7, 0, kReverse)}}},
    {"8-bit CSI",
     "\x9b"
     "31mX",
     {{1, "X"}},
     1,
     2,
     "",
     {{1, 1, A(1, 0)}}},
    {"a colon makes the sequence ignored", CSI + "1:2mX", {{1, "X"}}, 1, 2, "", {{1, 1, A(7, 0)}}},
    {"DECSC and DECRC",
     CSI + "31m" + CSI + "5;5H" + ESC + "7" + CSI + "0m" + CSI + "1;1H" + ESC + "8X",
     {{5, "    X"}},
     5,
     6,
     "",
     {{5, 5, A(1, 0)}}},

    // Control strings.
    {"OSC runs past BEL up to ESC \\", ESC + "]0;title\x07more" + ESC + "\\A", {{1, "A"}}, 1, 2},
    {"OSC ends with 8-bit ST",
     ESC + "]0;t\x07x\x9c"
           "B",
     {{1, "B"}},
     1,
     2},
    {"DCS content is not printed", ESC + "P1$qm\x1b\\A", {{1, "A"}}, 1, 2},
    {"SOS/PM/APC content is not printed",
     ESC +
         "_app\x07"
         "data" +
         ESC + "\\A",
     {{1, "A"}},
     1,
     2},

    // Replies.
    {"DA", CSI + "c" + CSI + "0c", {}, 1, 1, "\x9b?1;21;22c\x9b?1;21;22c"},
    {"DA other than 0 and DA2 do not reply", CSI + "1c" + CSI + ">c", {}, 1, 1, ""},
    {"DSR 5",
     CSI + "5n",
     {},
     1,
     1,
     "\x9b"
     "0n"},
    {"DSR 6 is relative to the margins",
     CSI + "5;24r" + CSI + "6;3H" + CSI + "6n",
     {},
     10,
     3,
     "\x9b"
     "6;3R"},
    {"DSR 0 to 4 and above 6 do not reply", CSI + "4n" + CSI + "7n", {}, 1, 1, ""},

    // Size.
    {"DECCOLM set gives 132 blank columns", "abc" + CSI + "?3h", {}, 1, 1, "", {}, 132},
    {"DECCOLM to the current width changes nothing", "abc" + CSI + "?3l", {{1, "abc"}}, 1, 4},
    {"RIS after DECCOLM returns to 80 columns", CSI + "?3h" + CSI + "5;5Hx" + ESC + "c", {}, 1, 1},
    {"DECCOLM with a scrolling region keeps 24 rows and resets the margins",
     CSI + "5;10r" + CSI + "?3h" + CSI + "30;1Hx",
     {{24, "x"}},
     24,
     2,
     "",
     {},
     132},
    {"printing at 132 columns",
     CSI + "?3h" + rep(132, 'w') + "z",
     {{1, rep(132, 'w')}, {2, "z"}},
     2,
     2,
     "",
     {},
     132},
};

void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }

class TerminalSequence : public testing::TestWithParam<SequenceCase> {};

void expectScreen(const Terminal& t, const SequenceCase& c, const char* how) {
    SCOPED_TRACE(how);
    const ScreenState& s = t.screen();
    ASSERT_EQ(s.width(true), c.width);
    ASSERT_EQ(s.height(true), 24u);
    for (uint32_t r = 1; r <= 24; ++r) {
        auto it = c.rows.find(r);
        EXPECT_EQ(rowText(t, r), it == c.rows.end() ? "" : it->second) << "row " << r;
    }
    EXPECT_EQ(s.row(true), c.row);
    EXPECT_EQ(s.col(true), c.col);
    EXPECT_EQ(std::string(t.outputQueue().begin(), t.outputQueue().end()), c.replies);
    for (const Cell& cell : c.cells)
        EXPECT_EQ(s.attr(cell.row, cell.col, true), cell.attrs) << "cell " << cell.row << "," << cell.col;
}

TEST_P(TerminalSequence, WholeAndByteByByte) {
    const SequenceCase& c = GetParam();
    Terminal whole;
    test::feed(whole, c.input);
    expectScreen(whole, c, "one write");

    Terminal single;
    for (char ch : c.input)
        single.write(uint8_t(ch));
    expectScreen(single, c, "byte by byte");
}

INSTANTIATE_TEST_SUITE_P(Cases, TerminalSequence, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SequenceCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(uint8_t(*p)) ? *p : '_';
                             return name;
                         });

} // namespace
} // namespace terminal
