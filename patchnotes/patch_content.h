#pragma once

#include "common/site.h"
#include "patchnotes/patch_notes.h"

#include <cstdint>
#include <string>
#include <vector>

// Look of the paragraph being collected; each opening tag that starts a
// paragraph (li, h1 to h4, p) brings its own.
struct ParagraphStyle {
    bool bold = false;
    bool bullet = false;
    int32_t indent = 0;
    float fontSize = 13.0f;
    int32_t spaceBefore = 0;
    int32_t spaceAfter = 0;
};

// The paragraph pending while a note's content is scanned.
struct ParagraphState {
    bool open = false;
    ParagraphStyle style;
    std::string pending;  // UTF-8; source lines separated by '\n'
};

// Appends a run of page text to pending: entities decoded, line breaks kept
// (never two in a row, never at the start), blanks shrunk to one space.
void AppendTextRun(std::string& pending, const std::string& rawText);

// Ends the open paragraph: one block per non-empty line of its text, in its
// style, emoji removed. Does nothing when no paragraph is open.
void FlushParagraph(ParagraphState& state, std::vector<PatchNoteBlock>& blocks);

// Blocks of one note's content markup (UTF-8), images fetched from site.
std::vector<PatchNoteBlock> ParsePatchNoteContent(const std::string& html, const SiteAddress& site);
