#include "app/ZocSettings.h"

#include "app/ZocLog.h"
#include "app/ZocUtils.h"

#include <imgui.h>
#include <nlohmann/json.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <type_traits>
#include <unistd.h>

using json = nlohmann::json;

namespace {
std::string gConfigPath; // empty until Initialize

// Sections in the order they are loaded: "general" comes after "hidCapture"
// because it may hold older copies of hidCapture keys that must win.
const char* const kSections[] = {"hidCapture", "general",    "update",  "appearance", "device",
                                 "toviConfig", "atxControl", "logging", "path",       "macro",
                                 "toolbar",    "hotKeys",    "vDisk"};

// Calls f(section, key, value) for every plain key of the record, sections in
// load order. Special keys (names map, logger levels, hotkeys, "gui") are
// handled by the callers. S is ZocSettings or const ZocSettings.
template <class S, class F> void ForEachKey(S& s, F&& f) {
    f("hidCapture", "enabled", s.hidCapture.enabled);
    f("hidCapture", "fastKeyboardCapture", s.hidCapture.fastKeyboardCapture);
    f("hidCapture", "fastKeyboardCaptureUi", s.hidCapture.fastKeyboardCaptureUi);
    f("hidCapture", "textPasteMode", s.hidCapture.textPasteMode);
    f("hidCapture", "mouseSamplingInterval", s.hidCapture.mouseSamplingInterval);
    f("hidCapture", "mouseRateCheckInterval", s.hidCapture.mouseRateCheckInterval);

    f("general", "mouseJiggle.mode", s.general.mouseJiggle.mode);
    f("general", "mouseJiggle.step", s.general.mouseJiggle.step);
    f("general", "ui.resizeFlickerMitigationDeferMs", s.general.ui.resizeFlickerMitigationDeferMs);
    f("general", "commPort.reconnectIfToviInfoTimeout", s.general.commPort.reconnectIfToviInfoTimeout);
    f("general", "autoConnect", s.general.autoConnect);

    auto& prompted = s.update.embed.promptedVersion;
    f("update", "embed.promptedVersion.currentMajor", prompted.currentMajor);
    f("update", "embed.promptedVersion.currentMinor", prompted.currentMinor);
    f("update", "embed.promptedVersion.availableMajor", prompted.availableMajor);
    f("update", "embed.promptedVersion.availableMinor", prompted.availableMinor);

    auto& a = s.appearance;
    f("appearance", "colorTheme", a.colorTheme);
    f("appearance", "fontScale10", a.fontScale10);
    f("appearance", "mainWindow.toviNameInTitle", a.mainWindow.toviNameInTitle);
    f("appearance", "mainWindow.fitToVideoSize", a.mainWindow.fitToVideoSize);
    f("appearance", "mainWindow.x", a.mainWindow.x);
    f("appearance", "mainWindow.y", a.mainWindow.y);
    f("appearance", "mainWindow.width", a.mainWindow.width);
    f("appearance", "mainWindow.height", a.mainWindow.height);
    f("appearance", "terminalWindow.x", a.terminalWindow.x);
    f("appearance", "terminalWindow.y", a.terminalWindow.y);
    f("appearance", "terminalWindow.width", a.terminalWindow.width);
    f("appearance", "terminalWindow.height", a.terminalWindow.height);

    auto& d = s.device;
    f("device", "tovi.id", d.tovi.id);
    f("device", "audio.mute", d.audio.mute);
    f("device", "audio.muteInRecording", d.audio.muteInRecording);
    f("device", "comm.baudRate", d.comm.baudRate);
    f("device", "comm.hardwareFlowControl", d.comm.hardwareFlowControl);
    f("device", "comm.toviTxFrameRateLastKnownGoodFactor", d.comm.toviTxFrameRateLastKnownGoodFactor);
    f("device", "video.frameWidth", d.video.frameWidth);
    f("device", "video.frameHeight", d.video.frameHeight);
    f("device", "video.show5x4RatioResolution", d.video.show5x4RatioResolution);
    f("device", "video.syncTargetResolution", d.video.syncTargetResolution);
    f("device", "video.refreshRate", d.video.refreshRate);

    // The configuration record is packed: its fields go through aligned copies.
    uint8_t vCommMode = uint8_t(s.toviConfig.features.vCommMode);
    uint8_t vTermMode = uint8_t(s.toviConfig.features.vTermMode);
    uint32_t enabledList = s.toviConfig.features.enabledList;
    uint32_t stateReportInterval = s.toviConfig.stateReportInterval;
    bool legacyKeyboard = s.toviConfig.forceKeyboardInLegacyMode != 0;
    f("toviConfig", "features.vCommMode", vCommMode);
    f("toviConfig", "features.vTermMode", vTermMode);
    f("toviConfig", "features.enabledList", enabledList);
    f("toviConfig", "stateReportInterval", stateReportInterval);
    f("toviConfig", "forceKeyboardInLegacyMode", legacyKeyboard);
    if constexpr (!std::is_const_v<S>) {
        s.toviConfig.features.vCommMode = ZoConfig::VPortMode(vCommMode);
        s.toviConfig.features.vTermMode = ZoConfig::VPortMode(vTermMode);
        s.toviConfig.features.enabledList = enabledList;
        s.toviConfig.stateReportInterval = stateReportInterval;
        s.toviConfig.forceKeyboardInLegacyMode = legacyKeyboard ? 1 : 0;
    }

    f("atxControl", "enabled", s.atxControl.enabled);
    f("atxControl", "resetButton", s.atxControl.resetButton);
    f("atxControl", "HddLed", s.atxControl.hddLed);
    f("atxControl", "buttonDurationMs", s.atxControl.buttonDurationMs);

    // "logging": the logger levels come first (special), then these two.
    f("logging", "logToConsole", s.logging.logToConsole);
    f("logging", "popUpForCriticalError", s.logging.popUpForCriticalError);

    f("path", "picturesFolder", s.path.picturesFolder);
    f("path", "videosFolder", s.path.videosFolder);
    f("path", "downloadsFolder", s.path.downloadsFolder);
    f("path", "testFilePath", s.path.testFilePath);
    f("path", "lastFirmwareFolder", s.path.lastFirmwareFolder);

    f("macro", "showOnToolbar", s.macro.showOnToolbar);
    f("macro", "appendEnterKey", s.macro.appendEnterKey);
    for (int i = 0; i < ZocSettings::Macros::kCount; ++i)
        f("macro", "macro." + std::to_string(i), s.macro.macro[size_t(i)]);

    f("toolbar", "gpioButtonOnToolbar", s.toolbar.gpioButtonOnToolbar);
    f("toolbar", "pasteButtonOnToolbar", s.toolbar.pasteButtonOnToolbar);
    f("toolbar", "ctrlAltDelButtonOnToolbar", s.toolbar.ctrlAltDelButtonOnToolbar);

    f("vDisk", "forceFat32", s.vDisk.forceFat32);
    f("vDisk", "lastHostFolder", s.vDisk.lastHostFolder);
}

// Reads one JSON value into a setting of type T. False when the value has the
// wrong JSON type or does not fit T; the setting is then left unchanged.
bool ReadValue(const json& value, bool& out) {
    if (!value.is_boolean())
        return false;
    out = value.get<bool>();
    return true;
}

bool ReadValue(const json& value, std::string& out) {
    if (!value.is_string())
        return false;
    out = value.get<std::string>();
    return true;
}

template <class T> bool ReadValue(const json& value, T& out) {
    static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>);
    if (value.is_number_unsigned()) {
        uint64_t v = value.get<uint64_t>();
        if (v > uint64_t(std::numeric_limits<T>::max()))
            return false;
        out = T(v);
        return true;
    }
    if (value.is_number_integer()) {
        int64_t v = value.get<int64_t>();
        if (v < int64_t(std::numeric_limits<T>::min()) ||
            (v > 0 && uint64_t(v) > uint64_t(std::numeric_limits<T>::max())))
            return false;
        out = T(v);
        return true;
    }
    return false;
}

