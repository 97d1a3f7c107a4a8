#include "patchnotes/patch_notes.h"

#include "tests/patchnotes/block_text.h"
#include "tests/patchnotes/loopback_site.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using PatchNotes = LoopbackSiteTest;

// A page as the site writes it: a header outside any note, then notes with a
// date, content and pictures in every form the editors use.
const char kPage[] =
    "<!DOCTYPE html>\n<html><head><title>Patch notes</title></head><body>\n"
    "<div class=\"page-header\"><img src=\"logo.png\" alt=\"Site\"></div>\n"
    "<div class=\"patch-note\" id=\"note-3\">\n"
    "  <div class=\"note-header\">\n"
    "    <div class=\"patch-date\">March&nbsp;3, 2024 &ndash; <b>v1.4</b></div>\n"
    "  </div>\n"
    "  <div class=\"patch-content\">\n"
    "    <h2>New &amp; improved</h2>\n"
    "    <p>The bridge at Arden\n"
    "       was rebuilt.<br>Ferries run again.</p>\n"
    "    <ul>\n"
    "      <li>Warrior\n"
    "        <ul><li>Cleave &#x2B; 5%</li><li>Taunt &#43;10&#37;</li></ul>\n"
    "      </li>\n"
    "      <li><h3>Mage</h3> fixes</li>\n"
    "    </ul>\n"
    "    <p>Mind the &unknown; and &toolongentity123; &#xZZ; "
    "New&#128512;&#x1F525;&#xFE0F; mounts&hellip; Q&A</p>\n"
    "    <img src=\"img/bridge.png\" alt=\"Bridge \xF0\x9F\x8C\x89\">\n"
    "    <img src='/shared/map.jpg' alt='Map'>\n"
    "    <img src=https://cdn.vantora.example/art/hero.png alt=Hero>\n"
    "    <img data-src=\"lazy.png\" src=\"placeholder.png\">\n"
    "    <img src=\"emojis/smile.png\"><img src=\"data:image/png;base64,AAAA\">\n"
    "    <img src=\"missing.png\" alt=\"Gone\">\n"
    "    <img src=\"empty.png\">\n"
    "  </div>\n"
    "</div>\n"
    "<div class=\"patch-note\">\n"
    "  <div class=\"note-header\"><img src=\"banner.jpg\" alt=\"Banner\">"
    "<div class=\"date\">February 20, 2024</div></div>\n"
    "  <div class=\"content\"><p>Only text here.</p></div>\n"
    "</div>\n"
    "<div class=\"patch-note\"><div class=\"date\">February 1, 2024</div>"
    "<div class=\"content\"><p></p></div></div>\n"
    "<div class=\"patch-note\"><div class=\"content\">No date here, 3 <4 and the rest";

void ServePagePictures(TestHttpServer& server) {
    server.SetResponse("/patchnotes/img/bridge.png", ScriptedResponse::Ok("BRIDGE"));
    server.SetResponse("/shared/map.jpg", ScriptedResponse::Ok("MAP"));
    server.SetResponse("/art/hero.png", ScriptedResponse::Ok("HERO"));
    server.SetResponse("/patchnotes/lazy.png", ScriptedResponse::Ok("LAZY"));
    server.SetResponse("/patchnotes/empty.png", ScriptedResponse::Ok(""));
    server.SetResponse("/patchnotes/banner.jpg", ScriptedResponse::Ok("JPEG"));
}

std::string Note(const std::string& date, const std::string& content) {
    return "<div class=\"patch-note\"><div class=\"date\">" + date +
           "</div><div class=\"content\">" + content + "</div></div>\n";
}

}  // namespace

