#pragma once
#include "device/protocol/ZoMsg.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// The user's settings: one process-wide record, read directly by every
// subsystem. Built-in defaults at program load, overlaid from the settings
// file by Initialize, written back once at exit by Finalize.
//
// A setting is named section, a point, key: "device" + "comm.baudRate" is
// `ZocSettings::Instance().device.comm.baudRate`. Points inside a key become
// nested members.
//
// The settings file is untrusted input (users edit it, other versions write
// it): a file that does not parse is kept beside as "<path>.bad" before the
// record is saved over it, a key of the wrong type or out of range keeps its
// current value and is logged, and nothing in it can make loading throw.
class ZocSettings {
public:
    // SDL's "centred" window position value, used until the window geometry
    // is copied back at exit.
    static constexpr int kWindowPosCentered = 0x2FFF0000;

    struct General {
        struct MouseJiggle {
            enum Mode : int { Simple = 0, Random = 1 };
            int mode = Simple;
            int step = 5;
        } mouseJiggle;
        struct Ui {
            uint32_t resizeFlickerMitigationDeferMs = 500;
        } ui;
        struct CommPort {
            bool reconnectIfToviInfoTimeout = true;
        } commPort;
        // Connect by ourselves when discovery finds exactly one Tovi.
        bool autoConnect = false;
    };

    struct HidCapture {
        enum TextPasteMode : int { Auto = 0, DeviceForUnknownLayout = 1, DeviceAlways = 2 };
        bool enabled = true;
        bool fastKeyboardCapture = false;
        bool fastKeyboardCaptureUi = false;
        int textPasteMode = Auto;
        uint32_t mouseSamplingInterval = 7;
        uint32_t mouseRateCheckInterval = 0;
    };

    struct Update {
        struct Embed {
            struct PromptedVersion {
                uint16_t currentMajor = 0;
                uint16_t currentMinor = 0;
                uint16_t availableMajor = 0;
                uint16_t availableMinor = 0;
            } promptedVersion;
        } embed;
    };

    struct Appearance {
        enum ColorTheme : int { Classic = 0, Dark = 1, Light = 2 };
        struct Rect {
            int x = kWindowPosCentered;
            int y = kWindowPosCentered;
            int width = 1280;
            int height = 800;
        };
        struct MainWindow : Rect {
            bool toviNameInTitle = true;
            bool fitToVideoSize = false;
        };

        int colorTheme = Dark;
        int fontScale10 = 10;
        MainWindow mainWindow;
        Rect terminalWindow;

        // Stores `index` as the colour theme and applies it to the GUI (when a
        // GUI context exists): 0 classic, 1 dark, 2 light; other values keep
        // the current colours. Window and popup backgrounds are made opaque.
        static void SetColorThemeByIndex(int index);
    };

    struct Tovi {
        std::string id;
        std::map<std::string, std::string> names; // user-given names by Tovi id
    };

    struct Device {
        Tovi tovi;
        struct Audio {
            bool mute = false;
            bool muteInRecording = false;
        } audio;
        struct Comm {
            uint32_t baudRate = 2000000;
            bool hardwareFlowControl = true;
            uint32_t toviTxFrameRateLastKnownGoodFactor = 0;
        } comm;
        struct Video {
            int frameWidth = 1920;
            int frameHeight = 1080;
            bool show5x4RatioResolution = false;
            bool syncTargetResolution = false;
            int refreshRate = 60;
            bool enable4kInput = false;
        } video;
    };

    struct AtxControl {
        bool enabled = false;
        bool resetButton = false;
        bool hddLed = false; // key "HddLed"
        uint32_t buttonDurationMs = 100;
    };

    struct Logging {
        bool logToConsole = false;
        bool popUpForCriticalError = true;
    };

    struct Paths {
        std::string picturesFolder;
        std::string videosFolder;
        std::string downloadsFolder;
        std::string testFilePath;
        std::string lastFirmwareFolder;
    };

    struct Macros {
        static constexpr int kCount = 5;
        bool showOnToolbar = true;
        bool appendEnterKey = true;
        std::array<std::string, kCount> macro; // keys "macro.0" ... "macro.4"
    };

    struct Toolbar {
        bool gpioButtonOnToolbar = true;
        bool pasteButtonOnToolbar = true;
        bool ctrlAltDelButtonOnToolbar = false;
    };

    struct Hotkey {
        enum Id : int32_t {
            None = 0,
            ReleaseCapture = 1,
            FullScreen = 2,
            PasteText = 3,
            AvRecord = 4,
            FrameCounting = 5,
            Toolbar = 6,
        };
        Id id = None;
        int scanCode = 0; // SDL scancode, 0 = modifiers only
        bool ctrl = false;
        bool shift = false;
        bool alt = false;    // shown as "Option"
        bool gui = false;    // shown as "Cmd"
        bool hidden = false; // not listed in the settings window

        // The four modifiers as stored in the file: one byte each,
        // little-endian, ctrl in bit 0, shift bit 8, alt bit 16, gui bit 24.
        uint32_t PackModifiers() const;
        void UnpackModifiers(uint32_t packed);
    };
    static constexpr int kHotkeyCount = 6;
    using Hotkeys = std::array<Hotkey, kHotkeyCount>;

    struct VDisk {
        bool forceFat32 = true;
        std::string lastHostFolder;
    };

    General general;
    HidCapture hidCapture;
    Update update;
    Appearance appearance;
    Device device;
    ZoMsg::Body::ToviConfig toviConfig; // sent to the Tovi as is; five fields are saved
    AtxControl atxControl;
    Logging logging;
    Paths path;
    Macros macro;
    Toolbar toolbar;
    Hotkeys hotKeys = DefaultHotkeys(); // fixed membership and order (the matching priority)
    VDisk vDisk;
    std::string gui; // the GUI library's ini text, as last loaded or saved

    float fontSize = 18.0f; // base font size in pixels; not saved

    static ZocSettings& Instance();

    // Remembers `path`, applies the start defaults and reads the file. A
    // missing file leaves the defaults (the file is made at exit). Always true.
    static bool Initialize(const std::string& path);
    // Writes the record to the remembered path (through a temporary file
    // renamed over the old one). Nothing happens before Initialize.
    static void Finalize();

    // Loads settings from the text of a settings file into this record, then
    // validates. Returns false when the text is not a settings file at all
    // (no JSON, or a root or "settings" member that is not an object); the
    // record then keeps its values.
    bool LoadFromText(std::string_view text);
    // The file's text for this record: 4-blank indentation, keys in
    // ascending byte order.
    std::string SaveToText() const;
    // Keeps values within what the rest of the program supports.
    void Validate();

    static Hotkeys DefaultHotkeys();
    Hotkey* FindHotkey(int id);

    // Resets the process-wide record to the load-time defaults and forgets
    // the path (for tests).
    static void ResetForTesting();
};
