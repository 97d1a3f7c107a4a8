#include "settings/checkbox_fit.h"

#include <algorithm>
#include <string>

#include "common/gdi_owners.h"

namespace {

// The space that a frame keeps between its right edge and its contents.
constexpr int kFrameInnerMargin = 6;
// Between the check mark and its caption, and after the caption.
constexpr int kCaptionGap = 6;

// The width that shows the whole caption of a checkbox in its own font; 0
// when it cannot be measured.
int CheckboxWidthForCaption(HWND checkbox) {
    const int length = GetWindowTextLengthW(checkbox);
    std::wstring caption(static_cast<size_t>(length) + 1, L'\0');
    caption.resize(static_cast<size_t>(GetWindowTextW(checkbox, &caption[0], length + 1)));
    const WindowDc dc(checkbox);
    if (!dc.get()) {
        return 0;
    }
    const auto font = reinterpret_cast<HFONT>(SendMessageW(checkbox, WM_GETFONT, 0, 0));
    const GdiSelection selection(
        dc.get(), font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT)));
    SIZE extent = {};
    if (!GetTextExtentPoint32W(dc.get(), caption.c_str(), static_cast<int>(caption.size()),
                               &extent)) {
        return 0;
    }
    return GetSystemMetrics(SM_CXMENUCHECK) + kCaptionGap + extent.cx;
}

// A child window's rectangle in its parent's client coordinates.
RECT RectInParent(HWND control) {
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void Place(HWND control, const RECT& rect) {
    SetWindowPos(control, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void FitCheckboxes(HWND frame, const std::vector<HWND>& checkboxes, bool frameHoldsOnlyCheckboxes) {
    if (checkboxes.empty()) {
        return;
    }
    const RECT frameRect = RectInParent(frame);
    const int innerRight = frameRect.right - kFrameInnerMargin;
    std::vector<RECT> original;
    std::vector<RECT> grown;
    bool anyGrown = false;
    for (HWND checkbox : checkboxes) {
        const RECT rect = RectInParent(checkbox);
        RECT wide = rect;
        wide.right = std::max(rect.right, rect.left + CheckboxWidthForCaption(checkbox));
        anyGrown = anyGrown || wide.right != rect.right;
        original.push_back(rect);
        grown.push_back(wide);
    }
    if (!anyGrown) {
        return;
    }

    bool sideBySide = true;
    for (size_t i = 0; i < grown.size() && sideBySide; ++i) {
        sideBySide = grown[i].right <= innerRight;
        for (size_t j = i + 1; j < grown.size() && sideBySide; ++j) {
            RECT both = {};
            sideBySide = !IntersectRect(&both, &grown[i], &grown[j]);
        }
    }
    if (sideBySide || !frameHoldsOnlyCheckboxes || checkboxes.size() < 2) {
        for (size_t i = 0; i < checkboxes.size(); ++i) {
            Place(checkboxes[i], grown[i]);
        }
        return;
    }

    // One column at the first checkbox's place and row pitch.
    const int pitch = original[1].top - original[0].top > 0 ? original[1].top - original[0].top
                                                            : original[0].bottom - original[0].top;
    int lowestBefore = 0;
    int lowestAfter = 0;
    for (size_t i = 0; i < checkboxes.size(); ++i) {
        RECT rect = grown[i];
        OffsetRect(&rect, original[0].left - rect.left,
                   original[0].top + static_cast<int>(i) * pitch - rect.top);
        Place(checkboxes[i], rect);
        lowestBefore = std::max(lowestBefore, static_cast<int>(original[i].bottom));
        lowestAfter = std::max(lowestAfter, static_cast<int>(rect.bottom));
    }
    RECT grownFrame = frameRect;
    grownFrame.bottom += lowestAfter - lowestBefore;
    Place(frame, grownFrame);
}
