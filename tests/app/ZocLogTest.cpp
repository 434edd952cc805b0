#include "AppTestLog.h"

#include "app/ZocLog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

namespace {

std::vector<uint8_t> ToviLogBody(uint16_t level, const std::string& text) {
    std::vector<uint8_t> body(2 + text.size());
    body[0] = uint8_t(level);
    body[1] = uint8_t(level >> 8);
    for (size_t i = 0; i < text.size(); ++i)
        body[2 + i] = uint8_t(text[i]);
    return body;
}

TEST(ZocLog, ToviLinesAreLoggedLiterally) {
    AppTestLog log;
    struct Case {
        std::vector<uint8_t> body;
        const char* line; // nullptr: nothing logged
    };
    std::vector<uint8_t> withNul = ToviLogBody(3, "up to here");
    withNul.push_back(0);
    withNul.push_back('x');
    const Case cases[] = {
        {ToviLogBody(2, "100% %s %n %d"), "[IFO] ToviDevice: 100% %s %n %d\n"},
        {ToviLogBody(4, "no terminating zero"), "[ERR] ToviDevice: no terminating zero\n"},
        {withNul, "[WRN] ToviDevice: up to here\n"},
        {ToviLogBody(9, "clamped"), "[FAT] ToviDevice: clamped\n"},
        {ToviLogBody(0x102, "high byte"), "[FAT] ToviDevice: high byte\n"},
        {ToviLogBody(1, "below the logger's level"), nullptr},
        {{2}, nullptr},
    };
    for (const Case& c : cases) {
        AppTestLog one;
        ZocLog::OnToviLogMessage(c.body.data(), c.body.size());
        std::string text = one.Since();
        if (c.line) {
            EXPECT_NE(text.find(c.line), std::string::npos) << c.line << "\n" << text;
            EXPECT_EQ(text.find('\n'), text.size() - 1) << text; // one line
        } else {
            EXPECT_EQ(text, "");
        }
    }
    ZocLog::OnToviLogMessage(nullptr, 10);
    EXPECT_EQ(log.Since().find("below"), std::string::npos);
}

TEST(ZocLog, ForEachLoggerOrderAndEarlyStop) {
    std::vector<std::string> names;
    ZocLog::ForEachLogger([&names](std::shared_ptr<ZotLogger> logger) {
        names.push_back(logger->GetName());
        return true;
    });
    EXPECT_EQ(names, (std::vector<std::string>{"Application", "System", "Audio", "Video", "CommPort",
                                               "Keyboard", "Mouse", "VCommPort", "UiNotification",
                                               "UiModalDialog", "UiPopupDialog", "ToviDevice"}));
    EXPECT_EQ(&ZocLog::CommPort(),
              ZotLogManager::Instance().GetLogger("CommPort", ZotLogger::Level::Trace).get());
    int calls = 0;
    ZocLog::ForEachLogger([&calls](std::shared_ptr<ZotLogger>) {
        ++calls;
        return false;
    });
    EXPECT_EQ(calls, 1);
}

TEST(ZocLog, LevelNames) {
    const char* expected[] = {"verbose", "debug", "info", "warn", "error", "fatal", "???", "???"};
    for (int level = 0; level < 8; ++level)
        EXPECT_STREQ(ZocLog::GetLevelName(ZotLogger::Level(level == 7 ? -1 : level)), expected[level])
            << level;
}

// Runs alone in its process under ctest; run by hand, later tests that read
// the test log switch back to the file themselves.
TEST(ZocLog, EmptyBaseNameLogsToStandardOutput) {
    TempFolder folder;
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(ZocLog::Initialize(folder.Path().c_str(), "", ".log"));
    ZocLog::Application().Info("to the console");
    EXPECT_TRUE(ZocLog::OpenConsoleLog());
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[IFO] Application: to the console\n"), std::string::npos) << out;
    EXPECT_NE(out.find("[IFO] Application: Switched to console log\n"), std::string::npos) << out;
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

} // namespace

namespace {

TEST(ZocLog, UnusableFolderFallsBackToStandardOutput) {
    if (AppTestLog::IsOpen())
        GTEST_SKIP() << "the file log of this process is already open";
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(ZocLog::Initialize("/nonexistent/folder", "ZorvaneTovi", ".log"));
    ZocLog::Video().Warn("still logged");
    std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("[IFO] Application: Switched to console log\n"), std::string::npos) << out;
    EXPECT_NE(out.find("[WRN] Video: still logged\n"), std::string::npos) << out;
}

} // namespace
