#include "ui/images.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "tests/ui/canvas.h"

namespace {

class ResourceImages : public GdiplusTest {};

TEST_F(ResourceImages, EachEmbeddedPictureHasTheSizeItIsShownAt) {
    // The backdrop fills the window and is opaque but for its last column
    // and row, which the scaled background leaves translucent.
    const auto backdrop = LoadResourceImage(kBackdropImageId);
    ASSERT_NE(backdrop, nullptr);
    EXPECT_EQ(backdrop->GetWidth(), 1280u);
    EXPECT_EQ(backdrop->GetHeight(), 720u);
    Gdiplus::Color inside;
    Gdiplus::Color edge;
    ASSERT_EQ(backdrop->GetPixel(1278, 718, &inside), Gdiplus::Ok);
    ASSERT_EQ(backdrop->GetPixel(1279, 360, &edge), Gdiplus::Ok);
    EXPECT_EQ(inside.GetA(), 255);
    EXPECT_LT(edge.GetA(), 255);
    // Each icon is an opaque 48-pixel tile: drawn without blending, it
    // covers its square of the backdrop exactly.
    for (uint16_t id :
         {kDiscordIconId, kLoginIconId, kFacebookIconId, kSettingsIconId, kEulaIconId}) {
        const auto icon = LoadResourceImage(id);
        ASSERT_NE(icon, nullptr) << id;
        EXPECT_EQ(icon->GetWidth(), 48u) << id;
        EXPECT_EQ(icon->GetHeight(), 48u) << id;
        Gdiplus::Color corner;
        ASSERT_EQ(icon->GetPixel(0, 0, &corner), Gdiplus::Ok);
        EXPECT_EQ(corner.GetA(), 255) << id;
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
