#include "patchnotes/patch_content.h"

#include "common/text.h"
#include "patchnotes/html_scan.h"
#include "patchnotes/patch_image.h"

#include <algorithm>

namespace {

ParagraphStyle MakeStyle(bool bold, bool bullet, int32_t indent, float fontSize,
                         int32_t spaceBefore, int32_t spaceAfter) {
    ParagraphStyle style;
    style.bold = bold;
    style.bullet = bullet;
    style.indent = indent;
    style.fontSize = fontSize;
    style.spaceBefore = spaceBefore;
    style.spaceAfter = spaceAfter;
    return style;
}

// Style of the heading tags h1 to h4; false for any other name.
bool HeadingStyle(const std::string& name, ParagraphStyle& style) {
    if (name == "h1") {
        style = MakeStyle(true, false, 0, 18.0f, 7, 3);
    } else if (name == "h2") {
        style = MakeStyle(true, false, 0, 16.0f, 5, 3);
    } else if (name == "h3") {
        style = MakeStyle(true, false, 0, 14.0f, 4, 3);
    } else if (name == "h4") {
        style = MakeStyle(true, false, 0, 13.0f, 3, 3);
    } else {
        return false;
    }
    return true;
}

void OpenParagraph(ParagraphState& state, const ParagraphStyle& style) {
    state.open = true;
    state.style = style;
}

std::string TrimSpaces(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Walks one note's content tag by tag.
class ContentScanner {
  public:
    explicit ContentScanner(const SiteAddress& site) : site_(site) {}

    std::vector<PatchNoteBlock> Scan(const std::string& html) {
        size_t at = 0;
        for (;;) {
            const size_t lt = html.find('<', at);
            if (lt == std::string::npos) {
                AddText(html.substr(at));
                break;
            }
            AddText(html.substr(at, lt - at));
            const size_t gt = html.find('>', lt);
            if (gt == std::string::npos) {
                break;  // an unmatched "<": the rest is not text we can trust
            }
            HandleTag(html.substr(lt, gt - lt + 1));
            at = gt + 1;
        }
        FlushParagraph(state_, blocks_);
        return std::move(blocks_);
    }

  private:
    void AddText(const std::string& text) {
        if (text.empty()) {
            return;
        }
        if (!state_.open) {
            // Text outside any paragraph tag: inside a list item it continues
            // the item's look.
            const bool bold = inListItem_ && state_.style.bold;
            OpenParagraph(state_, MakeStyle(bold, inListItem_, listDepth_, 13.0f, 0, 0));
        }
        AppendTextRun(state_.pending, text);
    }

    void HandleTag(const std::string& tag) {
        const TagName tagName = ParseTagName(tag);
        const std::string& name = tagName.name;
        const bool opening = !tagName.closing;
        ParagraphStyle style;
        if (name == "ul" || name == "ol") {
            FlushParagraph(state_, blocks_);
            listDepth_ = opening ? listDepth_ + 1 : std::max(listDepth_ - 1, 0);
        } else if (name == "li") {
            FlushParagraph(state_, blocks_);
            inListItem_ = opening;
            if (opening) {
                OpenParagraph(state_, MakeStyle(false, true, std::max(listDepth_, 1), 13.0f, 0, 2));
            }
        } else if (HeadingStyle(name, style) || name == "p") {
            if (inListItem_) {
                return;  // a list item keeps its own look
            }
            FlushParagraph(state_, blocks_);
            if (opening) {
                OpenParagraph(state_,
                              name == "p" ? MakeStyle(false, false, 0, 13.0f, 0, 4) : style);
            }
        } else if (name == "img" && opening) {
            FlushParagraph(state_, blocks_);
            PatchNoteBlock block;
            if (MakeImageBlock(tag, site_, listDepth_, block)) {
                blocks_.push_back(std::move(block));
            }
        } else if (name == "br" && opening) {
            AppendTextRun(state_.pending, "\n");
        }
    }

    const SiteAddress& site_;
    ParagraphState state_;
    std::vector<PatchNoteBlock> blocks_;
    int32_t listDepth_ = 0;
    bool inListItem_ = false;
};

}  // namespace

void AppendTextRun(std::string& pending, const std::string& rawText) {
    const std::string text = DecodeHtmlEntities(rawText);
    bool afterSpace = pending.empty() || pending.back() == ' ' || pending.back() == '\n';
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            if (!pending.empty() && pending.back() != '\n') {
                pending += '\n';
            }
            afterSpace = true;
        } else if (c == ' ' || c == '\t') {
            if (!afterSpace) {
                pending += ' ';
            }
            afterSpace = true;
        } else {
            pending += c;
            afterSpace = false;
        }
    }
}

void FlushParagraph(ParagraphState& state, std::vector<PatchNoteBlock>& blocks) {
    if (!state.open) {
        return;
    }
    size_t lineStart = 0;
    while (lineStart <= state.pending.size()) {
        size_t lineEnd = state.pending.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            lineEnd = state.pending.size();
        }
        const std::string line = TrimSpaces(state.pending.substr(lineStart, lineEnd - lineStart));
        lineStart = lineEnd + 1;
        if (line.empty()) {
            continue;
        }
        std::wstring text = StripEmoji(Utf8ToWide(line));
        if (text.empty()) {
            continue;
        }
        PatchNoteBlock block;
        block.text = std::move(text);
        block.bold = state.style.bold;
        block.bullet = state.style.bullet;
        block.indent = state.style.indent;
        block.fontSize = state.style.fontSize;
        block.spaceBefore = state.style.spaceBefore;
        block.spaceAfter = state.style.spaceAfter;
        blocks.push_back(std::move(block));
    }
    state.pending.clear();
    state.open = false;
}

std::vector<PatchNoteBlock> ParsePatchNoteContent(const std::string& html,
                                                  const SiteAddress& site) {
    return ContentScanner(site).Scan(html);
}
