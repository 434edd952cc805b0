#include "AppTestLog.h"

#include "app/ZocLog.h"
#include "app/ZocSettings.h"

#include <gtest/gtest.h>
#include <imgui.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

using json = nlohmann::json;

namespace {

class ZocSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        AppTestLog::Folder();
        ZocSettings::ResetForTesting();
        ZocLog::ForEachLogger([this](std::shared_ptr<ZotLogger> logger) {
            mLevels.push_back(logger->GetLevel());
            return true;
        });
        // The user folders come from a user-dirs file of the test's own.
        setenv("XDG_CONFIG_HOME", mFolder.Path().c_str(), 1);
        setenv("HOME", "/home/tester", 1);
    }
    void TearDown() override { ResetAll(); }

    // Load-time defaults again, the loggers' levels included.
    void ResetAll() {
        size_t i = 0;
        ZocLog::ForEachLogger([this, &i](std::shared_ptr<ZotLogger> logger) {
            logger->SetLevel(mLevels[i++]);
            return true;
        });
        ZocSettings::ResetForTesting();
    }

    // Loads `text` as the settings file through Initialize.
    ZocSettings& Load(const std::string& text) {
        WriteTextFile(Path(), text);
        ZocSettings::Initialize(Path());
        return ZocSettings::Instance();
    }
    std::string Path() const { return mFolder.File("ZorvaneTovi.cfg"); }

    TempFolder mFolder;
    std::vector<ZotLogger::Level> mLevels;
};

// Gives every saved setting a value other than its default.
void ChangeEverything(ZocSettings& s) {
    s.general.mouseJiggle.mode = ZocSettings::General::MouseJiggle::Random;
    s.general.mouseJiggle.step = 17;
    s.general.ui.resizeFlickerMitigationDeferMs = 250;
    s.general.commPort.reconnectIfToviInfoTimeout = false;
    s.general.autoConnect = true;
    s.hidCapture.enabled = false;
    s.hidCapture.fastKeyboardCapture = true;
    s.hidCapture.fastKeyboardCaptureUi = true;
    s.hidCapture.textPasteMode = ZocSettings::HidCapture::DeviceAlways;
    s.hidCapture.mouseSamplingInterval = 3;
    s.hidCapture.mouseRateCheckInterval = 9;
    s.update.embed.promptedVersion = {1, 22, 1, 30};
    s.appearance.colorTheme = ZocSettings::Appearance::Light;
    s.appearance.fontScale10 = 14;
    s.appearance.mainWindow.toviNameInTitle = false;
    s.appearance.mainWindow.fitToVideoSize = true;
    s.appearance.mainWindow.x = -20;
    s.appearance.mainWindow.y = 40;
    s.appearance.mainWindow.width = 1600;
    s.appearance.mainWindow.height = 900;
    s.appearance.terminalWindow.x = 5;
    s.appearance.terminalWindow.y = 6;
    s.appearance.terminalWindow.width = 700;
    s.appearance.terminalWindow.height = 500;
    s.device.tovi.id = "ab12cd34ef";
    s.device.tovi.names = {{"ab12cd34ef", "Rack 3 \xE2\x80\x94 left"}, {"0001", "bench"}};
    s.device.audio.mute = true;
    s.device.audio.muteInRecording = true;
    s.device.comm.baudRate = 921600;
    s.device.comm.hardwareFlowControl = false;
    s.device.comm.toviTxFrameRateLastKnownGoodFactor = 4;
    s.device.video.frameWidth = 1280;
    s.device.video.frameHeight = 720;
    s.device.video.show5x4RatioResolution = true;
    s.device.video.syncTargetResolution = true;
    s.device.video.refreshRate = 30;
    s.device.video.enable4kInput = true;
    s.toviConfig.features.vCommMode = ZoConfig::VPortMode::UsbCdc;
    s.toviConfig.features.vTermMode = ZoConfig::VPortMode::SideUart;
    s.toviConfig.features.enabledList = 0x6;
    s.toviConfig.stateReportInterval = 500;
    s.toviConfig.forceKeyboardInLegacyMode = 1;
    s.atxControl.enabled = true;
    s.atxControl.resetButton = true;
    s.atxControl.hddLed = true;
    s.atxControl.buttonDurationMs = 250;
    s.logging.logToConsole = true;
    s.logging.popUpForCriticalError = false;
    s.path.picturesFolder = "/p";
    s.path.videosFolder = "/v";
    s.path.downloadsFolder = "/d";
    s.path.testFilePath = "/t/test.json";
    s.path.lastFirmwareFolder = "/fw";
    s.macro.showOnToolbar = false;
    s.macro.appendEnterKey = false;
    s.macro.macro = {"ls -l", "a\"b", "{Enter}", "\xC3\xA9t\xC3\xA9", "5"};
    s.toolbar.gpioButtonOnToolbar = false;
    s.toolbar.pasteButtonOnToolbar = false;
    s.toolbar.ctrlAltDelButtonOnToolbar = true;
    for (ZocSettings::Hotkey& hotkey : s.hotKeys) {
        hotkey.scanCode = 4 + int(hotkey.id);
        hotkey.ctrl = !hotkey.ctrl;
        hotkey.gui = true;
    }
    s.vDisk.forceFat32 = false;
    s.vDisk.lastHostFolder = "/share";
    s.gui = "[Window][Debug##Default]\nPos=60,60\nSize=400,400\nCollapsed=0\n\n";
    ZocLog::ForEachLogger([](std::shared_ptr<ZotLogger> logger) {
        logger->SetLevel(ZotLogger::Level::Warn);
        return true;
    });
}

