#pragma once

#include "ui/element.h"

#include <functional>

// A picture stretched to the element's rectangle with a thin frame while
// hovered. Clicks on a release over it, whether enabled or not.
class UIIconButton : public UIElement {
  public:
    UIIconButton() = default;
    UIIconButton(const RECT& area, Gdiplus::Image* picture, std::function<void()> action = {})
        : UIElement(area), icon(picture), onClick(std::move(action)) {}

    void Draw(Gdiplus::Graphics& graphics) override;
    void OnMouseUp(int x, int y) override;

    Gdiplus::Image* icon = nullptr;  // not owned; may be null (then nothing is drawn)
    std::function<void()> onClick;
};
