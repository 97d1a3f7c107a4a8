#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <vector>

#include "patchnotes/patch_notes.h"
#include "ui/patch_notes_layout.h"
#include "ui/patch_notes_text.h"

// Paints the patch-notes view laid out as layout: the panel over bounds, the
// blocks clipped to it, and the scroll bar. Blocks that lie outside the rows
// the graphics can show are skipped.
void PaintPatchNotes(Gdiplus::Graphics& graphics, const NotesText& text, const RECT& bounds,
                     const std::vector<PatchNoteBlock>& blocks, const NotesLayout& layout);
