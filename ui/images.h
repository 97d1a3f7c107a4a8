#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

#include "patchnotes/patch_notes.h"
#include "resources/resource.h"
#include "ui/artwork_png.h"

// Ids of the pictures embedded in the program (type RCDATA), each at the
// size the window shows it at.
// PNG 1280 x 720: the background scaled to the window with the translucent
// panel behind the patch notes drawn over it (MakeBackdrop).
constexpr uint16_t kBackdropImageId = IDR_BACKDROP;
// The icons: PNG 48 x 48, each an opaque tile of the icon drawn over its
// square of the backdrop.
constexpr uint16_t kDiscordIconId = IDR_DISCORD_TILE;
constexpr uint16_t kLoginIconId = IDR_LOGIN_TILE;
constexpr uint16_t kFacebookIconId = IDR_FACEBOOK_TILE;
constexpr uint16_t kSettingsIconId = IDR_SETTINGS_TILE;
constexpr uint16_t kEulaIconId = IDR_EULA_TILE;
constexpr uint16_t kProgramIconId = IDI_LAUNCHER;  // icon group

// Decodes the RCDATA resource id of the program's own module
// (DecodeArtworkPng). False when the resource is absent or cannot be decoded.
bool LoadResourcePixels(uint16_t id, ArgbPixels& out);

// The same as a GDI+ bitmap of its own. Null when the resource is absent or
// cannot be decoded. GDI+ must be running.
std::unique_ptr<Gdiplus::Bitmap> LoadResourceImage(uint16_t id);

// The most pixels a patch-note picture may have (a decoded picture takes four
// bytes a pixel, and a small file can claim a huge one).
constexpr uint64_t kMaxPatchImagePixels = 16u * 1000 * 1000;

// Decodes a patch-note image into a 32-bit ARGB bitmap of the image's own
// size. Empty when there are no bytes, they are not an image, or the image
// has more than kMaxPatchImagePixels pixels.
std::shared_ptr<Gdiplus::Bitmap> DecodePatchImage(const PatchImageData& data);

// How the patch-notes view decodes its pictures (DecodePatchImage).
using PatchImageDecoder = std::shared_ptr<Gdiplus::Bitmap> (*)(const PatchImageData&);
