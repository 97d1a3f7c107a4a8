#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A picture as 32-bit ARGB pixels (straight alpha, the layout of GDI+'s
// PixelFormat32bppARGB), rows top to bottom.
struct ArgbPixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
};

// Decodes the program's own pictures without the system's imaging codecs,
// whose start-up costs the first frame tens of milliseconds: a PNG of 8 bits a
// channel, RGBA, not interlaced (what the artwork scripts write). Rows are
// inflated one at a time straight into the pixels, so nothing but the pixels
// is held. False, with out untouched, for any other PNG or damaged bytes.
bool DecodeArtworkPng(const uint8_t* bytes, size_t size, ArgbPixels& out);
