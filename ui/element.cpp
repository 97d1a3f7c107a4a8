#include "ui/element.h"

bool UIElement::OnMouseMove(int x, int y) {
    hovered = HitTest(x, y);
    return hovered;
}

void UIElement::OnMouseDown(int, int) {}

void UIElement::OnMouseUp(int, int) {}

bool UIElement::HitTest(int x, int y) const {
    const POINT point = {x, y};
    return PtInRect(&bounds, point) != FALSE;
}
