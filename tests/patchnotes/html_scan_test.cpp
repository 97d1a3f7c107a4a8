#include "patchnotes/html_scan.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const size_t npos = std::string::npos;

}  // namespace

TEST(FindPatchNoteDiv, FindsEachNoteDivInTurn) {
    const std::string page =
        "<html><div class=\"header\">Top</div>\n"
        "<div class=\"patch-note\">one</div>\n"
        "<DIV class=\"patch-note\">the search for the tag itself is exact</DIV>\n"
        "<section class=\"patch-note\">not a div</section>\n"
        "<div ID='Patch-Note-2'>two</div>\n"
        "<div data-kind=\"patch-notes\">three</div></html>";
    const size_t first = FindPatchNoteDiv(page, 0);
    ASSERT_EQ(first, page.find("<div class=\"patch-note\">"));
    const size_t second = FindPatchNoteDiv(page, first + 1);
    ASSERT_EQ(second, page.find("<div ID='Patch-Note-2'>"));
    const size_t third = FindPatchNoteDiv(page, second + 1);
    ASSERT_EQ(third, page.find("<div data-kind"));
    EXPECT_EQ(FindPatchNoteDiv(page, third + 1), npos);
    EXPECT_EQ(FindPatchNoteDiv(page, first), first);
}

TEST(FindPatchNoteDiv, ShortPagesFarStartsAndUnclosedTagsFindNothing) {
    EXPECT_EQ(FindPatchNoteDiv("", 0), npos);
    EXPECT_EQ(FindPatchNoteDiv("<di", 0), npos);
    EXPECT_EQ(FindPatchNoteDiv("<div class=\"patch-note\"", 0), npos);
    const std::string page = "<div class=\"patch-note\">x</div>";
    EXPECT_EQ(FindPatchNoteDiv(page, page.size()), npos);
    EXPECT_EQ(FindPatchNoteDiv(page, npos), npos);
    // The word must be inside the tag, not in the text after it.
    EXPECT_EQ(FindPatchNoteDiv("<div>patch-note</div>", 0), npos);
}

TEST(FindDivContaining, GivesThePositionAfterTheFirstMatchingDiv) {
    const std::string note =
        "<div class=\"patch-note\"><div class=\"Note-Date\">1 May</div>"
        "<div class=\"content\">text</div><div class=\"content-2\"></div></div>";
    EXPECT_EQ(FindDivContaining(note, "date"), note.find("1 May"));
    EXPECT_EQ(FindDivContaining(note, "content"), note.find("text"));
    EXPECT_EQ(FindDivContaining(note, "footer"), npos);
    EXPECT_EQ(FindDivContaining("<span class=\"date\">1 May</span>", "date"), npos);
}

TEST(DecodeHtmlEntities, NamedEntitiesInAnyCase) {
    EXPECT_EQ(DecodeHtmlEntities("&AMP; &amp; &Lt;b&gt; &quot;q&quot; &apos;"), "& & <b> \"q\" '");
    EXPECT_EQ(DecodeHtmlEntities("a&nbsp;b"), "a b");
    EXPECT_EQ(DecodeHtmlEntities("&ndash;&mdash;&hellip;&bull;"),
              "\xE2\x80\x93\xE2\x80\x94\xE2\x80\xA6\xE2\x80\xA2");
}

TEST(DecodeHtmlEntities, CharacterReferences) {
    EXPECT_EQ(DecodeHtmlEntities("&#65;&#x41;&#X41;&#x00e9;"), "AAA\xC3\xA9");
    EXPECT_EQ(DecodeHtmlEntities("&#x1F600;"), "\xF0\x9F\x98\x80");
    // Above U+10FFFF the entity vanishes, also when the number overflows.
    EXPECT_EQ(DecodeHtmlEntities("a&#x110000;b&#9999999999;c"), "abc");
    // Not a number that ends at the ";": copied as written.
    EXPECT_EQ(DecodeHtmlEntities("&#;&#x;&#12a;&#xZZ;"), "&#;&#x;&#12a;&#xZZ;");
}

TEST(DecodeHtmlEntities, WhatIsNotAnEntityPassesThrough) {
    EXPECT_EQ(DecodeHtmlEntities("&foo; &Unknown;"), "&foo; &Unknown;");
    EXPECT_EQ(DecodeHtmlEntities("&verylongname12;"), "&verylongname12;");
    // Names are at most 11 bytes: an 11-byte reference decodes, a 12-byte one
    // is copied as written.
    EXPECT_EQ(DecodeHtmlEntities("&#0000000065;|&#00000000065;"), "A|&#00000000065;");
    EXPECT_EQ(DecodeHtmlEntities("a & b"), "a & b");
    EXPECT_EQ(DecodeHtmlEntities("Q&A"), "Q&A");
    EXPECT_EQ(DecodeHtmlEntities("end&"), "end&");
    // A bare "&" far before a ";" does not swallow the text between them.
    EXPECT_EQ(DecodeHtmlEntities("Tom & Jerry are friends; &lt;3"), "Tom & Jerry are friends; <3");
}

