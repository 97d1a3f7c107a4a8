#include <memory>
#include <utility>
#include <string>
#include <vector>

#include "app/launcher_ui.h"
#include "app/status_progress.h"
#include "patchnotes/patch_notes.h"
#include "ui/button.h"
#include "ui/label.h"
#include "ui/patch_notes_view.h"
#include "ui/progress_bar.h"

namespace {

void InvalidateWindow(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

void LauncherUI::SetStatus(const std::wstring& text) {
    if (statusLabel != nullptr) {
        statusLabel->text = text;
    }
    float progress = 0.0f;
    if (progressBar != nullptr && ParseStatusProgress(text, &progress)) {
        progressBar->progress = progress;
    }
    InvalidateWindow(window);
}

void LauncherUI::OnStatusMessage() {
    for (const std::wstring& text : statusMailbox->Take()) {
        SetStatus(text);
    }
}

void LauncherUI::OnPatchNotesMessage(LPARAM payload) {
    std::unique_ptr<std::vector<PatchNoteBlock>> blocks(
        reinterpret_cast<std::vector<PatchNoteBlock>*>(payload));
    if (!blocks) {
        return;
    }
    if (patchNotesView != nullptr) {
        patchNotesView->SetBlocks(std::move(*blocks));
    }
    InvalidateWindow(window);
}

void LauncherUI::OnReadyMessage() {
    updateFinished = true;
    if (startButton != nullptr) {
        startButton->enabled = true;
    }
    if (progressBar != nullptr) {
        progressBar->progress = 1.0f;
    }
    InvalidateWindow(window);
}
