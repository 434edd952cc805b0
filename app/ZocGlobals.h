#pragma once
#include "device/protocol/ZoMsg.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <string>

struct ImGuiContext;
struct ImFont;

// The process-wide state record shared by the subsystems: main window and
// renderer, fonts, status flags, debugging switches, the display the main
// window is on. It also owns the start and stop order of the global services.
//
// Flags are atomics: any thread may read them, and each has one writer at a
// time (see docs/ARCHITECTURE.md, Threads). The remaining fields are set by
// the main thread during start-up and only read afterwards. (A GUI widget
// that wants a bool* works on a copy and stores it back.)
class ZocGlobals {
public:
    static inline std::string basePath; // program folder
    static inline std::string prefPath; // per-user folder of the settings and log files
    static inline ImGuiContext* guiContext = nullptr;
    static inline SDL_Window* window = nullptr;
    static inline std::atomic<uint32_t> displayId{0}; // SDL display index + 1; 0 = unknown
    static inline std::atomic<int32_t> displayWidth{0};
    static inline std::atomic<int32_t> displayHeight{0};
    static inline SDL_Renderer* renderer = nullptr;
    static inline ImFont* fontDefault = nullptr; // monospace with the icons merged
    static inline ImFont* fontText = nullptr;
    static inline ImFont* fontTitle = nullptr;

    static inline std::atomic<bool> quitRequested{false};
    static inline std::atomic<bool> windowVisible{false};
    static inline std::atomic<bool> menuShown{false};
    static inline std::atomic<bool> toolbarHidden{false};
    static inline std::atomic<bool> mouseJiggleOn{false};
    static inline std::atomic<bool> vcommPortOpened{false};
    static inline std::atomic<bool> hidCaptureActive{false};
    static inline std::atomic<bool> fullScreen{false};
    static inline std::atomic<bool> windowMaximizedOrFullScreen{false};
    static inline std::atomic<bool> videoResizePending{true};
    static inline std::atomic<bool> testRunning{false};
    static inline std::atomic<bool> showFrameCount{false};
    static inline std::atomic<bool> longInfoWait{false};
    static inline std::atomic<bool> hotkeyEditing{false};
    static inline std::atomic<bool> titleDirty{false};
    static inline std::atomic<bool> videoLargerThanDisplay{false};
    static inline std::atomic<uint64_t> infoRequestTicks{0}; // ms
    static inline std::atomic<uint32_t> txFrameFactor{0};
    static inline std::atomic<bool> toviConnected{false};
    // The last information and state reports (written by the message input
    // thread; readers tolerate a report one update old). A nonzero uid in
    // toviInfo means a report has arrived.
    static inline ZoMsg::Body::ToviInfo toviInfo{};
    static inline ZoMsg::Body::ToviState toviState{};
    static inline std::atomic<bool> atxPowerOn{false};
    static inline std::atomic<bool> atxHddLedOn{false};

    // Debugging switches of the debug window.
    static inline std::atomic<bool> doNotPing{false};
    static inline std::atomic<bool> ignoreMouseMotion{false};
    static inline std::atomic<bool> showGuiDemo{false};

    // Starts the global services in order; true when the main timer started.
    static bool Initialize();
    // Copies the window geometry into the settings and stops the services;
    // safe to call again.
    static void Finalize();
    // Frees the objects the user interface holds (after Finalize).
    static void Destroy();
    // Finds the display the main window is on and its size.
    static void UpdateDisplayInfo();

    // The display-size check behind `videoLargerThanDisplay`.
    static bool IsVideoLargerThanDisplay(int frameWidth, int frameHeight, int displayWidth,
                                         int displayHeight);
};

// SDL user events registered at start-up.
class ZocEvent {
public:
    struct Type {
        // Announces that the toolbar's occupied space changed.
        static inline std::atomic<uint32_t> ToolbarSpace{0};
    };
};
