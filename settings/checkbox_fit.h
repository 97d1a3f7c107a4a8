#pragma once

#include <windows.h>

#include <vector>

// Fits the checkboxes of one frame of the settings window to their captions
// as the window's font draws them. The layout's places and sizes stand where
// the captions fit. A checkbox whose caption is wider than the control grows
// to the caption's width. When the grown checkboxes of the frame no longer fit
// side by side (one reaching into another or out of the frame), and the frame
// holds checkboxes only, they stand one below the other in layout order at
// the first one's place and row pitch, and the frame grows to hold them.
void FitCheckboxes(HWND frame, const std::vector<HWND>& checkboxes, bool frameHoldsOnlyCheckboxes);
