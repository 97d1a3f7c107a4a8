#include "ui/artwork_png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <vector>

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void Chunk(std::vector<uint8_t>& png, const char* type, std::vector<uint8_t> data) {
    data.insert(data.begin(), type, type + 4);
    Put32(png, static_cast<uint32_t>(data.size() - 4));
    png.insert(png.end(), data.begin(), data.end());
    Put32(png, static_cast<uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
}

// A PNG of the RGBA samples, width pixels a row, row y filtered as an
// encoder would with filter y % 5, its image data in two IDAT chunks.
std::vector<uint8_t> Png(uint8_t width, const std::vector<uint8_t>& rgba, uint8_t colourType = 6) {
    const size_t stride = width * 4u;
    std::vector<uint8_t> raw;
    for (size_t y = 0; y * stride < rgba.size(); ++y) {
        raw.push_back(static_cast<uint8_t>(y % 5));
        for (size_t i = y * stride; i < (y + 1) * stride; ++i) {
            const int a = i % stride >= 4 ? rgba[i - 4] : 0;
            const int b = y > 0 ? rgba[i - stride] : 0;
            const int c = y > 0 && i % stride >= 4 ? rgba[i - stride - 4] : 0;
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            const int paeth = pa <= pb && pa <= pc ? a : (pb <= pc ? b : c);
            const int predicted[5] = {0, a, b, (a + b) / 2, paeth};
            raw.push_back(static_cast<uint8_t>(rgba[i] - predicted[y % 5]));
        }
    }
    std::vector<uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf size = static_cast<uLongf>(packed.size());
    compress(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const auto rows = static_cast<uint8_t>(rgba.size() / stride);
    Chunk(png, "IHDR", {0, 0, 0, width, 0, 0, 0, rows, 8, colourType, 0, 0, 0});
    Chunk(png, "IDAT", {packed.begin(), packed.begin() + size / 2});
    Chunk(png, "IDAT", {packed.begin() + size / 2, packed.begin() + size});
    Chunk(png, "IEND", {});
    return png;
}

}  // namespace

// Every filter gives back the samples; another form or damaged bytes give
// false and leave the output alone.
TEST(ArtworkPng, DecodesEveryFilterAndRefusesWhatItCannotRead) {
    std::vector<uint8_t> rgba(64 * 10 * 4);  // each filter twice
    uint32_t state = 12345;
    for (uint8_t& sample : rgba) {
        state = state * 1103515245u + 12345u;
        sample = static_cast<uint8_t>(state >> 16);
    }
    const std::vector<uint8_t> good = Png(64, rgba);
    ArgbPixels picture;
    ASSERT_TRUE(DecodeArtworkPng(good.data(), good.size(), picture));
    ASSERT_EQ(picture.width, 64);
    ASSERT_EQ(picture.height, 10);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const uint8_t* s = &rgba[i * 4];
        ASSERT_EQ(picture.pixels[i], uint32_t{s[3]} << 24 | s[0] << 16 | s[1] << 8 | s[2]) << i;
    }

    std::vector<std::vector<uint8_t>> bad = {Png(64, rgba, 2)};  // RGB
    for (size_t cut = 0; cut < good.size() - 12; cut += 97) {    // short of IEND
        bad.emplace_back(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut));
    }
    for (size_t i = 0; i < bad.size(); ++i) {
        picture.width = 99;
        EXPECT_FALSE(DecodeArtworkPng(bad[i].data(), bad[i].size(), picture)) << i;
        EXPECT_EQ(picture.width, 99) << i;
    }
}
