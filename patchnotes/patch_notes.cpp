#include "patchnotes/patch_notes.h"

#include "patchnotes/html_scan.h"
#include "patchnotes/patch_content.h"
#include "patchnotes/patch_image.h"

#include <algorithm>
#include <iterator>

namespace {

bool HasImage(const std::vector<PatchNoteBlock>& blocks) {
    return std::any_of(blocks.begin(), blocks.end(),
                       [](const PatchNoteBlock& block) { return block.image != nullptr; });
}

// Blocks of one note (from its patch-note div up to the next one): the date
// line, the content, and a header picture when the content shows none.
std::vector<PatchNoteBlock> BuildNote(const std::string& section, const SiteAddress& site) {
    const size_t dateAt = FindDivContaining(section, "date");
    const size_t contentAt = FindDivContaining(section, "content");

    std::vector<PatchNoteBlock> blocks;
    if (contentAt != std::string::npos) {
        blocks = ParsePatchNoteContent(section.substr(contentAt), site);
    }
    if (!HasImage(blocks)) {
        const size_t lt = section.find("<img");
        const size_t gt = lt == std::string::npos ? lt : section.find('>', lt);
        PatchNoteBlock banner;
        if (gt != std::string::npos &&
            MakeImageBlock(section.substr(lt, gt - lt + 1), site, 0, banner)) {
            blocks.push_back(std::move(banner));
        }
    }
    if (blocks.empty()) {
        return blocks;  // nothing to show: the date goes too
    }

    const size_t dateEnd = dateAt == std::string::npos ? dateAt : section.find("</div>", dateAt);
    if (dateEnd != std::string::npos) {
        PatchNoteBlock date;
        date.text = HtmlToPlainText(section.substr(dateAt, dateEnd - dateAt));
        date.bold = true;
        blocks.insert(blocks.begin(), std::move(date));
    }
    return blocks;
}

}  // namespace

PatchNoteBlock MessageBlock(const std::wstring& text) {
    PatchNoteBlock block;
    block.text = text;
    return block;
}

std::string CutToShownPatchNotes(const std::string& page) {
    const size_t first = FindPatchNoteDiv(page, 0);
    if (first == std::string::npos) {
        return "No patch note found.";
    }
    size_t end = first;
    for (int note = 0; note < kMaxShownPatchNotes; ++note) {
        const size_t next = FindPatchNoteDiv(page, end + 1);
        if (next == std::string::npos) {
            end = page.size();
            break;
        }
        end = next;
    }
    return page.substr(first, end - first);
}

std::vector<PatchNoteBlock> BuildPatchNotes(const std::string& html, const SiteAddress& site) {
    std::vector<PatchNoteBlock> result;
    size_t start = FindPatchNoteDiv(html, 0);
    while (start != std::string::npos) {
        // Every div that mentions "patch-note" starts a note, even one nested
        // in another note.
        const size_t next = FindPatchNoteDiv(html, start + 1);
        const size_t end = next == std::string::npos ? html.size() : next;
        std::vector<PatchNoteBlock> note = BuildNote(html.substr(start, end - start), site);
        if (!note.empty()) {
            if (!result.empty()) {
                PatchNoteBlock spacer;
                spacer.fontSize = 8.0f;
                result.push_back(std::move(spacer));
            }
            result.insert(result.end(), std::make_move_iterator(note.begin()),
                          std::make_move_iterator(note.end()));
        }
        start = next;
    }
    if (result.empty()) {
        result.push_back(MessageBlock(L"No patch notes found."));
    }
    return result;
}

std::vector<PatchNoteBlock> BuildPatchNotes(const std::string& html) {
    return BuildPatchNotes(html, GameSiteAddress());
}
