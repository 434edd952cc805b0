#include <zotbase/ZotBase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

class LogFolder {
public:
    LogFolder() {
        char pattern[] = "/tmp/zt-logbase-XXXXXX";
        mPath = mkdtemp(pattern);
    }
    ~LogFolder() {
        std::error_code error;
        fs::remove_all(mPath, error);
    }
    const std::string& Path() const { return mPath; }
    std::string File(const std::string& name) const { return mPath + "/" + name; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(mPath))
            names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::string mPath;
};

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// The text of a log file: its bytes without the zero bytes (the zero tail
// and the up to three zeros at the seam between two runs).
std::string TextOf(const std::string& path) {
    std::string text = ReadFile(path);
    text.erase(std::remove(text.begin(), text.end(), '\0'), text.end());
    return text;
}

bool Write(ZotFileLogWriter& writer, const std::string& line) {
    return writer.Write(line.data(), line.size());
}

TEST(ZotFileLogWriter, MapSizeFollowsMaxSize) {
    struct Case {
        uint64_t maxSize;
        uint64_t mapped;
    };
    for (const Case& c : {Case{0, 0x200000}, Case{1, 4096}, Case{5000, 8192}, Case{0x800000, 0x800000},
                          Case{9 * 1024 * 1024, 0x800000}}) {
        LogFolder folder;
        ZotFileLogWriter writer;
        ASSERT_TRUE(writer.Init(c.maxSize, folder.Path().c_str(), "L", "log", 0));
        EXPECT_EQ(writer.GetSize(), c.mapped) << c.maxSize;
        EXPECT_EQ(fs::file_size(folder.File("L.log")), c.mapped); // the extension gained its "."
        // A second Init keeps the first file.
        EXPECT_TRUE(writer.Init(4096, "/nonexistent", "X", ".log", 0));
        EXPECT_EQ(writer.GetSize(), c.mapped);
    }
}

TEST(ZotFileLogWriter, WriteLimits) {
    LogFolder folder;
    ZotFileLogWriter writer;
    EXPECT_FALSE(Write(writer, "not open\n"));
    EXPECT_FALSE(writer.Init(8192, "/nonexistent/folder", "L", ".log", 0));
    EXPECT_FALSE(Write(writer, "still not open\n"));
    ASSERT_TRUE(writer.Init(16384, folder.Path().c_str(), "L", ".log", 0));
    EXPECT_FALSE(writer.Write("x", 0));
    std::string big(5000, 'b');
    EXPECT_TRUE(Write(writer, big));
    EXPECT_EQ(TextOf(folder.File("L.log")), std::string(4096, 'b')); // one write is at most 4096 bytes
}

TEST(ZotFileLogWriter, ReopenContinuesAfterTheOldText) {
    LogFolder folder;
    const std::string path = folder.File("L.log");
    for (const char* line : {"first run\n", "second run, longer\n", "third\n"}) {
        ZotFileLogWriter writer;
        ASSERT_TRUE(writer.Init(8192, folder.Path().c_str(), "L", ".log", 10));
        EXPECT_TRUE(Write(writer, line));
    }
    EXPECT_EQ(TextOf(path), "first run\n\nsecond run, longer\n\nthird\n");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"L.log"});
}

TEST(ZotFileLogWriter, OpeningAFullFileArchivesItFirst) {
    LogFolder folder;
    const std::string full(8192, 'x');
    WriteFile(folder.File("L.log"), full);
    ZotFileLogWriter writer;
    ASSERT_TRUE(writer.Init(8192, folder.Path().c_str(), "L", ".log", 10));
    EXPECT_TRUE(Write(writer, "fresh\n"));
    auto names = folder.Names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "L.log");
    EXPECT_EQ(ReadFile(folder.File(names[1])), full); // the archive "L<seconds>.log"
    EXPECT_EQ(TextOf(folder.File("L.log")), "fresh\n");
}

