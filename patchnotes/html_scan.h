#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Small, forgiving scans over the UTF-8 bytes of a page. None of them parses
// HTML; each looks for a few literals. Positions are byte offsets, and a
// search that finds nothing returns std::string::npos.

// Position of the next "<div" at or after from whose opening tag (lower-cased,
// at least 10 bytes) mentions "patch-note" anywhere.
size_t FindPatchNoteDiv(const std::string& html, size_t from);

// Position just after the first div opening tag whose lower-cased text
// contains word ("date", "content").
size_t FindDivContaining(const std::string& html, const std::string& word);

// Decodes the named entities the site uses (in any letter case) and decimal
// and hex character references. Unknown, malformed or over-long entities and
// a bare "&" are copied through as written; "&nbsp;" becomes a plain space.
std::string DecodeHtmlEntities(const std::string& text);

// Appends codePoint as UTF-8; a value above U+10FFFF appends nothing.
void AppendUtf8(std::string& out, uint32_t codePoint);

// Text of a piece of markup: tags dropped, entities decoded, every run of
// blanks and line breaks one space, trimmed.
std::wstring HtmlToPlainText(const std::string& html);

// Removes emoji (U+1F000 to U+1FAFF), symbols and dingbats (U+2600 to
// U+27BF), variation selectors and zero-width joiners, then trims spaces and
// tabs. Lone surrogates are kept.
std::wstring StripEmoji(const std::wstring& text);

// Raw value of attribute name in a tag text ("<" to ">" inclusive), quoted or
// not, letter case kept and not entity-decoded; empty when it is missing.
std::string GetTagAttribute(const std::string& tag, const std::string& name);

struct TagName {
    std::string name;  // lower-case letters and digits; empty for comments and declarations
    bool closing = false;
};

// Name of a tag text: "<br/>" is "br", "</ LI>" a closing "li".
TagName ParseTagName(const std::string& tag);
