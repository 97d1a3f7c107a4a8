#pragma once

#include "common/site.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Gdiplus {
class Bitmap;
}

// One image referenced by the patch notes, shared between the block list and
// the view that shows it.
struct PatchImageData {
    std::vector<uint8_t> bytes;  // encoded image as fetched; empty when the fetch failed
    std::wstring url;            // request path fetched, or the src as written when it failed
    std::wstring altText;
    bool expanded = true;                     // picture shown, not only its toggle bar
    std::shared_ptr<Gdiplus::Bitmap> bitmap;  // decoded by the view when first shown
    bool undecodable = false;                 // decoding failed once: not tried again
};

// One display block of the patch notes: a text line, a heading, a list item,
// a spacer or, when image is set, an image.
struct PatchNoteBlock {
    std::wstring text;
    bool bold = false;
    int32_t indent = 0;  // list nesting level
    bool bullet = false;
    float fontSize = 13.0f;  // points
    int32_t spaceBefore = 0;
    int32_t spaceAfter = 0;
    std::shared_ptr<PatchImageData> image;
};

// The notes shown at most; the page is cut where the next one would begin.
constexpr int kMaxShownPatchNotes = 8;

// The part of the page to show: from the first note to the start of the
// ninth, or to the end of the page. A page without any note gives the text
// "No patch note found.", which BuildPatchNotes shows as its no-notes block.
std::string CutToShownPatchNotes(const std::string& page);

// Display blocks of a patch-notes page (UTF-8), with every referenced image
// fetched from site, one after another. Never empty: a page without a usable
// note gives the single block "No patch notes found.".
std::vector<PatchNoteBlock> BuildPatchNotes(const std::string& html, const SiteAddress& site);

// The same, with the images fetched from the game web site.
std::vector<PatchNoteBlock> BuildPatchNotes(const std::string& html);

// A plain text line in the style of the view's messages ("No patch notes
// found.", "Failed to fetch patch notes.").
PatchNoteBlock MessageBlock(const std::wstring& text);