// Every key of `changed` must hold a value different from `defaults`.
void ExpectEveryKeyChanged(const json& defaults, const json& changed) {
    for (auto& [section, keys] : changed["settings"].items()) {
        if (!keys.is_object()) {
            EXPECT_NE(keys, defaults["settings"][section]) << section;
            continue;
        }
        for (auto& [key, value] : keys.items()) {
            const json& section_ = defaults["settings"][section];
            if (section_.contains(key)) {
                EXPECT_NE(value, section_[key]) << section << "." << key;
            }
        }
    }
}

TEST_F(ZocSettingsTest, EveryKeyRoundTripsThroughTheFile) {
    ZocSettings& s = ZocSettings::Instance();
    json defaults = json::parse(s.SaveToText());
    ChangeEverything(s);
    std::string saved = s.SaveToText();
    ExpectEveryKeyChanged(defaults, json::parse(saved));

    ZocSettings::Initialize(Path());
    ZocSettings::Finalize();
    EXPECT_EQ(ReadTextFile(Path()), saved);

    // Back to defaults, then load what was saved.
    ResetAll();
    EXPECT_NE(ZocSettings::Instance().SaveToText(), saved);
    ZocSettings& loaded = Load(saved);
    EXPECT_EQ(loaded.SaveToText(), saved);
    EXPECT_EQ(loaded.device.tovi.names.at("ab12cd34ef"), "Rack 3 \xE2\x80\x94 left");
    EXPECT_EQ(loaded.hotKeys[0].id, ZocSettings::Hotkey::ReleaseCapture);
    EXPECT_FALSE(loaded.hotKeys[0].ctrl);
    EXPECT_TRUE(loaded.hotKeys[0].alt);
    EXPECT_EQ(loaded.toviConfig.features.vCommMode, ZoConfig::VPortMode::UsbCdc);
    EXPECT_EQ(ZocLog::Keyboard().GetLevel(), ZotLogger::Level::Warn);
}

