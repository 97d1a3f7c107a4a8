#pragma once

#include "ui/element.h"

// A flat bar filled from the left by progress (0 to 1; not clamped here).
class UIProgressBar : public UIElement {
  public:
    UIProgressBar() = default;
    explicit UIProgressBar(const RECT& area) : UIElement(area) {}

    void Draw(Gdiplus::Graphics& graphics) override;

    float progress = 0.0f;
};
