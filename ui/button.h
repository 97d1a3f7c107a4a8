#pragma once

#include "ui/element.h"

#include <functional>
#include <string>

// A rounded button with centred bold text. It clicks on a release over it
// while enabled; where the press happened does not matter.
class UIButton : public UIElement {
  public:
    UIButton() = default;
    UIButton(const RECT& area, std::wstring caption, std::function<void()> action = {})
        : UIElement(area), text(std::move(caption)), onClick(std::move(action)) {}

    void Draw(Gdiplus::Graphics& graphics) override;
    void OnMouseUp(int x, int y) override;

    std::wstring text;
    std::function<void()> onClick;
};