TEST_F(ZocSettingsTest, FileLayoutIsSortedIndentedAndPacksHotkeys) {
    std::string text = ZocSettings::Instance().SaveToText();
    // 4-blank indentation, sections and keys in byte order.
    EXPECT_EQ(
        text.rfind("{\n    \"settings\": {\n        \"appearance\": {\n            \"colorTheme\": 1,\n", 0),
        0u)
        << text;
    json root = json::parse(text);
    std::vector<std::string> sections;
    for (auto& [name, value] : root["settings"].items())
        sections.push_back(name);
    EXPECT_EQ(sections, (std::vector<std::string>{"appearance", "atxControl", "device", "general", "gui",
                                                  "hidCapture", "hotKeys", "logging", "macro", "path",
                                                  "toolbar", "toviConfig", "update", "vDisk"}));
    // The names other versions of the program read: every key of every section.
    std::vector<std::string> keys;
    for (auto& [section, members] : root["settings"].items())
        if (members.is_object())
            for (auto& [key, value] : members.items())
                keys.push_back(section + "." + key);
    const std::vector<std::string> expected = {"appearance.colorTheme",
                                               "appearance.fontScale10",
                                               "appearance.mainWindow.fitToVideoSize",
                                               "appearance.mainWindow.height",
                                               "appearance.mainWindow.toviNameInTitle",
                                               "appearance.mainWindow.width",
                                               "appearance.mainWindow.x",
                                               "appearance.mainWindow.y",
                                               "appearance.terminalWindow.height",
                                               "appearance.terminalWindow.width",
                                               "appearance.terminalWindow.x",
                                               "appearance.terminalWindow.y",
                                               "atxControl.HddLed",
                                               "atxControl.buttonDurationMs",
                                               "atxControl.enabled",
                                               "atxControl.resetButton",
                                               "device.audio.mute",
                                               "device.audio.muteInRecording",
                                               "device.comm.baudRate",
                                               "device.comm.hardwareFlowControl",
                                               "device.comm.toviTxFrameRateLastKnownGoodFactor",
                                               "device.tovi.id",
                                               "device.tovi.names",
                                               "device.video.frameHeight",
                                               "device.video.frameWidth",
                                               "device.video.refreshRate",
                                               "device.video.show5x4RatioResolution",
                                               "device.video.syncTargetResolution",
                                               "general.autoConnect",
                                               "general.commPort.reconnectIfToviInfoTimeout",
                                               "general.mouseJiggle.mode",
                                               "general.mouseJiggle.step",
                                               "general.ui.resizeFlickerMitigationDeferMs",
                                               "hidCapture.enabled",
                                               "hidCapture.fastKeyboardCapture",
                                               "hidCapture.fastKeyboardCaptureUi",
                                               "hidCapture.mouseRateCheckInterval",
                                               "hidCapture.mouseSamplingInterval",
                                               "hidCapture.textPasteMode",
                                               "hotKeys.hotkey.1.modifiers",
                                               "hotKeys.hotkey.1.scanCode",
                                               "hotKeys.hotkey.2.modifiers",
                                               "hotKeys.hotkey.2.scanCode",
                                               "hotKeys.hotkey.3.modifiers",
                                               "hotKeys.hotkey.3.scanCode",
                                               "hotKeys.hotkey.4.modifiers",
                                               "hotKeys.hotkey.4.scanCode",
                                               "hotKeys.hotkey.5.modifiers",
                                               "hotKeys.hotkey.5.scanCode",
                                               "hotKeys.hotkey.6.modifiers",
                                               "hotKeys.hotkey.6.scanCode",
                                               "logging.category.Application.level",
                                               "logging.category.Audio.level",
                                               "logging.category.CommPort.level",
                                               "logging.category.Keyboard.level",
                                               "logging.category.Mouse.level",
                                               "logging.category.System.level",
                                               "logging.category.ToviDevice.level",
                                               "logging.category.UiModalDialog.level",
                                               "logging.category.UiNotification.level",
                                               "logging.category.UiPopupDialog.level",
                                               "logging.category.VCommPort.level",
                                               "logging.category.Video.level",
                                               "logging.logToConsole",
                                               "logging.popUpForCriticalError",
                                               "macro.appendEnterKey",
                                               "macro.macro.0",
                                               "macro.macro.1",
                                               "macro.macro.2",
                                               "macro.macro.3",
                                               "macro.macro.4",
                                               "macro.showOnToolbar",
                                               "path.downloadsFolder",
                                               "path.lastFirmwareFolder",
                                               "path.picturesFolder",
                                               "path.testFilePath",
                                               "path.videosFolder",
                                               "toolbar.ctrlAltDelButtonOnToolbar",
                                               "toolbar.gpioButtonOnToolbar",
                                               "toolbar.pasteButtonOnToolbar",
                                               "toviConfig.features.enabledList",
                                               "toviConfig.features.vCommMode",
                                               "toviConfig.features.vTermMode",
                                               "toviConfig.forceKeyboardInLegacyMode",
                                               "toviConfig.stateReportInterval",
                                               "update.embed.promptedVersion.availableMajor",
                                               "update.embed.promptedVersion.availableMinor",
                                               "update.embed.promptedVersion.currentMajor",
                                               "update.embed.promptedVersion.currentMinor",
                                               "vDisk.forceFat32",
                                               "vDisk.lastHostFolder"};
    std::vector<std::string> missing, extra;
    std::set_difference(expected.begin(), expected.end(), keys.begin(), keys.end(),
                        std::back_inserter(missing));
    std::set_difference(keys.begin(), keys.end(), expected.begin(), expected.end(),
                        std::back_inserter(extra));
    EXPECT_TRUE(missing.empty()) << ::testing::PrintToString(missing);
    EXPECT_TRUE(extra.empty()) << ::testing::PrintToString(extra);
    const json& hotKeys = root["settings"]["hotKeys"];
    EXPECT_EQ(hotKeys["hotkey.1.modifiers"], 65537);
    EXPECT_EQ(hotKeys["hotkey.1.scanCode"], 0);
    EXPECT_EQ(hotKeys["hotkey.5.modifiers"], 257);
    EXPECT_EQ(hotKeys["hotkey.5.scanCode"], 69);
    EXPECT_EQ(root["settings"]["logging"]["category.CommPort.level"], 2);
    EXPECT_EQ(root["settings"]["device"]["tovi.names"], json::object());
    // Written only when on.
    EXPECT_FALSE(root["settings"]["device"].contains("video.enable4kInput"));
    ZocSettings::Instance().device.video.enable4kInput = true;
    EXPECT_EQ(json::parse(ZocSettings::Instance().SaveToText())["settings"]["device"]["video.enable4kInput"],
              true);
}

