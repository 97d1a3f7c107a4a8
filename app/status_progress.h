#pragma once

#include <string>

// The percentage a progress text carries ("Downloading... 7% (3.2 KB/s)"
// gives 0.07). False when the text is no progress text (it names none of
// "Downloading", "Opening archive", "Extracting"), has no "%", or has no space
// before its first "%". The value is not clamped.
bool ParseStatusProgress(const std::wstring& text, float& progress);
