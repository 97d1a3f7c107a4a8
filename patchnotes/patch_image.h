#pragma once

#include "common/site.h"
#include "patchnotes/patch_notes.h"

#include <cstdint>
#include <memory>
#include <string>

// Request path on the site for an img src as written in the page: a path
// taken as it is, an absolute address reduced to its path (its host is never
// contacted) or a name relative to "/patchnotes/". False when there is
// nothing to fetch: no src, inline "data:" images, the site's "emojis/", an
// address without a path, or control characters.
bool ResolvePatchImagePath(const std::string& src, std::string& path);

// Fetches the image of src from site. Empty when nothing was fetched.
std::shared_ptr<PatchImageData> FetchPatchImage(const std::string& src, const SiteAddress& site);

// The image block of one img tag text, its picture fetched from site. False
// when the tag makes no block (no src, "data:" or "emojis/"); an image that
// cannot be fetched still makes a block, without bytes.
bool MakeImageBlock(const std::string& tag, const SiteAddress& site, int32_t indent,
                    PatchNoteBlock& block);
