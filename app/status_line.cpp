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
#include "ui/window_repaint.h"

namespace {

// The worker's status texts are taken and repainted at most this often: a
// download brings a new text for every read, and each message and repaint
// costs time that the update would rather have. Ten steps a second keep the
// bar moving smoothly enough.
constexpr DWORD kStatusPaintIntervalMs = 100;

// The antialiased outline of the bar reaches a pixel past its bounds.
constexpr int kStatusAreaMargin = 2;

}  // namespace

RECT LauncherUI::StatusArea() const {
    RECT area = {};
    if (statusLabel != nullptr && progressBar != nullptr) {
        UnionRect(&area, &statusLabel->bounds, &progressBar->bounds);
        InflateRect(&area, kStatusAreaMargin, kStatusAreaMargin);
    }
    return area;
}

void LauncherUI::InvalidateStatus() {
    // Painting just this area keeps the frame buffer of the many status
    // repaints of an update small.
    const RECT area = StatusArea();
    InvalidateRect(window, IsRectEmpty(&area) ? nullptr : &area, FALSE);
}

void LauncherUI::ShowStatus(const std::wstring& text) {
    if (statusLabel != nullptr) {
        statusLabel->text = text;
    }
    float progress = 0.0f;
    if (progressBar != nullptr && ParseStatusProgress(text, progress)) {
        progressBar->progress = progress;
    }
}

void LauncherUI::SetStatus(const std::wstring& text) {
    ShowStatus(text);
    InvalidateStatus();
}

void LauncherUI::TakeStatusTexts() {
    for (const std::wstring& text : statusMailbox->Take()) {
        ShowStatus(text);
    }
}

void LauncherUI::OnStatusMessage() {
    // The texts are taken, and shown, at most once a slot: until then the
    // message counts as in flight and the worker posts no other, however
    // fast the window would take them.
    const DWORD now = GetTickCount();
    if (now - lastStatusPaint >= kStatusPaintIntervalMs) {
        lastStatusPaint = now;
        TakeStatusTexts();
        InvalidateStatus();
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
    TakeStatusTexts();
    InvalidateStatus();
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
    RepaintWindow(window);
}

void LauncherUI::OnReadyMessage() {
    TakeStatusTexts();  // the worker's last texts come before the end
    updateFinished = true;
    if (startButton != nullptr) {
        startButton->enabled = true;
    }
    if (progressBar != nullptr) {
        progressBar->progress = 1.0f;
    }
    RepaintWindow(window);
}