template <class T> const char* TypeName() {
    if constexpr (std::is_same_v<T, bool>)
        return "true or false";
    else if constexpr (std::is_same_v<T, std::string>)
        return "a text";
    else if constexpr (std::is_signed_v<T>)
        return "a whole number";
    else
        return "a whole number from 0";
}

void WarnKey(const std::string& section, const std::string& key, const char* expected) {
    ZocLog::Application().Warn("Ignoring settings key %s.%s: expected %s", section.c_str(), key.c_str(),
                               expected);
}

// Reads `key` of `section` into `out` when present; a wrong type keeps `out`.
template <class T>
void ReadKey(const json& section, const std::string& sectionName, const std::string& key, T& out) {
    auto it = section.find(key);
    if (it == section.end())
        return;
    if (!ReadValue(*it, out))
        WarnKey(sectionName, key, TypeName<T>());
}

std::string HotkeyKey(const ZocSettings::Hotkey& hotkey, const char* field) {
    return "hotkey." + std::to_string(int(hotkey.id)) + "." + field;
}

std::string LevelKey(const ZotLogger& logger) {
    return std::string("category.") + logger.GetName() + ".level";
}

bool WriteFileAll(const std::string& path, const std::string& text, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        data += n;
        left -= size_t(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

bool ReadFileAll(const std::string& path, std::string& text) {
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
        text.append(buffer, n);
    bool ok = !std::ferror(file);
    std::fclose(file);
    return ok;
}

void ApplyStartDefaults(ZocSettings& s) {
    struct Folder {
        std::string& value;
        ZocUtils::Os::UserFolder which;
        const char* fallback;
        const char* what;
    };
    Folder folders[] = {
        {s.path.picturesFolder, ZocUtils::Os::UserFolder::Pictures, "/Pictures", "picture"},
        {s.path.videosFolder, ZocUtils::Os::UserFolder::Videos, "/Videos", "videos"},
        {s.path.downloadsFolder, ZocUtils::Os::UserFolder::Downloads, "/Downloads", "downloads"},
    };
    for (Folder& folder : folders) {
        if (!folder.value.empty())
            continue;
        std::string error;
        if (!ZocUtils::Os::GetUserFolder(folder.which, folder.value, error)) {
            ZocLog::Application().Warn("Failed to get user %s folder, error: %s", folder.what, error.c_str());
            folder.value = ZocUtils::Os::GetHomeFolder() + folder.fallback;
        }
    }
}
} // namespace

ZocSettings& ZocSettings::Instance() {
    static ZocSettings instance;
    return instance;
}

void ZocSettings::ResetForTesting() {
    Instance() = ZocSettings();
    gConfigPath.clear();
}

ZocSettings::Hotkeys ZocSettings::DefaultHotkeys() {
    auto make = [](Hotkey::Id id, int scanCode, bool ctrl, bool shift, bool alt, bool hidden) {
        Hotkey hotkey;
        hotkey.id = id;
        hotkey.scanCode = scanCode;
        hotkey.ctrl = ctrl;
        hotkey.shift = shift;
        hotkey.alt = alt;
        hotkey.hidden = hidden;
        return hotkey;
    };
    return {{
        make(Hotkey::ReleaseCapture, 0, true, false, true, false), // Ctrl+Option
        make(Hotkey::Toolbar, 23, true, true, false, false),       // Ctrl+Shift+T
        make(Hotkey::FullScreen, 9, true, true, false, false),     // Ctrl+Shift+F
        make(Hotkey::PasteText, 25, true, true, false, false),     // Ctrl+Shift+V
        make(Hotkey::AvRecord, 21, true, true, false, false),      // Ctrl+Shift+R
        make(Hotkey::FrameCounting, 69, true, true, false, true),  // Ctrl+Shift+F12
    }};
}

ZocSettings::Hotkey* ZocSettings::FindHotkey(int id) {
    for (Hotkey& hotkey : hotKeys)
        if (int(hotkey.id) == id)
            return &hotkey;
    return nullptr;
}

uint32_t ZocSettings::Hotkey::PackModifiers() const {
    return uint32_t(ctrl) | uint32_t(shift) << 8 | uint32_t(alt) << 16 | uint32_t(gui) << 24;
}

void ZocSettings::Hotkey::UnpackModifiers(uint32_t packed) {
    ctrl = (packed & 0xFF) != 0;
    shift = (packed >> 8 & 0xFF) != 0;
    alt = (packed >> 16 & 0xFF) != 0;
    gui = (packed >> 24 & 0xFF) != 0;
}

bool ZocSettings::LoadFromText(std::string_view text) {
    json root = json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object())
        return false;
    auto settingsIt = root.find("settings");
    if (settingsIt == root.end()) {
        Validate();
        return true;
    }
    if (!settingsIt->is_object())
        return false;
    const json& settings = *settingsIt;

    // Sections that are present but not objects are skipped as a whole.
    static const json kEmpty = json::object();
    auto sectionOf = [&settings](const std::string& name) -> const json& {
        auto it = settings.find(name);
        return it != settings.end() && it->is_object() ? *it : kEmpty;
    };
    for (const char* name : kSections) {
        auto it = settings.find(name);
        if (it != settings.end() && !it->is_object())
            ZocLog::Application().Warn("Ignoring settings section %s: expected an object", name);
    }

    // Plain keys first. Then the special ones; only the older "general"
    // copies of hidCapture keys depend on order: they must win.
    ForEachKey(*this, [&sectionOf](const std::string& section, const std::string& key, auto& value) {
        ReadKey(sectionOf(section), section, key, value);
    });

    const json& general = sectionOf("general");
    ReadKey(general, "general", "hidCapture.enabled", hidCapture.enabled);
    ReadKey(general, "general", "hidCapture.textPasteMode", hidCapture.textPasteMode);
    ReadKey(general, "general", "hidCapture.mouseSamplingInterval", hidCapture.mouseSamplingInterval);
    ReadKey(general, "general", "hidCapture.mouseRateCheckInterval", hidCapture.mouseRateCheckInterval);

    const json& deviceSection = sectionOf("device");
    ReadKey(deviceSection, "device", "video.enable4kInput", device.video.enable4kInput);
    auto names = deviceSection.find("tovi.names");
    if (names != deviceSection.end()) {
        if (!names->is_object()) {
            WarnKey("device", "tovi.names", "an object of texts");
        } else {
            for (auto it = names->begin(); it != names->end(); ++it) {
                if (it->is_string())
                    device.tovi.names[it.key()] = it->get<std::string>();
                else
                    WarnKey("device", "tovi.names." + it.key(), "a text");
            }
        }
    }

    if (settings.contains("logging")) {
        const json& logging = sectionOf("logging");
        ZocLog::ForEachLogger([&logging](std::shared_ptr<ZotLogger> logger) {
            // A missing key keeps the logger's level.
            int level = int(logger->GetLevel());
            ReadKey(logging, "logging", LevelKey(*logger), level);
            logger->SetLevel(ZotLogger::Level(level));
            return true;
        });
    }

    // Only the hotkeys of the fixed list are read; keys of other ids are ignored.
    const json& hotkeySection = sectionOf("hotKeys");
    for (Hotkey& hotkey : hotKeys) {
        ReadKey(hotkeySection, "hotKeys", HotkeyKey(hotkey, "scanCode"), hotkey.scanCode);
        uint32_t packed = hotkey.PackModifiers();
        ReadKey(hotkeySection, "hotKeys", HotkeyKey(hotkey, "modifiers"), packed);
        hotkey.UnpackModifiers(packed);
    }

    auto guiIt = settings.find("gui");
    if (guiIt != settings.end()) {
        if (!guiIt->is_string()) {
            WarnKey("settings", "gui", "a text");
        } else {
            gui = guiIt->get<std::string>();
            if (!gui.empty() && ImGui::GetCurrentContext())
                ImGui::LoadIniSettingsFromMemory(gui.data(), gui.size());
        }
    }
    Validate();
    return true;
}

