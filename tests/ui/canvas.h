#pragma once

#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/gdiplus_session.h"
#include "ui/png_file.h"

// Base of the tests that draw: GDI+ runs for the length of each test.
class GdiplusTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(session_.ok()); }

  private:
    GdiplusSession session_;
};

// An off-screen 32-bit ARGB back buffer the size of the launcher window,
// cleared to transparent, with the window's anti-aliased smoothing.
class Canvas {
  public:
    Canvas(int width = 1280, int height = 720);

    Gdiplus::Graphics& graphics() { return *graphics_; }
    Gdiplus::Bitmap& bitmap() { return bitmap_; }
    Gdiplus::ARGB Pixel(int x, int y);
    // Pixels of rect within tolerance of colour (each channel, alpha included).
    int CountNear(const RECT& rect, Gdiplus::ARGB colour, int tolerance = 6);

  private:
    Gdiplus::Bitmap bitmap_;
    std::unique_ptr<Gdiplus::Graphics> graphics_;
};

// Channel-wise comparison with a tolerance for blending round-off.
bool NearColour(Gdiplus::ARGB actual, Gdiplus::ARGB expected, int tolerance = 3);
std::string ColourText(Gdiplus::ARGB colour);

// A bitmap of the given size in two colours (left half, right half), encoded
// as PNG bytes, as a patch-note image arrives from the site.
std::vector<uint8_t> MakePngBytes(int width, int height, Gdiplus::ARGB left = 0xFF2060A0,
                                  Gdiplus::ARGB right = 0xFFC08030);

// The PNG encoding of bitmap; empty on failure.
std::vector<uint8_t> EncodePng(Gdiplus::Bitmap& bitmap);
