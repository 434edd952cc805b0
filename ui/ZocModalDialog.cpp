#include "ui/ZocModalDialog.h"

#include "app/ZocLog.h"

#include <imgui_internal.h>

#include <string>

namespace ZocUi {

std::vector<std::unique_ptr<ModalDialog::Dialog>> ModalDialog::mDialogList;
std::vector<std::unique_ptr<ModalDialog::Dialog>> ModalDialog::mNewDialogList;
std::mutex ModalDialog::mNewListMutex;
unsigned ModalDialog::s_sequence = 0;

void ModalDialog::Create(const std::string& title, bool* open, ImGuiWindowFlags flags, ImVec2 size,
                         Contents contents, OnClosing onClosing) {
    auto dialog = std::make_unique<Dialog>();
    if (open)
        dialog->open = open;
    if (flags != 0)
        dialog->flags = flags;
    dialog->size = size;
    dialog->contents = std::move(contents);
    dialog->onClosing = std::move(onClosing);

    std::lock_guard<std::mutex> lock(mNewListMutex);
    // The part after "##" is not shown; it keeps equal titles apart.
    dialog->title = title + "##" + std::to_string(++s_sequence);
    mNewDialogList.push_back(std::move(dialog));
}

void ModalDialog::Create(const std::string& title, Contents contents) {
    Create(title, nullptr, 0, ImVec2(0.0f, 0.0f), std::move(contents));
}

void ModalDialog::CreateTextBox(const std::string& title, const std::string& text) {
    ZocLog::UiModalDialog().Info("Title: %s Contents: %s", title.c_str(), text.c_str());
    Create(title, [text](bool) {
        ImGui::TextUnformatted(text.c_str(), text.c_str() + text.size());
        return true;
    });
}

void ModalDialog::CloseUnhandled(Dialog& dialog) {
    if (!dialog.shown || dialog.closeHandled)
        return;
    dialog.closeHandled = true;
    // Closed outside its contents (close box, or the caller's flag): make
    // sure the GUI keeps no invisible modal open, and run onClosing once.
    ImGuiContext& g = *ImGui::GetCurrentContext();
    for (int level = g.BeginPopupStack.Size; level < g.OpenPopupStack.Size; ++level) {
        if (g.OpenPopupStack[level].PopupId == dialog.popupId) {
            ImGui::ClosePopupToLevel(level, true);
            break;
        }
    }
    if (dialog.onClosing)
        dialog.onClosing();
}

void ModalDialog::ShowBegin(Dialog& dialog) {
    dialog.begun = false;
    if (!*dialog.open) {
        CloseUnhandled(dialog);
        return;
    }
    dialog.popupId = ImGui::GetID(dialog.title.c_str());
    bool wasOpen = ImGui::IsPopupOpen(dialog.popupId, ImGuiPopupFlags_None);
    if (!wasOpen)
        ImGui::OpenPopup(dialog.popupId);
    if (!(dialog.flags & ImGuiWindowFlags_AlwaysAutoResize) && dialog.size.x > 1.0f && dialog.size.y > 1.0f)
        ImGui::SetNextWindowSizeConstraints(dialog.size, ImVec2(4096.0f, 2048.0f));
    ImGui::PushStyleVar(ImGuiStyleVar_WindowRounding, 5.0f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(20.0f, 20.0f));
    dialog.begun = ImGui::BeginPopupModal(dialog.title.c_str(), dialog.open, dialog.flags);
    ImGui::PopStyleVar(2);
    if (dialog.begun) {
        dialog.shown = true;
        if (dialog.contents && !dialog.contents(!wasOpen))
            dialog.closeRequested = true;
    }
}

void ModalDialog::ShowEnd(Dialog& dialog) {
    if (dialog.closeRequested) {
        // Only set while its popup is the current one (it began this frame).
        ImGui::CloseCurrentPopup();
        *dialog.open = false;
        dialog.closeRequested = false;
        dialog.closeHandled = true;
        if (dialog.onClosing)
            dialog.onClosing();
    }
    if (dialog.begun) {
        ImGui::EndPopup();
    } else if (!*dialog.open) {
        // Closed by its close box this frame.
        CloseUnhandled(dialog);
    }
}

void ModalDialog::Refresh() {
    while (!mDialogList.empty() && !*mDialogList.back()->open) {
        CloseUnhandled(*mDialogList.back());
        mDialogList.pop_back();
    }

    std::vector<std::unique_ptr<Dialog>> added;
    {
        std::lock_guard<std::mutex> lock(mNewListMutex);
        added.swap(mNewDialogList);
    }
    for (auto& dialog : added)
        if (*dialog->open)
            mDialogList.push_back(std::move(dialog));

    // Contents may request further dialogs (they wait for the next frame) but
    // never touch mDialogList, so the references stay valid.
    for (auto& dialog : mDialogList)
        ShowBegin(*dialog);
    for (auto it = mDialogList.rbegin(); it != mDialogList.rend(); ++it)
        ShowEnd(**it);
}

size_t ModalDialog::GetShownCount() {
    return mDialogList.size();
}

size_t ModalDialog::GetPendingCount() {
    std::lock_guard<std::mutex> lock(mNewListMutex);
    return mNewDialogList.size();
}

void ModalDialog::Clear() {
    mDialogList.clear();
    std::lock_guard<std::mutex> lock(mNewListMutex);
    mNewDialogList.clear();
}

} // namespace ZocUi