TEST(ZotFileLogWriter, ArchivesOfOneSecondKeepDistinctNamesAndPurgeByAge) {
    LogFolder folder;
    ZotFileLogWriter writer;
    ASSERT_TRUE(writer.Init(4096, folder.Path().c_str(), "L", ".log", 4));
    std::vector<std::string> contents;
    for (int i = 0; i < 3; ++i) {
        contents.push_back(std::string(4096, char('a' + i)));
        ASSERT_TRUE(writer.RotateLog(reinterpret_cast<const uint8_t*>(contents.back().data()), 4096));
    }
    // Three archives (usually within one second) and the live file: none lost.
    auto names = folder.Names();
    ASSERT_EQ(names.size(), 4u);
    std::vector<std::string> archived;
    for (const auto& name : names)
        if (name != "L.log")
            archived.push_back(ReadFile(folder.File(name)));
    std::sort(archived.begin(), archived.end());
    EXPECT_EQ(archived, contents);

    // Oldest by seconds, then by the sequence after "_" (numerically).
    std::string oldest;
    EXPECT_TRUE(writer.FindOldestLog(
        {"L.log", "L1700000001.log", "L1700000000_10.log", "L1700000000_9.log", "Lnotes.log"}, oldest));
    EXPECT_EQ(oldest, "L1700000000_9.log");
    EXPECT_TRUE(writer.FindOldestLog({"L1700000000_1.log", "L1700000000.log"}, oldest));
    EXPECT_EQ(oldest, "L1700000000.log");
    EXPECT_FALSE(writer.FindOldestLog({"L.log"}, oldest));

    // A new archive continues after the highest number of its second, also
    // when lower ones were purged, so that it never sorts as the oldest.
    for (int attempt = 0; attempt < 3; ++attempt) {
        long long second = time(nullptr);
        std::string base = "L" + std::to_string(second);
        WriteFile(folder.File(base + "_5.log"), "x");
        ASSERT_TRUE(writer.RotateLog(reinterpret_cast<const uint8_t*>(contents[0].data()), 4096));
        if (time(nullptr) != second)
            continue; // the second changed under us: try again
        EXPECT_TRUE(fs::exists(folder.File(base + "_6.log")));
        break;
    }
    for (const auto& name : folder.Names())
        if (name != "L.log")
            fs::remove(folder.File(name));
    for (int i = 0; i < 3; ++i)
        WriteFile(folder.File("L" + std::to_string(2000 + i) + ".log"), "x");

    // A fifth file makes the purge delete the oldest archive only.
    WriteFile(folder.File("L1000.log"), "old");
    EXPECT_TRUE(writer.PurgeLogs());
    EXPECT_FALSE(fs::exists(folder.File("L1000.log")));
    EXPECT_EQ(folder.Names().size(), 4u);
    EXPECT_FALSE(writer.PurgeLogs()); // at the limit: nothing to do
}

// Four threads write numbered lines into a small file that rotates many
// times. Every line must come out whole, once; with a file limit, what
// survives must be the newest lines of every thread.
TEST(ZotFileLogWriter, ConcurrentWritersAcrossRotations) {
    constexpr int kThreads = 4;
    constexpr int kLines = 3000;
    for (uint64_t maxFiles : {uint64_t(100000), uint64_t(6)}) {
        SCOPED_TRACE(maxFiles);
        LogFolder folder;
        ZotFileLogWriter writer;
        ASSERT_TRUE(writer.Init(8192, folder.Path().c_str(), "L", ".log", maxFiles));
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&writer, t] {
                for (int i = 0; i < kLines; ++i) {
                    // Lengths vary so that rotations hit every alignment.
                    std::string line = "T" + std::to_string(t) + " L" + std::to_string(i) + " " +
                                       std::string(size_t(20 + (i * 7 + t) % 50), char('a' + t)) + "|\n";
                    ASSERT_TRUE(Write(writer, line));
                }
            });
        for (auto& thread : threads)
            thread.join();

        auto names = folder.Names();
        EXPECT_LE(names.size(), maxFiles);
        std::map<int, std::vector<int>> seen; // thread -> line numbers
        for (const auto& name : names) {
            std::istringstream text(TextOf(folder.File(name)));
            for (std::string line; std::getline(text, line);) {
                int t = -1, i = -1;
                char rest[128] = {};
                ASSERT_EQ(std::sscanf(line.c_str(), "T%d L%d %127s", &t, &i, rest), 3)
                    << name << ": " << line;
                std::string expected = std::string(size_t(20 + (i * 7 + t) % 50), char('a' + t)) + "|";
                ASSERT_EQ(rest, expected) << name << ": " << line;
                seen[t].push_back(i);
            }
        }
        // With the limit, a thread that finished early may have no lines left.
        if (maxFiles > 1000) {
            ASSERT_EQ(seen.size(), size_t(kThreads));
        }
        ASSERT_FALSE(seen.empty());
        for (auto& [t, numbers] : seen) {
            std::sort(numbers.begin(), numbers.end());
            EXPECT_EQ(std::adjacent_find(numbers.begin(), numbers.end()), numbers.end()) << "a line twice";
            // Complete from some line up to the thread's last one.
            EXPECT_EQ(numbers.back(), kLines - 1);
            EXPECT_EQ(numbers.back() - numbers.front() + 1, int(numbers.size()))
                << "lines missing, thread " << t;
            if (maxFiles > 1000) {
                EXPECT_EQ(numbers.front(), 0);
            }
        }
    }
}

} // namespace