void ZocSettings::Validate() {
    uint32_t baud = device.comm.baudRate;
    if (baud != 921600 && baud != 1500000 && baud != 2000000)
        device.comm.baudRate = 2000000;
    // Routing to the Tovi's USB serial port needs that port enabled.
    if ((toviConfig.features.enabledList & (1u << 1)) == 0) {
        if (toviConfig.features.vCommMode == ZoConfig::VPortMode::UsbCdc)
            toviConfig.features.vCommMode = ZoConfig::VPortMode::Disabled;
        if (toviConfig.features.vTermMode == ZoConfig::VPortMode::UsbCdc)
            toviConfig.features.vTermMode = ZoConfig::VPortMode::Disabled;
    }
}

std::string ZocSettings::SaveToText() const {
    json settings = json::object();
    ForEachKey(*this, [&settings](const std::string& section, const std::string& key, const auto& value) {
        settings[section][key] = value;
    });
    if (device.video.enable4kInput)
        settings["device"]["video.enable4kInput"] = true;
    json names = json::object();
    for (const auto& [id, name] : device.tovi.names)
        names[id] = name;
    settings["device"]["tovi.names"] = names;
    ZocLog::ForEachLogger([&settings](std::shared_ptr<ZotLogger> logger) {
        settings["logging"][LevelKey(*logger)] = int(logger->GetLevel());
        return true;
    });
    for (const Hotkey& hotkey : hotKeys) {
        settings["hotKeys"][HotkeyKey(hotkey, "scanCode")] = hotkey.scanCode;
        settings["hotKeys"][HotkeyKey(hotkey, "modifiers")] = hotkey.PackModifiers();
    }
    std::string guiText = gui;
    if (ImGui::GetCurrentContext()) {
        size_t size = 0;
        const char* ini = ImGui::SaveIniSettingsToMemory(&size);
        guiText.assign(ini ? ini : "", ini ? size : 0);
    }
    settings["gui"] = guiText;
    json root = json::object();
    root["settings"] = std::move(settings);
    // Texts from the GUI or the environment need not be valid UTF-8: replace
    // bad bytes rather than fail to save.
    return root.dump(4, ' ', false, json::error_handler_t::replace);
}

