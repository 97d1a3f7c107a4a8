#include "patchnotes/patch_content.h"

#include "tests/patchnotes/block_text.h"
#include "tests/patchnotes/loopback_site.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using PatchNoteContent = LoopbackSiteTest;

}  // namespace

TEST(AppendTextRun, KeepsSourceLineBreaksAndShrinksBlanks) {
    std::string pending;
    AppendTextRun(pending, "\r\n  Fixed\t \tthe   bridge.\r\nAdded&nbsp;&nbsp; a\rquest\n\n\n");
    EXPECT_EQ(pending, "Fixed the bridge.\nAdded a\nquest\n");
    // A run continues where the last one ended: no blank after a line break
    // or a space, no second line break.
    AppendTextRun(pending, "\n  more ");
    AppendTextRun(pending, " text");
    EXPECT_EQ(pending, "Fixed the bridge.\nAdded a\nquest\nmore text");
    // Entities are decoded first, so a decoded line feed breaks the line too.
    AppendTextRun(pending, "&#10;&lt;end&gt;");
    EXPECT_EQ(pending, "Fixed the bridge.\nAdded a\nquest\nmore text\n<end>");
}

TEST(FlushParagraph, GivesOneStyledBlockPerNonEmptyLine) {
    std::vector<PatchNoteBlock> blocks;
    ParagraphState state;
    state.pending = "never shown";
    FlushParagraph(state, blocks);  // nothing open
    EXPECT_TRUE(blocks.empty());

    state.open = true;
    state.style.bold = true;
    state.style.indent = 2;
    state.style.fontSize = 16.0f;
    state.style.spaceBefore = 5;
    state.style.spaceAfter = 3;
    state.pending = " first \n\xF0\x9F\x8E\x89\n \nsecond \xE2\x9C\x94";
    FlushParagraph(state, blocks);
    EXPECT_EQ(BlockTexts(blocks),
              (std::vector<std::wstring>{L"B- i2 16 5/3 |first", L"B- i2 16 5/3 |second"}));
    EXPECT_FALSE(state.open);
    EXPECT_TRUE(state.pending.empty());
}

TEST_F(PatchNoteContent, ParagraphsHeadingsAndLineBreaks) {
    const std::string html =
        "<h1>Patch 1.4</h1><h2>Classes</h2><h3>Mage</h3><h4>Spells</h4>"
        "<p>Fireball deals\n more damage.</p>"
        "<p>A<br>B<br/><br />C</p>"
        "<p>A  \tB</p><p></p><p>  </p>"
        "loose <span>text</span> <strong>stays</strong> <a href=\"x\">together</a>";
    EXPECT_EQ(BlockTexts(ParsePatchNoteContent(html, site)),
              (std::vector<std::wstring>{
                  L"B- i0 18 7/3 |Patch 1.4",
                  L"B- i0 16 5/3 |Classes",
                  L"B- i0 14 4/3 |Mage",
                  L"B- i0 13 3/3 |Spells",
                  L"-- i0 13 0/4 |Fireball deals",
                  L"-- i0 13 0/4 |more damage.",
                  L"-- i0 13 0/4 |A",
                  L"-- i0 13 0/4 |B",
                  L"-- i0 13 0/4 |C",
                  L"-- i0 13 0/4 |A B",
                  L"-- i0 13 0/0 |loose text stays together",
              }));
}

TEST_F(PatchNoteContent, ListsNestAndKeepTheirLook) {
    const std::string html =
        "<li>no list</li>"
        "<ul>\n  <li>outer</li>\n"
        "  <ul><li>inner <b>bold</b>\n   wrapped</li></ul>\n"
        "  <li><h2>Not a heading</h2> still the item<p>nor a paragraph</p></li>\n"
        "</ul></ul></ol>"
        "<ul><li>again at one</li></ul>"
        "<h3>After</h3>";
    EXPECT_EQ(BlockTexts(ParsePatchNoteContent(html, site)),
              (std::vector<std::wstring>{
                  L"-* i1 13 0/2 |no list",
                  L"-* i1 13 0/2 |outer",
                  L"-* i2 13 0/2 |inner bold",
                  L"-* i2 13 0/2 |wrapped",
                  L"-* i1 13 0/2 |Not a heading still the itemnor a paragraph",
                  L"-* i1 13 0/2 |again at one",
                  L"B- i0 14 4/3 |After",
              }));
}

TEST_F(PatchNoteContent, ImagesBreakTheTextAndTextAfterThemKeepsTheItemsLook) {
    server.SetResponse("/patchnotes/a.png", ScriptedResponse::Ok("PNG"));
    const std::string html =
        "<p>Before <img src=\"a.png\" alt=\"A\"> after</p>"
        "<ul><ul><li>item <img src=\"emojis/smile.png\"> goes on <img src=\"a.png\"> tail</li></ul>"
        "</ul></img>";
    EXPECT_EQ(BlockTexts(ParsePatchNoteContent(html, site)),
              (std::vector<std::wstring>{
                  L"-- i0 13 0/4 |Before",
                  L"IMG i0 6/8 /patchnotes/a.png 3 bytes alt=A",
                  L"-- i0 13 0/0 |after",
                  L"-* i2 13 0/2 |item",
                  L"-* i2 13 0/0 |goes on",
                  L"IMG i2 6/8 /patchnotes/a.png 3 bytes alt=",
                  L"-* i2 13 0/0 |tail",
              }));
}

TEST_F(PatchNoteContent, AnUnmatchedBracketEndsTheScan) {
    const std::string html = "<p>kept &amp; shown</p><p>also kept <b unclosed and lost";
    EXPECT_EQ(
        BlockTexts(ParsePatchNoteContent(html, site)),
        (std::vector<std::wstring>{L"-- i0 13 0/4 |kept & shown", L"-- i0 13 0/4 |also kept"}));
    EXPECT_TRUE(ParsePatchNoteContent("", site).empty());
    EXPECT_TRUE(ParsePatchNoteContent("<", site).empty());
    EXPECT_EQ(BlockTexts(ParsePatchNoteContent("plain", site)),
              (std::vector<std::wstring>{L"-- i0 13 0/0 |plain"}));
}
