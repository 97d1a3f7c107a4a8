#include "ui/images.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tests/ui/canvas.h"

namespace {

class ResourceImages : public GdiplusTest {};

TEST_F(ResourceImages, EachEmbeddedPictureDecodesWithItsSize) {
    struct Case {
        uint16_t id;
        UINT width, height;
        bool alpha;
    };
    const Case cases[] = {{102, 1024, 768, false}, {103, 512, 512, true}, {104, 585, 585, true},
                          {105, 512, 512, true},   {106, 512, 512, true}, {107, 512, 512, true}};
    for (const Case& c : cases) {
        const auto image = LoadResourceImage(c.id);
        ASSERT_NE(image, nullptr) << c.id;
        EXPECT_EQ(image->GetWidth(), c.width) << c.id;
        EXPECT_EQ(image->GetHeight(), c.height) << c.id;
        EXPECT_EQ((image->GetPixelFormat() & PixelFormatAlpha) != 0, c.alpha) << c.id;
        if (c.alpha) {
            // Transparent outside the symbol's tile or medallion, opaque in the middle.
            Gdiplus::Bitmap* bitmap = static_cast<Gdiplus::Bitmap*>(image.get());
            Gdiplus::Color corner;
            Gdiplus::Color middle;
            ASSERT_EQ(bitmap->GetPixel(0, 0, &corner), Gdiplus::Ok);
            ASSERT_EQ(bitmap->GetPixel(c.width / 2, c.height / 2, &middle), Gdiplus::Ok);
            EXPECT_EQ(corner.GetA(), 0) << c.id;
            EXPECT_EQ(middle.GetA(), 255) << c.id;
        }
    }
}

TEST_F(ResourceImages, AbsentOrNonRcdataIdGivesNull) {
    for (uint16_t id : {0, 1, 100, 101, 108, 9999}) {
        EXPECT_EQ(LoadResourceImage(id), nullptr) << id;
    }
}

// The icon group holds 16, 32 and 48 pixel icons in 32 bits per pixel.
TEST(ProgramIcon, GroupHoldsThreeSizesWithAlphaBesideThePictures) {
#pragma pack(push, 2)
    struct GroupEntry {
        BYTE width, height, colours, reserved;
        WORD planes, bitCount;
        DWORD bytes;
        WORD id;
    };
    struct GroupHeader {
        WORD reserved, type, count;
    };
#pragma pack(pop)
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceExW(module, RT_GROUP_ICON, MAKEINTRESOURCEW(kProgramIconId),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_NE(found, nullptr);
    const auto* header = static_cast<const GroupHeader*>(LockResource(LoadResource(module, found)));
    ASSERT_NE(header, nullptr);
    const auto* entries = reinterpret_cast<const GroupEntry*>(header + 1);
    std::set<int> sizes;
    for (WORD i = 0; i < header->count; ++i) {
        EXPECT_EQ(entries[i].bitCount, 32) << "entry " << i;
        EXPECT_EQ(entries[i].width, entries[i].height) << "entry " << i;
        sizes.insert(entries[i].width);
    }
    EXPECT_EQ(sizes, (std::set<int>{16, 32, 48}));
    HICON icon = static_cast<HICON>(
        LoadImageW(module, MAKEINTRESOURCEW(kProgramIconId), IMAGE_ICON, 32, 32, 0));
    EXPECT_NE(icon, nullptr);
    if (icon) {
        DestroyIcon(icon);
    }
    for (WORD id = 102; id <= 107; ++id) {
        EXPECT_NE(FindResourceExW(module, RT_RCDATA, MAKEINTRESOURCEW(id),
                                  MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
                  nullptr)
            << id;
    }
}

class PatchImageDecode : public GdiplusTest {};

TEST_F(PatchImageDecode, GivesAnArgbBitmapOfTheImagesOwnSize) {
    PatchImageData data;
    data.bytes = MakePngBytes(37, 23, 0xFF2060A0, 0xFFC08030);
    ASSERT_FALSE(data.bytes.empty());
    const auto bitmap = DecodePatchImage(data);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->GetWidth(), 37u);
    EXPECT_EQ(bitmap->GetHeight(), 23u);
    EXPECT_EQ(bitmap->GetPixelFormat(), PixelFormat32bppARGB);
    Gdiplus::Color left;
    Gdiplus::Color right;
    bitmap->GetPixel(2, 10, &left);
    bitmap->GetPixel(34, 10, &right);
    EXPECT_TRUE(NearColour(left.GetValue(), 0xFF2060A0)) << ColourText(left.GetValue());
    EXPECT_TRUE(NearColour(right.GetValue(), 0xFFC08030)) << ColourText(right.GetValue());
    // Independent of the bytes it came from.
    data.bytes.assign(data.bytes.size(), 0);
    EXPECT_EQ(bitmap->GetWidth(), 37u);
}

TEST_F(PatchImageDecode, NoBytesOrGarbageGiveEmptyEveryTime) {
    const std::vector<std::vector<uint8_t>> inputs = {
        {},
        {'n', 'o', 't', ' ', 'a', 'n', ' ', 'i', 'm', 'a', 'g', 'e'},
        {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13},  // cut after the signature
    };
    for (const auto& bytes : inputs) {
        PatchImageData data;
        data.bytes = bytes;
        EXPECT_EQ(DecodePatchImage(data), nullptr) << bytes.size();
        EXPECT_EQ(DecodePatchImage(data), nullptr) << bytes.size() << ", second try";
    }
    // A PNG cut in half does not decode either.
    PatchImageData cut;
    cut.bytes = MakePngBytes(64, 64);
    cut.bytes.resize(cut.bytes.size() / 2);
    EXPECT_EQ(DecodePatchImage(cut), nullptr);
}

}  // namespace
