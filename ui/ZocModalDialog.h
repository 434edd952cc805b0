#pragma once
#include <imgui.h>

#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

namespace ZocUi {

// Modal dialogs requested from any thread and shown, stacked, by the main
// thread: each new dialog is drawn over (and nested in) the ones below it.
// Requests wait in a list guarded by a mutex until the next Refresh.
class ModalDialog {
public:
    // Draws the dialog's body; `firstFrame` is true on the frame the popup
    // opens. Returning false closes the dialog.
    using Contents = std::function<bool(bool firstFrame)>;
    // Runs once when the dialog closes (by its contents or its close box).
    using OnClosing = std::function<void()>;

    // Queues a dialog; any thread. `open` (may be null) is the caller's open
    // flag, which must outlive the dialog; the popup's close box clears it.
    // `flags` 0 means auto-resize without saved settings. `size` is the
    // minimum size, used only without auto-resize.
    static void Create(const std::string& title, bool* open, ImGuiWindowFlags flags, ImVec2 size,
                       Contents contents, OnClosing onClosing = {});
    static void Create(const std::string& title, Contents contents);

    // A dialog that shows `text` until its close box is clicked; any thread.
    static void CreateTextBox(const std::string& title, const std::string& text);
    // The values written one after another (stream formatting, no separators).
    template <typename First, typename... Rest>
    requires(sizeof...(Rest) > 0) static void CreateTextBox(const std::string& title, const First& first,
                                                            const Rest&... rest) {
        std::ostringstream text;
        text << first;
        ((text << rest), ...);
        CreateTextBox(title, text.str());
    }

    // Shows the dialogs; once per frame on the main thread, inside a GUI frame.
    static void Refresh();

    // Dialogs shown and requested-not-yet-shown (for the debug window and tests).
    static size_t GetShownCount();
    static size_t GetPendingCount();
    // Drops every dialog without running callbacks (shutdown and tests).
    static void Clear();

private:
    struct Dialog {
        bool begun = false;
        bool shown = false;        // its popup has been begun at least once
        bool closeHandled = false; // onClosing has run
        ImGuiID popupId = 0;
        bool ownOpen = true;
        bool* open = &ownOpen;
        bool closeRequested = false;
        ImGuiWindowFlags flags = ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoSavedSettings;
        std::string title;
        ImVec2 size{0.0f, 0.0f};
        Contents contents;
        OnClosing onClosing;
    };

    static void ShowBegin(Dialog& dialog);
    static void ShowEnd(Dialog& dialog);
    static void CloseUnhandled(Dialog& dialog);

    static std::vector<std::unique_ptr<Dialog>> mDialogList;
    static std::vector<std::unique_ptr<Dialog>> mNewDialogList;
    static std::mutex mNewListMutex;
    static unsigned s_sequence;
};

} // namespace ZocUi