TEST_F(PatchNotes, RealisticPageBecomesBlocksInPageOrder) {
    ServePagePictures(server);
    const std::vector<PatchNoteBlock> blocks = BuildPatchNotes(kPage, site);
    EXPECT_EQ(BlockTexts(blocks),
              (std::vector<std::wstring>{
                  L"B- i0 13 0/0 |March 3, 2024 \u2013 v1.4",
                  L"B- i0 16 5/3 |New & improved",
                  L"-- i0 13 0/4 |The bridge at Arden",
                  L"-- i0 13 0/4 |was rebuilt.",
                  L"-- i0 13 0/4 |Ferries run again.",
                  L"-* i1 13 0/2 |Warrior",
                  L"-* i2 13 0/2 |Cleave + 5%",
                  L"-* i2 13 0/2 |Taunt +10%",
                  L"-* i1 13 0/2 |Mage fixes",
                  L"-- i0 13 0/4 |Mind the &unknown; and &toolongentity123; &#xZZ; New mounts"
                  L"\u2026 Q&A",
                  L"IMG i0 6/8 /patchnotes/img/bridge.png 6 bytes alt=Bridge",
                  L"IMG i0 6/8 /shared/map.jpg 3 bytes alt=Map",
                  L"IMG i0 6/8 /art/hero.png 4 bytes alt=Hero",
                  L"IMG i0 6/8 /patchnotes/lazy.png 4 bytes alt=",
                  L"IMG i0 6/8 missing.png 0 bytes alt=Gone",
                  L"IMG i0 6/8 /patchnotes/empty.png 0 bytes alt=",
                  L"-- i0 8 0/0 |",
                  L"B- i0 13 0/0 |February 20, 2024",
                  L"-- i0 13 0/4 |Only text here.",
                  L"IMG i0 6/8 /patchnotes/banner.jpg 4 bytes alt=Banner",
                  L"-- i0 8 0/0 |",
                  L"-- i0 13 0/0 |No date here, 3",
              }));
    // Pictures come from the site only, in page order; the page header and
    // the dropped note fetch nothing.
    EXPECT_EQ(Targets(), (std::vector<std::string>{
                             "/patchnotes/img/bridge.png", "/shared/map.jpg", "/art/hero.png",
                             "/patchnotes/lazy.png", "/patchnotes/missing.png",
                             "/patchnotes/empty.png", "/patchnotes/banner.jpg"}));
}

TEST_F(PatchNotes, EveryPatchNoteDivStartsANote) {
    // A note nested in another still starts a note of its own; a date with no
    // text is kept; a header picture is not fetched when the content has one.
    server.SetResponse("/patchnotes/in.png", ScriptedResponse::Ok("IN"));
    const std::string page =
        "<div class=\"patch-note\"><div class=\"date\"> <b></b> </div><img src=\"banner.png\">"
        "<div class=\"content\"><p>outer</p><img src=\"in.png\">"
        "<div class=\"patch-note-inner\"><div class=\"content\"><h4>inner</h4></div></div>"
        "</div></div>";
    EXPECT_EQ(BlockTexts(BuildPatchNotes(page, site)),
              (std::vector<std::wstring>{
                  L"B- i0 13 0/0 |",
                  L"-- i0 13 0/4 |outer",
                  L"IMG i0 6/8 /patchnotes/in.png 2 bytes alt=",
                  L"-- i0 8 0/0 |",
                  L"B- i0 13 3/3 |inner",
              }));
    EXPECT_EQ(Targets(), (std::vector<std::string>{"/patchnotes/in.png"}));
}

TEST_F(PatchNotes, PagesWithNothingToShowGiveOneMessageBlock) {
    const std::vector<std::wstring> message = {L"-- i0 13 0/0 |No patch notes found."};
    EXPECT_EQ(BlockTexts(BuildPatchNotes("", site)), message);
    EXPECT_EQ(BlockTexts(BuildPatchNotes("<div class=\"note\"><p>Hi</p></div>", site)), message);
    EXPECT_EQ(
        BlockTexts(BuildPatchNotes(Note("1 May", "<p> </p><img src=\"emojis/a.png\">"), site)),
        message);
    EXPECT_EQ(BlockTexts(BuildPatchNotes(CutToShownPatchNotes("<html>maintenance</html>"), site)),
              message);
    EXPECT_TRUE(Targets().empty());
}

TEST(CutToShownPatchNotes, KeepsTheFirstEightNotes) {
    std::string page = "<html><body><h1>News</h1>\n";
    for (int note = 1; note <= 12; ++note) {
        page += Note("Note " + std::to_string(note), "<p>Body " + std::to_string(note) + "</p>");
    }
    page += "<p>Footer</p></body></html>";
    const std::string section = CutToShownPatchNotes(page);
    EXPECT_EQ(section.find("<div class=\"patch-note\"><div class=\"date\">Note 1<"), 0u);
    EXPECT_NE(section.find("Body 8"), std::string::npos);
    EXPECT_EQ(section.find("Note 9"), std::string::npos);

    SiteAddress nowhere;
    nowhere.host = L"127.0.0.1";
    nowhere.port = 9;
    nowhere.secure = false;
    std::vector<std::wstring> dates;
    for (const PatchNoteBlock& block : BuildPatchNotes(section, nowhere)) {
        if (block.bold) {
            dates.push_back(block.text);
        }
    }
    EXPECT_EQ(dates, (std::vector<std::wstring>{L"Note 1", L"Note 2", L"Note 3", L"Note 4",
                                                L"Note 5", L"Note 6", L"Note 7", L"Note 8"}));

    // Fewer notes: everything from the first note to the end of the page.
    const std::string three =
        "<p>Intro</p>" + Note("a", "") + Note("b", "") + Note("c", "") + "<p>Footer</p>";
    EXPECT_EQ(CutToShownPatchNotes(three), three.substr(three.find("<div")));
    EXPECT_EQ(CutToShownPatchNotes("no notes at all"), "No patch note found.");
}

