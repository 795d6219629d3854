#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "font.hpp"
#include "regions.hpp"
#include "text_page.hpp"

using namespace inkra;
using namespace inkra::fixture;

namespace {

std::size_t glyphs_in(const Region& r) {
    std::size_t n = 0;
    for (const auto& l : r.lines) n += l.glyph_count;
    return n;
}

const FontMap kNoFonts = FontMap::from_raw({});

}  // namespace

TEST(ApplyActualText, SpansAreCutAndNested) {
    const std::optional<std::string> none, empty = std::string{};
    const auto X = std::optional<std::string>("X");
    struct Case {
        const char* what;
        std::vector<ActualText> spans;
        std::vector<std::optional<std::string>> expected;  // six glyphs
    };
    const Case cases[] = {
        {"covers 2..4", {{"X", 2, 5}}, {none, none, X, empty, empty, none}},
        {"end past the last glyph", {{"X", 4, 100}}, {none, none, none, none, X, empty}},
        {"start at the glyph count", {{"X", 6, 9}}, {none, none, none, none, none, none}},
        {"start past the end", {{"X", 3, 2}}, {none, none, none, none, none, none}},
        {"empty span", {{"X", 3, 3}}, {none, none, none, none, none, none}},
        {"inner closes first, outer wins",
         {{"I", 3, 4}, {"X", 2, 5}},
         {none, none, X, empty, empty, none}},
        {"outer first glyph shared with inner",
         {{"I", 2, 3}, {"X", 2, 4}},
         {none, none, X, empty, none, none}},
        {"later span overwrites", {{"Y", 0, 2}, {"X", 1, 3}}, {std::string("Y"), X, empty, none, none, none}},
    };
    for (const Case& c : cases) {
        PageGlyphs page;
        for (int i = 0; i < 6; ++i) {
            Glyph g;
            g.x = 10.0 * i;
            g.y = 5;
            g.rotation = 1;
            page.glyphs.push_back(g);
        }
        page.actual_texts = c.spans;
        const auto placed = apply_actual_text(page);
        ASSERT_EQ(placed.size(), 6u) << c.what;
        for (std::size_t i = 0; i < 6; ++i) {
            EXPECT_EQ(placed[i].actual, c.expected[i]) << c.what << " glyph " << i;
            EXPECT_FALSE(placed[i].anchored);
            // Run coordinates are those of the glyph's own direction.
            EXPECT_EQ(placed[i].run_x, 5.0);
            EXPECT_EQ(placed[i].run_y, 10.0 * double(i));
        }
    }
}

TEST(AnchorZeroAdvance, WindowAndStrictBounds) {
    // Glyph `probe` has no advance; fillers sit on another baseline so that
    // only the intended host can take it.
    struct Case {
        const char* what;
        std::vector<GlyphAt> glyphs;
        std::size_t probe;
        bool moved;
        double run_x, run_y;  // expected position of the probe afterwards
    };
    auto fillers = [](std::size_t n) {
        std::vector<GlyphAt> out;
        for (std::size_t i = 0; i < n; ++i) out.push_back({300.0 + 10 * double(i), 400, "z"});
        return out;
    };
    auto with_fillers = [&](GlyphAt host, std::size_t between, GlyphAt probe) {
        std::vector<GlyphAt> out{host};
        append(out, fillers(between));
        out.push_back(probe);
        return out;
    };
    const GlyphAt host{100, 700, "a"};
    const GlyphAt beh{105, 700, "\u0628", 0};
    const std::vector<Case> cases = {
        {"letter inside the previous glyph", {host, beh}, 1, true, 100, 700},
        {"host painted after the overlay", {beh, host}, 0, true, 100, 700},
        {"fatha stays", {host, {105, 700, "\u064E", 0}}, 1, false, 105, 700},
        {"host eight glyphs back", with_fillers(host, 7, beh), 8, true, 100, 700},
        {"host nine glyphs back", with_fillers(host, 8, beh), 9, false, 105, 700},
        {"baseline off by the size", {host, {105, 710, "\u0628", 0}}, 1, true, 100, 700},
        {"baseline off by more than the size", {host, {105, 710.5, "\u0628", 0}}, 1, false, 105, 710.5},
        {"at the host's start", {host, {100, 700, "\u0628", 0}}, 1, false, 100, 700},
        {"at the host's end", {host, {110, 700, "\u0628", 0}}, 1, false, 110, 700},
        {"host without advance", {{100, 700, "a", 0.4}, beh}, 1, false, 105, 700},
        {"small advance counts as none", {host, {105, 700, "\u0628", 0.49}}, 1, true, 100, 700},
        {"an advance of 5% is kept", {host, {105, 700, "\u0628", 0.5}}, 1, false, 105, 700},
        // Upside-down text runs leftwards: the host spans page x 190..200.
        {"quadrant 2 measures along the run",
         {{200, 700, "a", 10, 10, 2}, {195, 700, "\u0628", 0, 10, 2}}, 1, true, -200, 700},
        {"quadrant 2, beyond the run", {{200, 700, "a", 10, 10, 2}, {205, 700, "\u0628", 0, 10, 2}}, 1, false,
         -205, 700},
    };
    for (const Case& c : cases) {
        auto placed = apply_actual_text(page_of(c.glyphs));
        anchor_zero_advance(placed, kNoFonts);
        const Placed& p = placed[c.probe];
        EXPECT_EQ(p.anchored, c.moved) << c.what;
        EXPECT_EQ(p.run_x, c.run_x) << c.what;
        EXPECT_EQ(p.run_y, c.run_y) << c.what;
        // The glyph itself keeps its painted origin.
        EXPECT_EQ(p.glyph.x, c.glyphs[c.probe].x) << c.what;
        for (std::size_t i = 0; i < placed.size(); ++i)
            if (i != c.probe) {
                EXPECT_FALSE(placed[i].anchored) << c.what;
            }
    }
}

