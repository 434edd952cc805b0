#include "AppTestLog.h"

#include "app/ZocGlobals.h"
#include "app/ZocLog.h"
#include "app/ZocSettings.h"
#include "app/ZocUtils.h"
#include "app/ZocVersion.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

using Str = ZocUtils::String;
using Os = ZocUtils::Os;

TEST(ZocUtilsString, CombinePath) {
    struct Case {
        const char *folder, *name, *expected;
    };
    for (const Case& c : {Case{"a/", "b", "a/b"}, Case{"a", "/b", "a/b"}, Case{"a", "b", "a/b"},
                          Case{"a/", "/b", "a//b"}, Case{"", "b", "/b"}})
        EXPECT_EQ(Str::CombinePath(c.folder, c.name), c.expected) << c.folder << " + " << c.name;
}

TEST(ZocUtilsString, GetLastBracedString) {
    struct Case {
        const char *text, *expected;
    };
    for (const Case& c : {Case{"Tovi (ab12)", "ab12"}, Case{"(x)", ""}, Case{"Tovi (x", ""},
                          Case{"USB (1) Tovi (ab12) cam", "ab12"}, Case{"a(b(c)d)", "c"}, Case{"a()", ""}})
        EXPECT_EQ(Str::GetLastBracedString(c.text), c.expected) << c.text;
}

TEST(ZocUtilsString, SmallHelpers) {
    EXPECT_TRUE(Str::BeginsWith("Tovi 2", "Tovi"));
    EXPECT_FALSE(Str::BeginsWith("To", "Tovi"));
    EXPECT_TRUE(Str::Contains("abc", ""));
    EXPECT_FALSE(Str::Contains("", "a"));
    EXPECT_EQ(Str::AnsiToUtf16("A\xE9\xFF"), (std::u16string{u'A', char16_t(0xE9), char16_t(0xFF)}));
    std::string stamp = Str::GetCompactDateTimeString();
    ASSERT_EQ(stamp.size(), 15u) << stamp;
    for (size_t i = 0; i < stamp.size(); ++i)
        EXPECT_TRUE(i == 8 ? stamp[i] == '_' : std::isdigit(static_cast<unsigned char>(stamp[i]))) << stamp;
}

TEST(ZocUtilsOs, KeyboardLayoutNames) {
    AppTestLog::Folder();
    struct Case {
        const char* name;
        Os::KeyboardLayout layout;
    };
    for (const Case& c :
         {Case{"us", Os::US}, Case{"us(intl)", Os::US}, Case{"gb", Os::British},
          Case{"de(nodeadkeys)", Os::German}, Case{"fr", Os::French}, Case{"fr(bepo)", Os::French}})
        EXPECT_EQ(Os::KeyboardLayoutFromName(c.name), c.layout) << c.name;

    AppTestLog log;
    EXPECT_EQ(Os::KeyboardLayoutFromName("ch(fr)"), Os::Unknown);
    EXPECT_EQ(Os::KeyboardLayoutFromName(""), Os::Unknown);
    EXPECT_TRUE(log.Contains("[IFO] Keyboard: Unsupported keyboard layout: ch(fr)\n"));
    EXPECT_TRUE(log.Contains("[ERR] Keyboard: Failed to get the current keyboard layout input source.\n"));
}

TEST(ZocUtilsOs, ProgramFolderAndLibraryPath) {
    std::string folder = Os::GetCurrentExeFolder();
    EXPECT_NE(folder.find("/tests/app"), std::string::npos) << folder;
    EXPECT_EQ(Os::GetLibraryPath("zotavrecdr"), folder + "/libzotavrecdr.so");
    EXPECT_FALSE(Os::GetCPUArchitecture().empty());
    EXPECT_NE(Os::GetCPUArchitecture(), "Unknown");
}

