#pragma once

#include "patchnotes/patch_notes.h"

#include <cmath>
#include <string>
#include <vector>

// One line per block, so that a whole block list reads as the view would lay
// it out:
//   "B* i1 13 0/2 |text"   bold, bullet, indent, size, space before/after
//   "IMG i0 6/8 /path 3 bytes alt=Logo"
inline std::wstring BlockText(const PatchNoteBlock& block) {
    if (block.image) {
        return L"IMG i" + std::to_wstring(block.indent) + L" " +
               std::to_wstring(block.spaceBefore) + L"/" + std::to_wstring(block.spaceAfter) +
               L" " + block.image->url + L" " + std::to_wstring(block.image->bytes.size()) +
               L" bytes alt=" + block.image->altText + (block.image->expanded ? L"" : L" folded");
    }
    std::wstring size = std::to_wstring(static_cast<int>(block.fontSize));
    if (std::floor(block.fontSize) != block.fontSize) {
        size = std::to_wstring(block.fontSize);
    }
    return std::wstring(block.bold ? L"B" : L"-") + (block.bullet ? L"*" : L"-") + L" i" +
           std::to_wstring(block.indent) + L" " + size + L" " + std::to_wstring(block.spaceBefore) +
           L"/" + std::to_wstring(block.spaceAfter) + L" |" + block.text;
}

inline std::vector<std::wstring> BlockTexts(const std::vector<PatchNoteBlock>& blocks) {
    std::vector<std::wstring> texts;
    for (const PatchNoteBlock& block : blocks) {
        texts.push_back(BlockText(block));
    }
    return texts;
}