TEST_F(ZocSettingsTest, LoadCases) {
    struct Case {
        const char* name;
        const char* text;
        std::function<void(const ZocSettings&)> check;
    };
    const Case cases[] = {
        {"empty object keeps defaults", "{}",
         [](const ZocSettings& s) {
             EXPECT_EQ(s.appearance.mainWindow.x, ZocSettings::kWindowPosCentered);
             EXPECT_EQ(s.appearance.terminalWindow.y, ZocSettings::kWindowPosCentered);
             EXPECT_EQ(s.appearance.mainWindow.width, 1280);
             EXPECT_EQ(s.device.comm.baudRate, 2000000u);
             EXPECT_EQ(uint32_t(s.toviConfig.stateReportInterval), 200u); // packed: compare a copy
             EXPECT_EQ(s.toviConfig.byte18, 48);
             EXPECT_EQ(int(s.toviConfig.logLevel), 2);
         }},
        {"older general keys override hidCapture",
         R"({"settings":{"general":{"hidCapture.enabled":false,"hidCapture.textPasteMode":2},
                         "hidCapture":{"enabled":true,"textPasteMode":1,"mouseSamplingInterval":3}}})",
         [](const ZocSettings& s) {
             EXPECT_FALSE(s.hidCapture.enabled);
             EXPECT_EQ(s.hidCapture.textPasteMode, 2);
             EXPECT_EQ(s.hidCapture.mouseSamplingInterval, 3u);
         }},
        {"unsupported baud rate", R"({"settings":{"device":{"comm.baudRate":115200}}})",
         [](const ZocSettings& s) { EXPECT_EQ(s.device.comm.baudRate, 2000000u); }},
        {"supported baud rate", R"({"settings":{"device":{"comm.baudRate":1500000}}})",
         [](const ZocSettings& s) { EXPECT_EQ(s.device.comm.baudRate, 1500000u); }},
        {"USB serial routing without the feature bit",
         R"({"settings":{"toviConfig":{"features.enabledList":0,"features.vCommMode":1,"features.vTermMode":1}}})",
         [](const ZocSettings& s) {
             EXPECT_EQ(s.toviConfig.features.vCommMode, ZoConfig::VPortMode::Disabled);
             EXPECT_EQ(s.toviConfig.features.vTermMode, ZoConfig::VPortMode::Disabled);
         }},
        {"USB serial routing with the feature bit",
         R"({"settings":{"toviConfig":{"features.enabledList":2,"features.vCommMode":1,"features.vTermMode":2}}})",
         [](const ZocSettings& s) {
             EXPECT_EQ(s.toviConfig.features.vCommMode, ZoConfig::VPortMode::UsbCdc);
             EXPECT_EQ(s.toviConfig.features.vTermMode, ZoConfig::VPortMode::SideUart);
         }},
        {"hotkeys: unknown ids ignored, modifiers unpacked",
         R"({"settings":{"hotKeys":{"hotkey.9.scanCode":4,"hotkey.3.scanCode":26,"hotkey.3.modifiers":16842752}}})",
         [](const ZocSettings& s) {
             EXPECT_EQ(s.hotKeys.size(), 6u);
             const ZocSettings::Hotkey& paste = s.hotKeys[3];
             EXPECT_EQ(paste.id, ZocSettings::Hotkey::PasteText);
             EXPECT_EQ(paste.scanCode, 26);
             EXPECT_FALSE(paste.ctrl);
             EXPECT_FALSE(paste.shift);
             EXPECT_TRUE(paste.alt);
             EXPECT_TRUE(paste.gui);
         }},
        {"no settings member still validates", R"({"other":1})",
         [](const ZocSettings& s) { EXPECT_EQ(s.device.comm.baudRate, 2000000u); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ZocSettings::ResetForTesting();
        c.check(Load(c.text));
    }
}