TEST(ZocUtils, SettingsDerivedAnswers) {
    ZocSettings& s = ZocSettings::Instance();
    struct Case {
        uint32_t baud;
        int expected;
    };
    for (const Case& c : {Case{1500000, 1500}, Case{921600, 2000}, Case{2000000, 1000}}) {
        s.device.comm.baudRate = c.baud;
        EXPECT_EQ(ZocUtils::GetDesiredCommWaitTimeout(1000), c.expected) << c.baud;
    }
    s.device.comm.baudRate = 1500000;
    EXPECT_EQ(ZocUtils::GetDesiredCommWaitTimeout(333), 499);

    s.toviConfig.features.enabledList = 0x1;
    EXPECT_FALSE(ZocUtils::IsUsbCdcEnabledOnHost());
    s.toviConfig.features.enabledList = 0x2;
    EXPECT_TRUE(ZocUtils::IsUsbCdcEnabledOnHost());
    ZocGlobals::toviInfo.features = 0x2;
    EXPECT_TRUE(ZocUtils::IsUsbCdcEnabledOnTovi());
    ZocGlobals::toviInfo.features = 0x5;
    EXPECT_FALSE(ZocUtils::IsUsbCdcEnabledOnTovi());
    ZocGlobals::toviInfo = ZoMsg::Body::ToviInfo{};
    ZocSettings::ResetForTesting();
}

TEST(ZocUtils, RefreshRateCounterReportsEveryInterval) {
    AppTestLog::Folder();
    ZocLog::System().SetLevel(ZotLogger::Level::Debug);
    AppTestLog log;
    // Checks every 5th call (4 + 1) once at least 1 s passed since the last report.
    ZocUtils::RefreshRateCounter counter("Video", 4, 1);
    uint64_t start = 1000000;
    counter.OnRefresh(start); // the first check runs at the fifth call
    for (int i = 1; i <= 60; ++i)
        counter.OnRefresh(start + uint64_t(i) * 1000 / 30);
    ZocLog::System().SetLevel(ZotLogger::Level::Info);
    std::string text = log.Since();
    // 35 frames in 1133 ms at the first check that is at least 1 s late.
    EXPECT_NE(text.find("[DBG] System: Video refresh rate: 30.9\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("refresh rate", text.find("refresh rate") + 1), std::string::npos) << text;
}

TEST(ZocVersion, Texts) {
    struct Case {
        ZocVersion version;
        int major, minor;
        const char* text;
    };
    for (const Case& c : {Case{ZocVersion('1', 'f'), 1, 15, "1.15"},
                          Case{ZocVersion('Z', '?'), 35, 0, "35.0"}, Case{ZocVersion('0', '0'), 0, 0, "0.0"},
                          Case{ZocVersion(0, 0), 0, 0, ""}, Case{ZocVersion(0, 0, 3), 0, 0, ""},
                          Case{ZocVersion(1, 23), 1, 23, "1.23"}, Case{ZocVersion(0, 9, 1), 0, 9, "0.9.1"}}) {
        EXPECT_EQ(c.version.major, c.major) << c.text;
        EXPECT_EQ(c.version.minor, c.minor) << c.text;
        EXPECT_STREQ(c.version.GetText(), c.text);
    }
    EXPECT_STREQ(ZocVersion::AppVersion.text, "1.2.0");
}

TEST(ZocVersion, IsFirmwareLessThan) {
    struct Case {
        int major, minor;
        bool less;
    };
    for (const Case& c : {Case{1, 23, false}, Case{2, 0, false}, Case{1, 22, true}, Case{0, 99, true}}) {
        ZocGlobals::toviInfo.firmwareVersionMajor = uint16_t(c.major);
        ZocGlobals::toviInfo.firmwareVersionMinor = uint16_t(c.minor);
        EXPECT_EQ(ZocVersion::IsFirmwareLessThan(1, 23), c.less) << c.major << "." << c.minor;
    }
    ZocGlobals::toviInfo = ZoMsg::Body::ToviInfo{};
    EXPECT_TRUE(ZocVersion::IsFirmwareLessThan(0, 1));
    EXPECT_FALSE(ZocVersion::IsFirmwareLessThan(0, 0));
}

} // namespace
