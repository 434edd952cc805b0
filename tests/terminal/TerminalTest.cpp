// The emulator object: reset and title, modes, the reply queue, the bounds on
// untrusted input, and what goes to the "Terminal" log.
#include "TerminalTestUtil.h"

#include <zotbase/ZotBase.h>

#include <gtest/gtest.h>

#include <vector>

namespace terminal {
namespace {

using test::feed;
using test::rowText;

const std::string ESC = "\x1b";
const std::string CSI = "\x1b[";

TEST(Terminal, ResetStateTitleAndModes) {
    Terminal t;
    EXPECT_EQ(t.title(), "Terminal###Terminal");
    EXPECT_TRUE(t.decMode(7));
    EXPECT_TRUE(t.decMode(8));
    EXPECT_TRUE(t.decMode(25));
    EXPECT_FALSE(t.decMode(5));
    EXPECT_FALSE(t.ansiMode(4));

    t.title("build box");
    EXPECT_EQ(t.title(), "build box###Terminal");
    feed(t, ESC + "]0;other title" + ESC + "\\"); // OSC does not set the title
    EXPECT_EQ(t.title(), "build box###Terminal");

    feed(t, CSI + "4h" + CSI + "?25;5l" + CSI + "?1000h" + CSI + "260h");
    EXPECT_TRUE(t.ansiMode(4));
    EXPECT_FALSE(t.decMode(25));
    EXPECT_TRUE(t.decMode(1000));
    EXPECT_TRUE(t.ansiMode(260)); // ANSI modes are keyed by the low 8 bits

    // RIS empties both mode maps, then turns autowrap, autorepeat and the cursor on.
    feed(t, CSI + "31mab" + ESC + "c");
    EXPECT_FALSE(t.ansiMode(4));
    EXPECT_FALSE(t.decMode(1000));
    EXPECT_TRUE(t.decMode(25));
    EXPECT_EQ(t.screen().attributes(), Terminal::defaultAttributes());
    EXPECT_EQ(rowText(t, 1), "");
    EXPECT_EQ(t.title(), "build box###Terminal"); // RIS leaves the title, reset() does not
    t.reset();
    EXPECT_EQ(t.title(), "Terminal###Terminal");
}

TEST(Terminal, ZeroTerminatedWrite) {
    Terminal t;
    const char text[] = "abc\0def";
    t.write(reinterpret_cast<const uint8_t*>(text), -1);
    EXPECT_EQ(rowText(t, 1), "abc");
}

TEST(Terminal, ReadMovesRepliesFromTheFront) {
    Terminal t;
    feed(t, CSI + "5n" + CSI + "c");
    ASSERT_EQ(t.outputQueue().size(), 13u);
    uint8_t buffer[4] = {};
    EXPECT_EQ(t.read(buffer, 2), 2u);
    EXPECT_EQ(buffer[0], 0x9B);
    EXPECT_EQ(buffer[1], '0');
    EXPECT_EQ(t.outputQueue().size(), 11u);
    EXPECT_EQ(t.outputQueue().front(), 'n');
    std::vector<uint8_t> rest(64);
    EXPECT_EQ(t.read(rest.data(), rest.size()), 11u);
    EXPECT_EQ(t.read(rest.data(), rest.size()), 0u);
}

TEST(Terminal, ReplyQueueIsBoundedWhenNobodyReads) {
    Terminal t;
    std::string flood;
    for (int i = 0; i < 40000; ++i)
        flood += CSI + "5n";
    feed(t, flood);
    const size_t size = t.outputQueue().size();
    EXPECT_LE(size, Terminal::kMaxOutput);
    EXPECT_GT(size, Terminal::kMaxOutput - 3);
    EXPECT_EQ(size % 3, 0u); // replies are kept whole
    uint8_t buffer[300];
    t.read(buffer, sizeof(buffer));
    feed(t, CSI + "5n");
    EXPECT_EQ(t.outputQueue().size(), size - 300 + 3); // room again once the host reads
}

TEST(Terminal, CollectionsStayBounded) {
    Terminal t;
    // Megabytes of OSC and DCS content, hundreds of parameters, endless intermediates.
    feed(t, ESC + "]" + std::string(4 << 20, 'x'));
    EXPECT_EQ(t.parseState().mString.size(), ParseState::kMaxString);
    feed(t, ESC + "\\");
    feed(t, ESC + "P" + std::string(1 << 20, 'q'));
    EXPECT_EQ(t.parseState().mString.size(), ParseState::kMaxString);
    feed(t, ESC + "\\");
    std::string params = CSI;
    for (int i = 0; i < 100000; ++i)
        params += "123;";
    feed(t, params);
    EXPECT_EQ(t.parseState().mParams.size(), ParseState::kMaxParams);
    feed(t, "m");
    feed(t, ESC + std::string(100000, '('));
    EXPECT_EQ(t.parseState().mIntermediates.size(), ParseState::kMaxIntermediates);
    feed(t, "B" + CSI + "Hok");
    EXPECT_EQ(rowText(t, 1), "ok");
    EXPECT_EQ(t.parseState().mState, 0);
}

TEST(Terminal, ResizeKeepsMarginsAndCursorInside) {
    Terminal t;
    feed(t, CSI + "?3h" + CSI + "5;20r" + CSI + "100;132s" + CSI + "20;132H");
    t.resize(40, 10);
    const ScreenState& s = t.screen();
    EXPECT_EQ(s.width(true), 40u);
    EXPECT_EQ(s.height(true), 10u);
    EXPECT_LE(s.bottom(), 10u);
    EXPECT_LE(s.right(), 40u);
    EXPECT_LT(s.left(), s.right());
    EXPECT_GE(s.row(true), s.top());
    EXPECT_LE(s.row(true), s.bottom());
    EXPECT_GE(s.col(true), s.left());
    EXPECT_LE(s.col(true), s.right());
    feed(t, std::string(500, 'x') + CSI + "3L" + CSI + "2P\n\n\n");

    t.resize(0, 0);
    EXPECT_EQ(s.width(true), ScreenState::kMinColumns);
    EXPECT_EQ(s.height(true), ScreenState::kMinRows);
    feed(t, "abc\r\n" + CSI + "?3l");
    t.resize(100000, 100000);
    EXPECT_EQ(s.width(true), ScreenState::kMaxColumns);
    EXPECT_EQ(s.height(true), ScreenState::kMaxRows);
}

TEST(Terminal, RestoredCursorStaysInsideNewMargins) {
    Terminal t;
    feed(t, CSI + "20;70H" + ESC + "7" + CSI + "1;10r" + CSI + "5;30s" + ESC + "8X");
    EXPECT_EQ(t.screen().row(true), 10u);
    EXPECT_EQ(rowText(t, 10), std::string(29, ' ') + "X");
}

// Log lines written while `input` is fed, with the "Terminal" logger at `level`.
std::string logOf(const std::string& input, ZotLogger::Level level = ZotLogger::Level::Info) {
    ZotLogManager::Instance().Initialize(ZotLogManager::Console, 0, nullptr, nullptr, nullptr, 0);
    Terminal t;
    ZotLogManager::Instance().SetLevel("Terminal", level);
    testing::internal::CaptureStdout();
    feed(t, input);
    std::string out = testing::internal::GetCapturedStdout();
    ZotLogManager::Instance().SetLevel("Terminal", ZotLogger::Level::Fatal); // quiet for other tests
    return out;
}

struct LogCase {
    std::string input;
    bool parseLine;          // the sequence reports failure
    std::string expect = {}; // a text that must appear in the log
};

TEST(Terminal, FailuresAreReportedInTheLog) {
    const LogCase cases[] = {
        {CSI + "?25l", false},
        {CSI + "?1;25h", true}, // mode 1 fails when set, so the whole sequence fails
        {CSI + "?1l", false},
        {CSI + "?8l", true},
        {CSI + "4h" + CSI + "20l", false},
        {CSI + "20h", true},
        {CSI + "1:2m", false}, // CSI ignore: no line at all
        {CSI + "90m", true},
        {CSI + "31;1m", false},
        {"\x07", true, "BEL"},
        {ESC + "7", true, "DECSC"},
        {ESC + "]0;title\x07" + ESC + "\\", true, "OSC[0;title]"},
        {ESC + "P1$qm" + ESC + "\\", true, "DCS[m]"},
        {CSI + "31;1;1;2;2$x", false}, // DECFRA with a control byte changes nothing but succeeds
        {CSI + "5 C", true, "GSS(5)"},
        {CSI + "2;3 F", true, "JFY(3)"},
        {CSI + ">c", true, "DA2()"},
        {CSI + "3g" + CSI + "5g", true},
        {CSI + "7n", true},
        {"\x1b(B", true, "PARSE: state=2 c=0x42(B) int=[(] str=[] #p=0"},
        {"\xc3\xa9", false},
    };
    for (const LogCase& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.input));
        std::string log = logOf(c.input);
        EXPECT_EQ(log.find("PARSE:") != std::string::npos, c.parseLine) << log;
        if (!c.expect.empty()) {
            EXPECT_NE(log.find(c.expect), std::string::npos) << log;
        }
    }
}

TEST(Terminal, DebugLinesOnlyWhenEnabled) {
    EXPECT_EQ(logOf("A" + CSI + "5;10H"), "");
    std::string log = logOf("A" + CSI + "5;10H" + ESC + "Px" + ESC + "\\", ZotLogger::Level::Debug);
    EXPECT_NE(log.find("write(0x41)"), std::string::npos);
    EXPECT_NE(log.find("CUP(5,10)"), std::string::npos);
    EXPECT_NE(log.find("p_hook"), std::string::npos);
    EXPECT_NE(log.find("p_unhook str=[]"), std::string::npos);
}

} // namespace
} // namespace terminal