TEST(ReconstructRegions, FiguresOnly) {
    EXPECT_TRUE(reconstruct_regions({}, kNoFonts, {}, std::nullopt).empty());

    const Rect fig{50, 100, 250, 300};
    const auto regions = reconstruct_regions({}, kNoFonts, std::vector<Rect>{fig}, std::nullopt);
    ASSERT_EQ(regions.size(), 1u);
    EXPECT_TRUE(regions[0].lines.empty());
    EXPECT_EQ(regions[0].figures, std::vector<std::size_t>{0});
    EXPECT_EQ(regions[0].bbox, fig);
}

TEST(ReconstructRegions, FigureBetweenColumnsTakesItsReadingPlace) {
    // Two columns of ten lines, 60 pt wide, with a figure between them.
    for (const bool rtl : {false, true}) {
        std::vector<GlyphAt> glyphs_at;
        for (const double x : {50.0, 250.0})
            for (int l = 0; l < 10; ++l) {
                auto r = row(x, 700 - 12 * l, "abcdef");
                if (rtl)
                    for (auto& s : r) s.text = "\u0628";
                append(glyphs_at, r);
            }
        const Rect fig{150, 589.5, 210, 707.5};
        const auto regions = reconstruct_regions(page_of(glyphs_at), kNoFonts, std::vector<Rect>{fig}, std::nullopt);
        ASSERT_EQ(regions.size(), 3u) << rtl;

        const Region& first = regions[0];
        const Region& last = regions[2];
        const double first_x = rtl ? 250 : 50, last_x = rtl ? 50 : 250;
        for (const auto& [r, x] : {std::pair{&first, first_x}, std::pair{&last, last_x}}) {
            EXPECT_TRUE(r->figures.empty());
            EXPECT_EQ(r->lines.size(), 10u);
            EXPECT_EQ(glyphs_in(*r), 60u);
            EXPECT_EQ(r->bbox, (Rect{x, 592 - 2.5, x + 60, 707.5})) << rtl;
            EXPECT_EQ(r->lines.front().baseline, 700);  // top line first
        }
        if (!rtl) {
            EXPECT_EQ(first.lines.front().text, "abcdef");
        }

        EXPECT_TRUE(regions[1].lines.empty());
        EXPECT_EQ(regions[1].figures, std::vector<std::size_t>{0});
        EXPECT_EQ(regions[1].bbox, fig);
    }
}

TEST(ReconstructRegions, StructureRunsGiveTheOrder) {
    std::vector<GlyphAt> glyphs_at = row(50, 700, "ab");  // glyphs 0, 1
    append(glyphs_at, row(50, 680, "cd"));             // 2, 3
    append(glyphs_at, row(50, 660, "ef"));             // 4, 5
    glyphs_at.push_back({50, 640, ""});                // 6: carries no text
    ReadingOrder order;
    order.runs = {
        {"P", {{4, 6}}, 1},
        {"P", {{2, 4}, {100, 200}}, 1},  // a range past the glyphs adds nothing
        {"Figure", {{6, 7}}, 1},         // nothing decodable: no region
        {"P", {{0, 1}, {0, 1}}, 1},      // glyph 0 twice; glyph 1 is in no run
    };
    const std::vector<Rect> figures{{300, 300, 400, 400}};
    const auto regions = reconstruct_regions(page_of(glyphs_at), kNoFonts, figures, order);
    ASSERT_EQ(regions.size(), 3u);
    EXPECT_EQ(regions[0].lines.at(0).text, "ef");
    EXPECT_EQ(regions[1].lines.at(0).text, "cd");
    EXPECT_EQ(glyphs_in(regions[2]), 2u);
    for (const Region& r : regions) {
        ASSERT_EQ(r.lines.size(), 1u);
        EXPECT_TRUE(r.figures.empty());
        EXPECT_EQ(r.bbox, r.lines[0].bbox);
    }
    EXPECT_EQ(regions[0].bbox, (Rect{50, 657.5, 70, 667.5}));

    // An order whose runs yield nothing leaves the page without regions,
    // figures included.
    ReadingOrder empty_runs;
    empty_runs.runs = {{"Figure", {{6, 7}}, 0}};
    EXPECT_TRUE(reconstruct_regions(page_of(glyphs_at), kNoFonts, figures, empty_runs).empty());
}

