#pragma once
#include <SDL.h>

#include <cstdint>

struct ImFontAtlas;

// The program's top level: start-up, the main loop and the orderly shutdown.
// Everything here runs on the main thread. Other threads reach the user
// interface only through ZocGlobals flags, SDL user events, modal dialog
// requests and toast notifications, which the loop picks up within 5 ms.
class ZocApplication {
public:
    // The program takes no command-line options.
    static void ParseCommandLineArguments(int argc, char** argv);

    // Start-up, main loop, shutdown: 0 on a normal exit, -1 when start-up failed.
    static int Run();

    // Start-up steps (Run calls them in this order).
    static bool InitializeFrameworks(); // SDL and the GUI context
    // The four fonts into `atlas`, rasterised; the fonts are kept in ZocGlobals.
    static void CreateFontAtlas(ImFontAtlas& atlas, float fontSize);
    static bool InitializeApplication(); // folders, log, settings, global services
    static bool CreateMainWindow();      // window, renderer, GUI backends

    // One iteration of the main loop: events, paced repaint, device scan,
    // then a wait of up to 5 ms for the next event.
    static void RunLoopIteration();
    // Builds and presents one GUI frame.
    static void RefreshWindows();
    // Main-window move and resize handling.
    static void HandleEvent(const SDL_Event& event);
    // Refreshes the status flags from the window and the services.
    static void UpdateStatus();
    // Saves the settings and tears down the GUI, renderer, window and SDL;
    // only the settings are skipped when no main window was created.
    static void ShutdownUserInterface();

    // What the GUI must not see: cursor, Tab and Return keys while they are
    // being typed to the target (otherwise GUI navigation would react).
    struct GuiRoutingState {
        bool toviConnected = false;
        bool captureEnabled = false;      // hidCapture.enabled
        bool fastKeyboardCapture = false; // hidCapture.fastKeyboardCapture
        bool menuShown = false;
        bool showGuiDemo = false;
        bool anyPopupOpen = false;
    };
    static bool IsWithheldFromGui(const SDL_Event& event, const GuiRoutingState& state);

    // Tick of the next timed repaint after one at `now`: one period at the
    // refresh rate (30 per second while disconnected), three periods when
    // the repaint was for a new video frame.
    static uint64_t NextRefreshTicks(uint64_t now, bool videoFrame, bool toviConnected, int refreshRate);

    // The SDL window a window-bound event belongs to; 0 for other events.
    static uint32_t GetEventWindowId(const SDL_Event& event);

    // Records one frame's build time; returns true when a report is due (and
    // then fills the figures and starts a new period of `refreshRate` × 10 frames).
    struct FrameStats {
        uint64_t minMs = 1000;
        uint64_t maxMs = 0;
        uint64_t totalMs = 0;
        uint32_t count = 0;
        uint32_t maxCount = 100;
        bool Add(uint64_t spanMs, int refreshRate, uint64_t& min, uint64_t& max, uint64_t& average);
    };

private:
    static inline bool sMainWindowCreated = false;
    static inline ImFontAtlas* sFontAtlas = nullptr; // owned here, shared with the GUI context
};
