// Recorded real-world output (a shell session, full-screen programs) against
// the screen a reference terminal showed for the same bytes. Each
// streams/NAME.bin has a streams/NAME.screen in zt-termdump's format: 24 rows
// with trailing blanks removed, then "cursor ROW COL". See streams/README.md.
#include "TerminalTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace terminal {
namespace {

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::filesystem::path streamsFolder() {
    const char* root = std::getenv("ZT_SOURCE_DIR");
    return std::filesystem::path(root ? root : ".") / "tests" / "terminal" / "streams";
}

TEST(TerminalStream, RecordedStreamsGiveTheReferenceScreen) {
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(streamsFolder())) {
        if (entry.path().extension() != ".bin")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        std::filesystem::path expected = entry.path();
        expected.replace_extension(".screen");
        ASSERT_TRUE(std::filesystem::exists(expected));
        const std::string bytes = readFile(entry.path());

        Terminal whole;
        test::feed(whole, bytes);
        EXPECT_EQ(test::screenDump(whole), readFile(expected));

        // The same stream in the small, ragged pieces a serial link delivers.
        Terminal pieces;
        for (size_t i = 0; i < bytes.size(); i += 1 + i % 7)
            test::feed(pieces, bytes.substr(i, 1 + i % 7));
        EXPECT_EQ(test::screenDump(pieces), test::screenDump(whole));
        ++checked;
    }
    EXPECT_GE(checked, 3);
}

} // namespace
} // namespace terminal