TEST(RegionBbox, UnitesLinesAndListedFigures) {
    const double nan = std::nan("");
    auto line = [](Rect r) {
        TextLine l;
        l.text = "x";
        l.bbox = r;
        return l;
    };
    struct Case {
        const char* what;
        std::vector<TextLine> lines;
        std::vector<std::size_t> indices;
        std::vector<Rect> figures;
        Rect expected;
    };
    const Case cases[] = {
        {"nothing", {}, {}, {}, {0, 0, 0, 0}},
        {"index outside the figure list", {}, {3}, {{1, 2, 3, 4}}, {0, 0, 0, 0}},
        {"lines and a figure",
         {line({10, 20, 30, 40}), line({5, 25, 25, 45})},
         {1},
         {{0, 0, 1000, 1000}, {20, 0, 60, 30}},
         {5, 0, 60, 45}},
        {"NaN ignored", {line({nan, 20, 30, nan}), line({5, nan, nan, 45})}, {}, {}, {5, 20, 30, 45}},
    };
    for (const Case& c : cases) EXPECT_EQ(region_bbox(c.lines, c.indices, c.figures), c.expected) << c.what;
}

TEST(TextWithin, CentreAndBaselineDecide) {
    // Centres at x 105 and 115 on baseline 700, and 105 on baseline 680.
    std::vector<GlyphAt> glyphs_at = row(100, 700, "ab");
    append(glyphs_at, row(100, 680, "c"));
    const PageGlyphs page = page_of(glyphs_at);
    struct Case {
        Rect area;
        const char* expected;
    };
    const Case cases[] = {
        {{105, 700, 115, 700}, "ab"},     // centres and baseline on the edges
        {{105.01, 700, 115, 700}, "b"},
        {{105, 700, 114.99, 700}, "a"},
        {{100, 700.01, 120, 710}, ""},    // glyph body inside, baseline below
        {{95, 675, 120, 705}, "ab c"},    // lines joined with one space
        {{0, 0, 0, 0}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(text_within(page, kNoFonts, c.area), c.expected)
            << c.area.x0 << "," << c.area.y0 << "," << c.area.x1 << "," << c.area.y1;
}

TEST(LinesToText, JoinsWithLineFeeds) {
    auto lines = [](std::vector<std::string> texts) {
        std::vector<TextLine> out;
        for (auto& t : texts) {
            TextLine l;
            l.text = t;
            out.push_back(l);
        }
        return out;
    };
    EXPECT_EQ(lines_to_text(lines({})), "");
    EXPECT_EQ(lines_to_text(lines({"a"})), "a");
    EXPECT_EQ(lines_to_text(lines({"a", "b"})), "a\nb");
    EXPECT_EQ(lines_to_text(lines({"\u0628\u064E", "c d", "e"})), "\u0628\u064E\nc d\ne");
}

TEST(ReconstructRegions, OverlaidLetterJoinsItsHostsLine) {
    // A letter painted 5 pt above the host's baseline with no advance: on its
    // own it would open a line (tolerance 3 pt); anchored, it joins the host's.
    std::vector<GlyphAt> glyphs_at = row(100, 700, "ab");
    glyphs_at.push_back({105, 705, "c", 0});
    ReadingOrder order;
    order.runs = {{"P", {{0, 3}}, 0}};
    for (const auto& o : {std::optional<ReadingOrder>{}, std::optional<ReadingOrder>{order}}) {
        const auto regions = reconstruct_regions(page_of(glyphs_at), kNoFonts, {}, o);
        ASSERT_EQ(regions.size(), 1u);
        ASSERT_EQ(regions[0].lines.size(), 1u);
        EXPECT_EQ(regions[0].lines[0].glyph_count, 3u);
        EXPECT_EQ(regions[0].lines[0].baseline, 700);
    }
}
