#include "ui/artwork_png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <vector>

namespace {

void Append32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void AppendChunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
    Append32(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    Append32(png, static_cast<uint32_t>(crc32(0, png.data() + start, png.size() - start)));
}

// A PNG of width x height RGBA samples, row y filtered with filter y % 5 as
// an encoder would (the first row marked with an unknown filter if asked);
// its image data split over two IDAT chunks.
std::vector<uint8_t> FilteredPng(int width, int height, const std::vector<uint8_t>& rgba,
                                 uint8_t colourType = 6, bool unknownFilter = false) {
    const size_t stride = static_cast<size_t>(width) * 4;
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        const uint8_t filter = static_cast<uint8_t>(y % 5);
        raw.push_back(y == 0 && unknownFilter ? 5 : filter);
        const uint8_t* row = &rgba[y * stride];
        const uint8_t* above = y > 0 ? row - stride : nullptr;
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= 4 ? row[i - 4] : 0;
            const int b = above ? above[i] : 0;
            const int c = above && i >= 4 ? above[i - 4] : 0;
            const int p = a + b - c;
            const int paeth = std::abs(p - a) <= std::abs(p - b) && std::abs(p - a) <= std::abs(p - c)
                                  ? a
                                  : (std::abs(p - b) <= std::abs(p - c) ? b : c);
            const int predictions[5] = {0, a, b, (a + b) / 2, paeth};
            raw.push_back(static_cast<uint8_t>(row[i] - predictions[filter]));
        }
    }
    std::vector<uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
    uLongf packedSize = static_cast<uLongf>(packed.size());
    compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
    packed.resize(packedSize);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    Append32(header, static_cast<uint32_t>(width));
    Append32(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, colourType, 0, 0, 0});
    AppendChunk(png, "IHDR", header);
    AppendChunk(png, "pHYs", std::vector<uint8_t>(9, 0));
    const auto middle = packed.begin() + static_cast<ptrdiff_t>(packed.size() / 2);
    AppendChunk(png, "IDAT", std::vector<uint8_t>(packed.begin(), middle));
    AppendChunk(png, "IDAT", std::vector<uint8_t>(middle, packed.end()));
    AppendChunk(png, "IEND", {});
    return png;
}

std::vector<uint8_t> Samples(int width, int height) {
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    uint32_t state = 12345;
    for (uint8_t& sample : rgba) {
        state = state * 1103515245u + 12345u;
        sample = static_cast<uint8_t>(state >> 16);
    }
    return rgba;
}

}  // namespace

TEST(ArtworkPng, EveryFilterGivesBackTheSamplesAsArgb) {
    const int width = 64;
    const int height = 10;  // each filter twice
    const std::vector<uint8_t> rgba = Samples(width, height);
    const std::vector<uint8_t> png = FilteredPng(width, height, rgba);
    ArgbPixels picture;
    ASSERT_TRUE(DecodeArtworkPng(png.data(), png.size(), picture));
    ASSERT_EQ(picture.width, width);
    ASSERT_EQ(picture.height, height);
    for (size_t i = 0; i < picture.pixels.size(); ++i) {
        const uint8_t* s = &rgba[i * 4];
        const uint32_t expected = static_cast<uint32_t>(s[3]) << 24 | s[0] << 16 | s[1] << 8 | s[2];
        ASSERT_EQ(picture.pixels[i], expected) << "pixel " << i;
    }
}

TEST(ArtworkPng, DamageOrAnotherFormGivesFalseAndLeavesTheOutputAlone) {
    const std::vector<uint8_t> rgba = Samples(5, 4);
    const std::vector<uint8_t> good = FilteredPng(5, 4, rgba);
    std::vector<std::vector<uint8_t>> bad = {
        FilteredPng(5, 4, rgba, 2),     // RGB without alpha
        FilteredPng(5, 4, rgba, 6, true),  // a filter that does not exist
    };
    for (size_t cut = 0; cut < good.size() - 12; cut += 9) {  // short of IEND
        bad.emplace_back(good.begin(), good.begin() + static_cast<ptrdiff_t>(cut));
    }
    for (size_t i = 0; i < bad.size(); ++i) {
        ArgbPixels picture;
        picture.width = 99;
        EXPECT_FALSE(DecodeArtworkPng(bad[i].data(), bad[i].size(), picture)) << "case " << i;
        EXPECT_EQ(picture.width, 99) << "case " << i;
        EXPECT_TRUE(picture.pixels.empty()) << "case " << i;
    }
}
