#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

#include "patchnotes/patch_notes.h"

// Ids of the pictures embedded in the program (type RCDATA).
constexpr uint16_t kBackgroundImageId = 102;  // JPEG 1024 x 768
constexpr uint16_t kDiscordIconId = 103;      // PNG 512 x 512
constexpr uint16_t kLoginIconId = 104;        // PNG 585 x 585, the game's emblem
constexpr uint16_t kFacebookIconId = 105;     // PNG 512 x 512
constexpr uint16_t kSettingsIconId = 106;     // PNG 512 x 512, document symbol
constexpr uint16_t kEulaIconId = 107;         // PNG 512 x 512, certificate symbol
constexpr uint16_t kProgramIconId = 101;      // icon group, 16, 32 and 48 pixels

// Decodes the RCDATA resource id of the program's own module. Null when the
// resource is absent or cannot be decoded. GDI+ must be running.
std::unique_ptr<Gdiplus::Image> LoadResourceImage(uint16_t id);

// Decodes a patch-note image into a 32-bit ARGB bitmap of the image's own
// size. Empty when there are no bytes or they are not an image.
std::shared_ptr<Gdiplus::Bitmap> DecodePatchImage(const PatchImageData& data);
