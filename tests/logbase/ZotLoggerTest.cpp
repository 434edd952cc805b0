#include <zotbase/ZotBase.h>

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Lines written through the console writer while `body` runs.
std::vector<std::string> ConsoleLines(const std::function<void()>& body) {
    EXPECT_TRUE(ZotLogManager::Instance().Initialize(ZotLogManager::Console, 0, "", "", "", 0));
    ::testing::internal::CaptureStdout();
    body();
    std::string text = ::testing::internal::GetCapturedStdout();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start + 1));
    EXPECT_EQ(start, text.size()) << "text after the last newline";
    return lines;
}

// Splits "YYYY/MM/DD hh:mm:ss.uuuuuu [TAG] Name: message" into tag, name and
// message; false when the line does not have that shape.
bool SplitLine(const std::string& line, std::string& tag, std::string& name, std::string& message) {
    const std::string shape = "dddd/dd/dd dd:dd:dd.dddddd [";
    if (line.size() < shape.size() + 5)
        return false;
    for (size_t i = 0; i < shape.size(); ++i)
        if (shape[i] == 'd' ? !std::isdigit(static_cast<unsigned char>(line[i])) : line[i] != shape[i])
            return false;
    tag = line.substr(shape.size(), 3);
    if (line.compare(shape.size() + 3, 2, "] ") != 0)
        return false;
    size_t nameStart = shape.size() + 5;
    size_t colon = line.find(": ", nameStart);
    if (colon == std::string::npos)
        return false;
    name = line.substr(nameStart, colon - nameStart);
    message = line.substr(colon + 2);
    return true;
}

TEST(ZotLogger, LineFormatAndLevelFilter) {
    ZotLogger logger("Filter", ZotLogger::Level::Info);
    auto lines = ConsoleLines([&] {
        logger.Trace("t %d", 0);
        logger.Debug("d %d", 1);
        logger.Info("i %d", 2);
        logger.Warn("w %d", 3);
        logger.Error("e %d", 4);
        logger.Fatal("f %d", 5);
        logger.Log(ZotLogger::Level::Debug, "dropped");
        logger.Log(ZotLogger::Level::Warn, "via Log %s", "x");
        logger.Info("%s", ""); // nothing to say: no line
    });
    const char* expected[][2] = {
        {"IFO", "i 2"}, {"WRN", "w 3"}, {"ERR", "e 4"}, {"FAT", "f 5"}, {"WRN", "via Log x"}};
    ASSERT_EQ(lines.size(), std::size(expected));
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string tag, name, message;
        ASSERT_TRUE(SplitLine(lines[i], tag, name, message)) << lines[i];
        EXPECT_EQ(tag, expected[i][0]);
        EXPECT_EQ(name, "Filter");
        EXPECT_EQ(message, std::string(expected[i][1]) + "\n");
    }

    // A level change applies to the next line.
    logger.SetLevel(ZotLogger::Level::Trace);
    EXPECT_EQ(ConsoleLines([&] { logger.Trace("now"); }).size(), 1u);
    logger.SetLevel(ZotLogger::Level(6));
    EXPECT_EQ(ConsoleLines([&] { logger.Fatal("above every level"); }).size(), 0u);
}

TEST(ZotLogger, LongLinesAreCutTo4096Bytes) {
    ZotLogger logger("Cut", ZotLogger::Level::Info);
    char prefix[256];
    size_t prefixLength = size_t(logger.AddLeadingText(prefix, sizeof(prefix), ZotLogger::Level::Info));
    ASSERT_GT(prefixLength, 30u);
    // Message lengths around the limit: the line is the message plus its
    // newline, or cut so that with the newline it is 4096 bytes.
    for (size_t message :
         {size_t(10), 4094 - prefixLength, 4095 - prefixLength, 4096 - prefixLength, size_t(9000)}) {
        SCOPED_TRACE(message);
        std::string text(message, 'm');
        text.back() = 'Z';
        auto lines = ConsoleLines([&] { logger.Info("%s", text.c_str()); });
        ASSERT_EQ(lines.size(), 1u);
        size_t expected = std::min(prefixLength + message + 1, size_t(4096));
        EXPECT_EQ(lines[0].size(), expected);
        EXPECT_EQ(lines[0].back(), '\n');
        bool cut = prefixLength + message > 4095;
        EXPECT_EQ(lines[0][lines[0].size() - 2] == 'Z', !cut);
    }
}

TEST(ZotLogger, NameIsCutTo32Characters) {
    ZotLogger logger("0123456789012345678901234567890123456789", ZotLogger::Level::Info);
    EXPECT_EQ(std::string(logger.GetName()), "01234567890123456789012345678901");
}

TEST(ZotLogManager, GetLoggerFindsOrCreates) {
    ZotLogManager& manager = ZotLogManager::Instance();
    auto first = manager.GetLogger("Manager.A", ZotLogger::Level::Warn);
    auto again = manager.GetLogger("Manager.A", ZotLogger::Level::Trace);
    EXPECT_EQ(first, again);
    EXPECT_EQ(again->GetLevel(), ZotLogger::Level::Warn); // the second level is ignored
    EXPECT_TRUE(manager.SetLevel("Manager.A", ZotLogger::Level::Error));
    EXPECT_EQ(first->GetLevel(), ZotLogger::Level::Error);
    EXPECT_FALSE(manager.SetLevel("Manager.Missing", ZotLogger::Level::Error));
    EXPECT_EQ(manager.GetLogger()->GetName(), std::string());
    EXPECT_EQ(manager.GetLogger()->GetLevel(), ZotLogger::Level::Info);
}

} // namespace
