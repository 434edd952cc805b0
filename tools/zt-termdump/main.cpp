// zt-termdump: feeds a byte stream through the terminal emulator and prints
// the final screen. One line per row (trailing blanks removed), then
// "cursor ROW COL" (absolute, 1-based).
//   zt-termdump [--attrs] [--replies] [--log] [FILE]   (standard input without FILE)
//   --attrs    per row, the runs of equal attributes: "attrs ROW FIRST-LAST fg=RRGGBB bg=RRGGBB flags"
//   --replies  the output queue in hex: "replies 9b 30 6e"
//   --log      the emulator's log lines first (standard output)
#include "terminal/Terminal.h"

#include <zotbase/ZotBase.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

void usage() {
    std::fprintf(stderr, "usage: zt-termdump [--attrs] [--replies] [--log] [FILE]\n");
}

std::string flagNames(uint16_t flags) {
    static const struct {
        uint16_t flag;
        const char* name;
    } kNames[] = {{terminal::kBold, "bold"},         {terminal::kUnderline, "underline"},
                  {terminal::kBlink, "blink"},       {terminal::kReverse, "reverse"},
                  {terminal::kConcealed, "conceal"}, {terminal::kProtected, "protected"}};
    std::string text;
    for (const auto& n : kNames) {
        if (flags & n.flag) {
            if (!text.empty())
                text += ',';
            text += n.name;
        }
    }
    return text.empty() ? "-" : text;
}

// 0x00BBGGRR as RRGGBB.
std::string rgb(uint32_t colour) {
    char text[8];
    std::snprintf(text, sizeof(text), "%02x%02x%02x", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    bool attrs = false, replies = false, log = false;
    const char* path = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--attrs"))
            attrs = true;
        else if (!std::strcmp(argv[i], "--replies"))
            replies = true;
        else if (!std::strcmp(argv[i], "--log"))
            log = true;
        else if (!std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "--help")) {
            usage();
            return 0;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            usage();
            return 2;
        } else if (!path) {
            path = argv[i];
        } else {
            usage();
            return 2;
        }
    }

    // Without --log the log manager's file writer is never opened and the
    // emulator's lines are dropped; with it they go to the console writer and
    // so come before the screen.
    if (log)
        ZotLogManager::Instance().Initialize(ZotLogManager::Console, 0, nullptr, nullptr, nullptr, 0);

    FILE* in = stdin;
    if (path && std::strcmp(path, "-") != 0) {
        in = std::fopen(path, "rb");
        if (!in) {
            std::fprintf(stderr, "zt-termdump: cannot open %s: %s\n", path, std::strerror(errno));
            return 1;
        }
    }

    terminal::Terminal term;
    std::vector<uint8_t> chunk(64 * 1024);
    size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), in)) > 0)
        term.write(chunk.data(), ptrdiff_t(n));
    if (std::ferror(in)) {
        std::fprintf(stderr, "zt-termdump: read error: %s\n", std::strerror(errno));
        return 1;
    }
    if (in != stdin)
        std::fclose(in);

    const terminal::ScreenState& s = term.screen();
    const uint32_t width = s.width(true), height = s.height(true);
    std::string line;
    for (uint32_t r = 1; r <= height; ++r) {
        line.assign(reinterpret_cast<const char*>(s.bufp(r, 1, true)), width);
        line.erase(line.find_last_not_of(' ') + 1);
        std::printf("%s\n", line.c_str());
    }
    std::printf("cursor %u %u\n", s.row(true), s.col(true));

    if (attrs) {
        for (uint32_t r = 1; r <= height; ++r) {
            uint32_t c = 1;
            while (c <= width) {
                const uint64_t a = s.attr(r, c, true);
                uint32_t end = c;
                while (end < width && s.attr(r, end + 1, true) == a)
                    ++end;
                std::printf("attrs %u %u-%u fg=%s bg=%s %s\n", r, c, end,
                            rgb(terminal::foreground(a)).c_str(), rgb(terminal::background(a)).c_str(),
                            flagNames(terminal::miscAttributes(a)).c_str());
                c = end + 1;
            }
        }
    }
    if (replies) {
        std::printf("replies");
        for (uint8_t b : term.outputQueue())
            std::printf(" %02x", b);
        std::printf("\n");
    }
    return 0;
}
