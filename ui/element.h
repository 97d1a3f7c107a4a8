#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>

// Colours shared by the elements (ARGB).
constexpr Gdiplus::ARGB TextColor = 0xFFF0F0F0;    // label, button and patch-note text
constexpr Gdiplus::ARGB AccentColor = 0xFF008CFF;  // hovered border, bullets, image frame
// The face of a button at rest and the bar of an image toggle.
constexpr Gdiplus::ARGB ControlFillColor = 0xEB1F2428;

// A retained element of the launcher window: a rectangle in client pixels, a
// few flags and a Draw that paints onto the window's back buffer. The window
// procedure paints the visible elements in list order and offers them every
// mouse move, press and release; each element decides whether it concerns it.
class UIElement {
  public:
    UIElement() = default;
    explicit UIElement(const RECT& area) : bounds(area) {}
    virtual ~UIElement() = default;

    UIElement(const UIElement&) = delete;
    UIElement& operator=(const UIElement&) = delete;

    virtual void Draw(Gdiplus::Graphics& graphics) = 0;
    // Sets hovered to whether the point hits the element and returns it.
    virtual bool OnMouseMove(int x, int y);
    virtual void OnMouseDown(int x, int y);
    virtual void OnMouseUp(int x, int y);
    // Left and top edges are inside, right and bottom edges outside.
    virtual bool HitTest(int x, int y) const;

    RECT bounds = {0, 0, 0, 0};
    bool visible = true;
    bool enabled = true;
    bool hovered = false;
};
