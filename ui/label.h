#pragma once

#include "ui/element.h"

#include <string>

// Plain word-wrapped text at the top left of the element's rectangle.
class UILabel : public UIElement {
  public:
    UILabel() = default;
    UILabel(const RECT& area, std::wstring caption) : UIElement(area), text(std::move(caption)) {}

    void Draw(Gdiplus::Graphics& graphics) override;

    std::wstring text;
    float fontSize = 14.0f;  // points
};