TEST(AppendUtf8, EncodesEveryLengthAndDropsTooLargeValues) {
    std::string out;
    for (uint32_t cp : {0x41u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xFFFFu, 0x10000u, 0x10FFFFu,
                        0x110000u, 0xFFFFFFFFu}) {
        AppendUtf8(out, cp);
    }
    EXPECT_EQ(out,
              "A\x7F"
              "\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
}

TEST(HtmlToPlainText, DropsTagsDecodesAndCollapsesBlanks) {
    EXPECT_EQ(HtmlToPlainText("\r\n  <span class=\"d\">March&nbsp;&nbsp;3,</span>\t\n<b>2024</b> "),
              L"March 3, 2024");
    EXPECT_EQ(HtmlToPlainText("Caf\xC3\xA9 &ndash; <i>Update</i>"), L"Caf\u00E9 \u2013 Update");
    EXPECT_EQ(HtmlToPlainText("<img src=\"x.png\"> \n "), L"");
    // An entity spelling out a bracket is text, not markup.
    EXPECT_EQ(HtmlToPlainText("&lt;b&gt;"), L"<b>");
}

TEST(StripEmoji, DropsEmojiSymbolsAndJoinersOnly) {
    EXPECT_EQ(StripEmoji(L" \tNew \U0001F600 mount\U0001F525\t "), L"New  mount");
    EXPECT_EQ(StripEmoji(L"\u2714\uFE0F Fixed \u2600\u27BF\u200D\uFE0E"), L"Fixed");
    // Range edges: U+1F000 and U+1FAFF go, their neighbours stay.
    EXPECT_EQ(StripEmoji(L"\U0001EFFF\U0001F000\U0001FAFF\U0001FB00"), L"\U0001EFFF\U0001FB00");
    EXPECT_EQ(StripEmoji(L"\u25FF\u27C0\u00E9"), L"\u25FF\u27C0\u00E9");
    // Lone surrogates are kept as they are.
    EXPECT_EQ(StripEmoji(std::wstring(L"a\xD83D") + L"b"), std::wstring(L"a\xD83D") + L"b");
    EXPECT_EQ(StripEmoji(std::wstring(L"\xDE00") + L"x"), std::wstring(L"\xDE00") + L"x");
    EXPECT_EQ(StripEmoji(L"\U0001F600\uFE0F"), L"");
}

TEST(GetTagAttribute, FindsWholeNamesAndReadsAnyQuoting) {
    EXPECT_EQ(GetTagAttribute("<img data-src=\"a.png\" src=\"b.png\">", "src"), "a.png");
    EXPECT_EQ(GetTagAttribute("<img srcset=\"big.png 2x\" src=\"b.png\">", "src"), "b.png");
    EXPECT_EQ(GetTagAttribute("<img src=/img/x.png alt=Logo>", "src"), "/img/x.png");
    EXPECT_EQ(GetTagAttribute("<img src=/img/x.png alt=Logo>", "alt"), "Logo");
    EXPECT_EQ(GetTagAttribute("<img SRC = 'My Pic.PNG' alt=\"it's\">", "Src"), "My Pic.PNG");
    EXPECT_EQ(GetTagAttribute("<img SRC = 'My Pic.PNG' alt=\"it's\">", "alt"), "it's");
    EXPECT_EQ(GetTagAttribute("<img alt=\"&amp; raw\">", "alt"), "&amp; raw");
    // An unclosed quote runs to the end of the tag.
    EXPECT_EQ(GetTagAttribute("<img src=\"x.png>", "src"), "x.png>");
    EXPECT_EQ(GetTagAttribute("<img src>", "src"), "");
    EXPECT_EQ(GetTagAttribute("<img src=>", "src"), "");
    EXPECT_EQ(GetTagAttribute("<img src=", "src"), "");
    EXPECT_EQ(GetTagAttribute("<img alt=\"x\">", "src"), "");
    EXPECT_EQ(GetTagAttribute("<img src=\"x\">", ""), "");
}

TEST(ParseTagName, NamesAndClosingFlag) {
    const auto check = [](const std::string& tag, const std::string& name, bool closing) {
        const TagName parsed = ParseTagName(tag);
        EXPECT_EQ(parsed.name, name) << tag;
        EXPECT_EQ(parsed.closing, closing) << tag;
    };
    check("<br/>", "br", false);
    check("</ LI>", "li", true);
    check("<H2 class=\"x\">", "h2", false);
    check("<img\nsrc=x>", "img", false);
    check("<!-- note -->", "", false);
    check("<!DOCTYPE html>", "", false);
    check("</>", "", true);
    check("<", "", false);
    check("", "", false);
}