TEST_F(ZocSettingsTest, LoggerLevelsLoadAndMissingOnesStay) {
    ZocLog::Audio().SetLevel(ZotLogger::Level::Error);
    Load(R"({"settings":{"logging":{"category.Application.level":1,"category.ToviDevice.level":7}}})");
    EXPECT_EQ(ZocLog::Application().GetLevel(), ZotLogger::Level::Debug);
    EXPECT_EQ(int(ZocLog::ToviDevice().GetLevel()), 7); // used unchanged: drops every line
    EXPECT_EQ(ZocLog::Audio().GetLevel(), ZotLogger::Level::Error);
}

TEST_F(ZocSettingsTest, StartDefaultsNameTheUserFolders) {
    WriteTextFile(mFolder.File("user-dirs.dirs"), "# comment\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
                                                  "XDG_VIDEOS_DIR=\"/srv/videos\"\n");
    AppTestLog log;
    ZocSettings& s = Load(R"({"settings":{"path":{"downloadsFolder":"/mine"}}})");
    EXPECT_EQ(s.path.picturesFolder, "/home/tester/Bilder");
    EXPECT_EQ(s.path.videosFolder, "/srv/videos");
    EXPECT_EQ(s.path.downloadsFolder, "/mine");
    // No entry: warned, and the folder's usual name in the home folder.
    ZocSettings::ResetForTesting();
    Load("{}");
    EXPECT_EQ(s.path.downloadsFolder, "/home/tester/Downloads");
    EXPECT_TRUE(log.Contains("[WRN] Application: Failed to get user downloads folder, error: "
                             "XDG_DOWNLOAD_DIR is not set in"));
}

TEST_F(ZocSettingsTest, UnparsableFileIsKeptBesideAndNotLost) {
    const std::string broken = "{\"settings\": {\"device\": {\"comm.baudRate\": 921600,}}";
    AppTestLog log;
    ZocSettings& s = Load(broken);
    EXPECT_EQ(s.device.comm.baudRate, 2000000u);
    EXPECT_EQ(ReadTextFile(Path() + ".bad"), broken);
    EXPECT_TRUE(log.Contains("[WRN] Application: Failed to parse configuration file\n"));
    EXPECT_TRUE(log.Contains("Kept the unreadable settings file as " + Path() + ".bad"));

    ZocSettings::Finalize();
    EXPECT_FALSE(json::parse(ReadTextFile(Path()), nullptr, false).is_discarded());
    EXPECT_EQ(ReadTextFile(Path() + ".bad"), broken);

    // One copy: the newest unreadable file replaces an older one. Roots that
    // are not settings objects count as unreadable too.
    for (const std::string text : {"[1, 2]", "{\"settings\": 3}", "\xFF\xFE"}) {
        Load(text);
        EXPECT_EQ(ReadTextFile(Path() + ".bad"), text);
    }
}

