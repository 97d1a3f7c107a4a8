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

// Status texts of the worker repaint the window at most this often: a
// download brings a new text for every read, and a frame costs tens of
// milliseconds that the update would rather have.
constexpr DWORD kStatusPaintIntervalMs = 40;

void InvalidateWindow(HWND window) {
    InvalidateRect(window, nullptr, FALSE);
}

}  // namespace

void LauncherUI::ShowStatus(const std::wstring& text) {
    if (statusLabel != nullptr) {
        statusLabel->text = text;
    }
    float progress = 0.0f;
    if (progressBar != nullptr && ParseStatusProgress(text, &progress)) {
        progressBar->progress = progress;
    }
}

void LauncherUI::SetStatus(const std::wstring& text) {
    ShowStatus(text);
    InvalidateWindow(window);
}

void LauncherUI::OnStatusMessage() {
    for (const std::wstring& text : statusMailbox->Take()) {
        ShowStatus(text);
    }
    // The line and the bar hold the newest text already; the repaint that
    // shows it may wait for the next slot.
    const DWORD now = GetTickCount();
    if (now - lastStatusPaint >= kStatusPaintIntervalMs) {
        lastStatusPaint = now;
        InvalidateWindow(window);
    } else if (!statusPaintWaiting) {
        statusPaintWaiting = true;
        SetTimer(window, kStatusPaintTimer, kStatusPaintIntervalMs - (now - lastStatusPaint),
                 nullptr);
    }
}

void LauncherUI::OnStatusPaintTimer() {
    KillTimer(window, kStatusPaintTimer);
    statusPaintWaiting = false;
    lastStatusPaint = GetTickCount();
    InvalidateWindow(window);
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