TEST_F(PatchNotes, RandomAndMutatedPagesAlwaysGiveSafeBlocks) {
    server.SetFallback(ScriptedResponse::Ok("IMG"));
    server.SetResponse("/patchnotes/missing.png", ScriptedResponse::Status(404, "Not Found"));
    const std::vector<std::string> pieces = {"<div class=\"patch-note\">",
                                             "<div class=\"date\">",
                                             "<div class=\"content\">",
                                             "</div>",
                                             "<p>",
                                             "</p>",
                                             "<h1>",
                                             "</h2>",
                                             "<h3 id=x>",
                                             "</h4>",
                                             "<ul>",
                                             "</ul>",
                                             "<ol>",
                                             "<li>",
                                             "</ li>",
                                             "<br>",
                                             "<br/>",
                                             "<span>",
                                             "<!-- note -->",
                                             "<",
                                             ">",
                                             "\"",
                                             "'",
                                             "=",
                                             "<img src=\"a.png\">",
                                             "<img src='/x/b.png' alt='B'>",
                                             "<img src=https://evil.example/c.png>",
                                             "<img src=\"https://evil.example\">",
                                             "<img data-src=\"d.png\" src=e.png>",
                                             "<img src=\"emojis/e.png\">",
                                             "<img src=\"data:x\">",
                                             "<img src=\"//evil.example/f.png\">",
                                             "<img src=\"http://evil.example:81/g.png?x=1\">",
                                             "<img src=\"missing.png\">",
                                             "<img src=\"a\nb.png\">",
                                             "<img src=",
                                             "<img",
                                             "&amp;",
                                             "&#x1F600;",
                                             "&#65;",
                                             "&#0;",
                                             "&#xD800;",
                                             "&#99999;",
                                             "&bogus;",
                                             "&",
                                             "&#",
                                             ";",
                                             "Fixed",
                                             "the bridge",
                                             " ",
                                             "  ",
                                             "\n",
                                             "\r\n",
                                             "\r",
                                             "\t",
                                             "\xF0\x9F\x94\xA5",
                                             "\xE2\x9C\x94\xEF\xB8\x8F",
                                             "\xFF",
                                             "\xE2\x80",
                                             "\xC3\xA9"};
    std::mt19937 random(20240303);
    const auto below = [&random](size_t n) {
        return std::uniform_int_distribution<size_t>(0, n - 1)(random);
    };
    const std::string realistic = kPage;

    for (int round = 0; round < 300; ++round) {
        std::string page;
        if (round % 2 == 0) {
            const size_t count = below(40);
            for (size_t i = 0; i < count; ++i) {
                page += pieces[below(pieces.size())];
            }
        } else {
            page = realistic;
            const size_t edits = 1 + below(6);
            for (size_t i = 0; i < edits && !page.empty(); ++i) {
                const size_t at = below(page.size());
                const size_t length = below(std::min<size_t>(page.size() - at, 40) + 1);
                switch (below(4)) {
                    case 0:
                        page.erase(at, length);
                        break;
                    case 1:
                        page.insert(at, page.substr(at, length));
                        break;
                    case 2:
                        page.insert(at, pieces[below(pieces.size())]);
                        break;
                    default:
                        page[at] = static_cast<char>(below(256));
                        break;
                }
            }
        }

        const std::vector<PatchNoteBlock> blocks =
            BuildPatchNotes(CutToShownPatchNotes(page), site);
        ASSERT_FALSE(blocks.empty()) << page;
        for (const PatchNoteBlock& block : blocks) {
            if (block.image) {
                EXPECT_FALSE(block.image->url.empty()) << page;
                continue;
            }
            // Every text is one line with no blanks around it.
            EXPECT_EQ(block.text.find_first_of(L"\r\n"), std::wstring::npos) << page;
            if (!block.text.empty()) {
                EXPECT_NE(block.text.front(), L' ') << page;
                EXPECT_NE(block.text.back(), L' ') << page;
            }
        }
    }
    const std::vector<std::string> targets = Targets();
    EXPECT_GT(targets.size(), 20u);  // the pages did reach the picture fetches
    for (const std::string& target : targets) {
        EXPECT_EQ(target.rfind('/', 0), 0u) << target;
        // An address written in the page must have lost its scheme and host;
        // only a page-relative name can still hold "://" after mutation.
        if (target.rfind("/patchnotes/", 0) != 0) {
            EXPECT_EQ(target.find("://"), std::string::npos) << target;
        }
    }
}
