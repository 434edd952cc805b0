// Loads arbitrary bytes as the settings file. The file is user-editable and
// written by other versions of the program, so it is untrusted: loading must
// never crash or throw, and whatever loads must save and load again to the
// same text.
#include "app/ZocSettings.h"

#include <imgui.h>

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);

    // Without a GUI context: the record alone, and its round trip.
    ZocSettings first;
    if (first.LoadFromText(text)) {
        std::string saved = first.SaveToText();
        ZocSettings second;
        if (!second.LoadFromText(saved) || second.SaveToText() != saved)
            std::abort();
    }

    // With a GUI context the "gui" text goes through the GUI library's own
    // ini reader and writer.
    ImGuiContext* context = ImGui::CreateContext();
    ImGui::GetIO().IniFilename = nullptr;
    ZocSettings withGui;
    if (withGui.LoadFromText(text))
        (void)withGui.SaveToText();
    ImGui::DestroyContext(context);
    return 0;
}