TEST_F(ZocSettingsTest, WrongTypedKeysKeepTheirValueAndAreNamed) {
    AppTestLog log;
    ZocSettings& s = Load(R"({"settings":{
        "device":{"comm.baudRate":"fast","video.refreshRate":30,"video.frameWidth":1e3,
                  "tovi.names":{"a1":"one","b2":5},"audio.mute":1},
        "general":{"mouseJiggle.step":3000000000},
        "update":{"embed.promptedVersion.currentMajor":-1,"embed.promptedVersion.currentMinor":65535},
        "toviConfig":{"features.vCommMode":256},
        "hotKeys":{"hotkey.2.scanCode":null},
        "toolbar":[],
        "gui":7}})");
    EXPECT_EQ(s.device.comm.baudRate, 2000000u);
    EXPECT_EQ(s.device.video.refreshRate, 30);
    EXPECT_EQ(s.device.video.frameWidth, 1920);
    EXPECT_EQ(s.device.tovi.names, (std::map<std::string, std::string>{{"a1", "one"}}));
    EXPECT_FALSE(s.device.audio.mute);
    EXPECT_EQ(s.general.mouseJiggle.step, 5);
    EXPECT_EQ(s.update.embed.promptedVersion.currentMajor, 0);
    EXPECT_EQ(s.update.embed.promptedVersion.currentMinor, 65535);
    EXPECT_EQ(s.toviConfig.features.vCommMode, ZoConfig::VPortMode::Disabled);
    EXPECT_EQ(s.hotKeys[2].scanCode, 9);
    EXPECT_TRUE(s.toolbar.gpioButtonOnToolbar);
    for (const char* key :
         {"device.comm.baudRate: expected a whole number from 0", "device.video.frameWidth",
          "device.tovi.names.b2: expected a text", "device.audio.mute: expected true or false",
          "general.mouseJiggle.step", "update.embed.promptedVersion.currentMajor",
          "toviConfig.features.vCommMode", "hotKeys.hotkey.2.scanCode", "settings.gui"})
        EXPECT_TRUE(log.Contains(std::string("[WRN] Application: Ignoring settings key ") + key)) << key;
    EXPECT_TRUE(log.Contains("Ignoring settings section toolbar: expected an object"));
    EXPECT_FALSE(log.Contains("video.refreshRate"));
    // Not a parse failure: nothing is set aside.
    EXPECT_FALSE(std::filesystem::exists(Path() + ".bad"));
}

TEST_F(ZocSettingsTest, FinalizeReplacesTheFileWhole) {
    ZocSettings::Finalize(); // before Initialize: nothing
    EXPECT_FALSE(std::filesystem::exists(Path()));

    Load(R"({"settings":{"device":{"comm.baudRate":921600}}})");
    const std::string before = ReadTextFile(Path());
    // The temporary file cannot be made: the old file stays as it was.
    std::filesystem::create_directory(Path() + ".tmp");
    AppTestLog log;
    ZocSettings::Finalize();
    EXPECT_EQ(ReadTextFile(Path()), before);
    EXPECT_TRUE(log.Contains("[ERR] Application: Failed to save settings to " + Path() + ".tmp"));

    std::filesystem::remove(Path() + ".tmp");
    ZocSettings::Finalize();
    EXPECT_FALSE(std::filesystem::exists(Path() + ".tmp"));
    EXPECT_EQ(json::parse(ReadTextFile(Path()))["settings"]["device"]["comm.baudRate"], 921600);
}

TEST_F(ZocSettingsTest, GuiTextAndColorThemeUseTheGuiContext) {
    // Without a context the text is carried through unchanged.
    const std::string ini = "[Window][Tovi]\nPos=10,20\nSize=300,200\nCollapsed=0\n\n";
    nlohmann::json file = {{"settings", {{"gui", ini}}}};
    ZocSettings& s = Load(file.dump());
    EXPECT_EQ(s.gui, ini);
    ZocSettings::Appearance::SetColorThemeByIndex(2);
    EXPECT_EQ(s.appearance.colorTheme, 2);

    ImGuiContext* context = ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ZocSettings::ResetForTesting();
    Load(file.dump());
    EXPECT_NE(
        json::parse(s.SaveToText())["settings"]["gui"].get<std::string>().find("[Window][Tovi]\nPos=10,20\n"),
        std::string::npos);

    ImGuiStyle& style = ImGui::GetStyle();
    ZocSettings::Appearance::SetColorThemeByIndex(2);
    EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_WindowBg].x, 0.90f);
    EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_PopupBg].x, 0.94f);
    ZocSettings::Appearance::SetColorThemeByIndex(1);
    ImVec4 dark = style.Colors[ImGuiCol_Text];
    style.Colors[ImGuiCol_WindowBg].w = 0.5f;
    ZocSettings::Appearance::SetColorThemeByIndex(9); // keeps the colours, backgrounds opaque
    EXPECT_EQ(s.appearance.colorTheme, 9);
    EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_Text].x, dark.x);
    EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_WindowBg].w, 1.0f);
    EXPECT_FLOAT_EQ(style.Colors[ImGuiCol_PopupBg].w, 1.0f);
    ImGui::DestroyContext(context);
}

} // namespace