bool ZocSettings::Initialize(const std::string& path) {
    gConfigPath = path;
    ZocSettings& s = Instance();
    ApplyStartDefaults(s);

    std::string text;
    if (!ReadFileAll(path, text))
        return true; // no file yet: defaults; it is made at exit

    if (!s.LoadFromText(text)) {
        ZocLog::Application().Warn("Failed to parse configuration file");
        // The file is rewritten at exit: keep what the user had.
        std::string badPath = path + ".bad";
        std::string error;
        if (WriteFileAll(badPath, text, error))
            ZocLog::Application().Warn("Kept the unreadable settings file as %s", badPath.c_str());
        else
            ZocLog::Application().Error("Failed to keep the unreadable settings file as %s, error: %s",
                                        badPath.c_str(), error.c_str());
        s.Validate();
    }
    return true;
}

void ZocSettings::Finalize() {
    if (gConfigPath.empty())
        return;
    std::string text;
    try {
        text = Instance().SaveToText();
    } catch (const std::exception& e) {
        ZocLog::Application().Error("Failed to save settings, error: %s", e.what());
        return;
    }
    // A crash while saving must not leave a truncated file: write a
    // temporary file beside it and rename it over the old one.
    std::string tempPath = gConfigPath + ".tmp";
    std::string error;
    if (!WriteFileAll(tempPath, text, error)) {
        ZocLog::Application().Error("Failed to save settings to %s, error: %s", tempPath.c_str(),
                                    error.c_str());
        ::unlink(tempPath.c_str());
        return;
    }
    if (std::rename(tempPath.c_str(), gConfigPath.c_str()) != 0) {
        ZocLog::Application().Error("Failed to save settings to %s, error: %s", gConfigPath.c_str(),
                                    std::strerror(errno));
        ::unlink(tempPath.c_str());
    }
}

void ZocSettings::Appearance::SetColorThemeByIndex(int index) {
    Instance().appearance.colorTheme = index;
    if (!ImGui::GetCurrentContext())
        return;
    ImGuiStyle& style = ImGui::GetStyle();
    switch (index) {
    case Classic:
        ImGui::StyleColorsClassic(&style);
        break;
    case Dark:
        ImGui::StyleColorsDark(&style);
        break;
    case Light:
        ImGui::StyleColorsLight(&style);
        style.Colors[ImGuiCol_WindowBg] = ImVec4(0.90f, 0.90f, 0.90f, 1.0f);
        style.Colors[ImGuiCol_PopupBg] = ImVec4(0.94f, 0.94f, 0.94f, 1.0f);
        break;
    default:
        break;
    }
    style.Colors[ImGuiCol_WindowBg].w = 1.0f;
    style.Colors[ImGuiCol_PopupBg].w = 1.0f;
}
