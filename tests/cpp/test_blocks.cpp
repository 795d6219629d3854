#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "blocks.hpp"
#include "blocks_internal.hpp"
#include "font.hpp"
#include "text_page.hpp"

using namespace inkra;
using namespace inkra::fixture;

namespace {

const FontMap kNoFonts = FontMap::from_raw({});
const Rect kPage{0, 0, 100, 100};

// Images are told apart by where they were drawn; a case has at most one
// image that was never drawn.
struct Named {
    std::string name;
    std::optional<Rect> bbox;
};

PlacedImage placed(const Named& n) {
    PlacedImage p;
    p.bbox = n.bbox;
    return p;
}

std::vector<PlacedImage> placed(const std::vector<Named>& names) {
    std::vector<PlacedImage> out;
    for (const Named& n : names) out.push_back(placed(n));
    return out;
}

// "T" per text block, "#" per table, the image's name per image block.
std::string kinds(const PageBlocks& pb, const std::vector<Named>& names = {}) {
    std::string out;
    for (const Block& b : pb.blocks) {
        if (std::holds_alternative<TextBlock>(b.content)) out += "T";
        if (std::holds_alternative<TableBlock>(b.content)) out += "#";
        if (const auto* i = std::get_if<ImageBlock>(&b.content)) {
            auto it = std::find_if(names.begin(), names.end(), [&](const Named& n) { return n.bbox == i->image.bbox; });
            out += (i->is_background ? "bg:" : "") + (it == names.end() ? std::string("?") : it->name) + " ";
        }
    }
    return out;
}

void expect_indices_are_positions(const PageBlocks& pb) {
    for (std::size_t i = 0; i < pb.blocks.size(); ++i) EXPECT_EQ(pb.blocks[i].reading_index(), i);
}

// Two ten-line columns of "abcdef" with a gap between them at x 150..210.
PageGlyphs two_columns() {
    std::vector<GlyphAt> glyphs_at;
    for (const double x : {50.0, 250.0})
        for (int l = 0; l < 10; ++l) append(glyphs_at, row(x, 700 - 12 * l, "abcdef"));
    return page_of(glyphs_at);
}

}  // namespace

TEST(Assemble, EmptyPage) {
    const auto pb = assemble({}, kNoFonts, {}, kPage, std::nullopt);
    EXPECT_TRUE(pb.blocks.empty());
    EXPECT_TRUE(pb.lines.empty());
}

TEST(Assemble, ImagesByCoverage) {
    struct Case {
        const char* what;
        Rect page_box;
        std::vector<Named> images;
        std::string expected;
    };
    const Case cases[] = {
        {"70% is background, 69% a figure, undrawn last",
         kPage,
         {{"fig69", Rect{0, 0, 100, 69}}, {"never", std::nullopt}, {"bg70", Rect{0, 0, 100, 70}}},
         "bg:bg70 fig69 never "},
        {"only the part on the page counts",
         kPage,
         {{"wide", Rect{-100, 0, 100, 100}}, {"bleed", Rect{-10, -10, 110, 110}}, {"low", Rect{-100, -100, 100, 70}}},
         "bg:wide bg:bleed bg:low "},
        {"off the page entirely", kPage, {{"off", Rect{200, 200, 300, 300}}}, "off "},
        {"page box without area", Rect{0, 0, 0, 100},
         {{"a", Rect{0, 0, 100, 100}}, {"b", std::nullopt}, {"c", Rect{0, 0, 50, 50}}},
         "a c b "},
    };
    for (const Case& c : cases) {
        const auto pb = assemble({}, kNoFonts, placed(c.images), c.page_box, std::nullopt);
        EXPECT_EQ(kinds(pb, c.images), c.expected) << c.what;
        EXPECT_TRUE(pb.lines.empty());
        expect_indices_are_positions(pb);
    }
}

TEST(Assemble, FigureFollowsItsRegion) {
    const PageGlyphs page = two_columns();
    const std::vector<Named> names{{"fig", Rect{150, 589.5, 210, 707.5}}, {"never", std::nullopt}};
    const std::vector<PlacedImage> images = placed(names);
    const Rect page_box{0, 0, 595, 842};

    const auto pb = assemble(page, kNoFonts, images, page_box, std::nullopt);
    EXPECT_EQ(kinds(pb, names), "Tfig Tnever ");
    expect_indices_are_positions(pb);
    ASSERT_EQ(pb.lines.size(), 20u);
    EXPECT_FALSE(pb.lines.front().rtl);
    const auto& left = std::get<TextBlock>(pb.blocks[0].content);
    EXPECT_EQ(left.lines.size(), 10u);
    EXPECT_EQ(left.bbox, (Rect{50, 589.5, 110, 707.5}));
    EXPECT_EQ(left.confidence, 1.0);
    EXPECT_EQ(pb.blocks[0].text().substr(0, 14), "abcdef\nabcdef\n");
    // The page's lines are the blocks' lines, region after region.
    const auto& right = std::get<TextBlock>(pb.blocks[2].content);
    EXPECT_EQ(pb.lines[10].bbox, right.lines[0].bbox);
    EXPECT_EQ(pb.lines[0].bbox, left.lines[0].bbox);

    // With a structure order the figure is in no region and comes after the
    // text, still before the undrawn image.
    ReadingOrder order;
    order.runs = {{"P", {{60, 120}}, 1}, {"P", {{0, 60}}, 1}};
    const auto tagged = assemble(page, kNoFonts, images, page_box, order);
    EXPECT_EQ(kinds(tagged, names), "TTfig never ");
    EXPECT_EQ(std::get<TextBlock>(tagged.blocks[0].content).bbox, (Rect{250, 589.5, 310, 707.5}));
    expect_indices_are_positions(tagged);
}

TEST(Assemble, TextConfidenceCountsUnresolvedGlyphs) {
    PageGlyphs page = page_of(row(50, 700, "abc"));
    for (const double x : {50.0, 60.0}) {
        Glyph g;  // a font the page lacks and no replacement: unresolved
        g.font = "F9";
        g.size = 10;
        g.x = x;
        g.y = 688;
        g.advance = 10;
        page.glyphs.push_back(g);
    }
    const auto pb = assemble(page, kNoFonts, {}, kPage, std::nullopt);
    ASSERT_EQ(pb.blocks.size(), 1u);
    const auto& t = std::get<TextBlock>(pb.blocks[0].content);
    ASSERT_EQ(t.lines.size(), 2u);
    EXPECT_DOUBLE_EQ(t.confidence, 1.0 - 2.0 / 5.0);
    EXPECT_EQ(pb.lines.size(), 2u);
}

TEST(Block, Texts) {
    auto cell = [](std::string t) {
        Cell c;
        c.text = std::move(t);
        return c;
    };
    auto line = [](std::string t) {
        TextLine l;
        l.text = std::move(t);
        return l;
    };
    struct Case {
        Block block;
        std::string expected;
    };
    const Case cases[] = {
        {Block{TableBlock{{{cell("a"), cell("b")}, {cell("c"), cell("d")}}, {}, 1, 0}}, "a\tb\nc\td"},
        {Block{TableBlock{{{cell(""), cell("x")}, {cell("y"), cell("")}}, {}, 1, 0}}, "\tx\ny\t"},
        {Block{TableBlock{}}, ""},
        {image_block(placed(Named{"i", Rect{}}), 3, false), ""},
        {Block{TextBlock{{line("a"), line("b")}, {}, 0, 1}}, "a\nb"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.block.text(), c.expected);

    const Block b = image_block(placed(Named{"i", Rect{1, 2, 3, 4}}), 7, true);
    const auto& ib = std::get<ImageBlock>(b.content);
    EXPECT_EQ(b.reading_index(), 7u);
    EXPECT_TRUE(ib.is_background);
    EXPECT_EQ(ib.image.bbox, (Rect{1, 2, 3, 4}));
}

namespace {

// One region: a line above four table-like rows and a line below, 16 pt apart.
PageGlyphs page_with_rows(bool rtl_intro) {
    std::vector<GlyphAt> glyphs_at = row(50, 700, "intro");
    if (rtl_intro)
        for (auto& s : glyphs_at) s.text = "\u0628";
    double y = 684;
    for (const char* r : {"abcd", "efgh", "ijkl", "mnop"}) {
        append(glyphs_at, row(50, y, r));
        y -= 16;
    }
    append(glyphs_at, row(50, 620, "outro"));
    return page_of(glyphs_at);
}

// Borderless grids are filled from the glyphs inside each cell.
Grid borderless(std::vector<double> xs, std::vector<double> ys, std::optional<Rect> bbox = std::nullopt) {
    Grid g;
    g.bbox = bbox.value_or(Rect{xs.front(), ys.back(), xs.back(), ys.front()});
    g.xs = std::move(xs);
    g.ys = std::move(ys);
    g.confidence = 0.5;
    return g;
}

}  // namespace

TEST(Assemble, TablesCutTheirRegion) {
    // Rows at baselines 684 and 668; their line boxes reach 2.5 below and
    // 7.5 above the baseline.
    const Grid top = borderless({50, 70, 90}, {692, 676, 660});
    struct Case {
        const char* what;
        bool rtl;
        std::vector<Grid> grids;
        std::string kinds;
        std::vector<std::string> texts;  // block texts, tables included
    };
    const std::vector<Case> cases = {
        {"table in mid-region", false, {top}, "T#T", {"intro", "ab\tcd\nef\tgh", "ijkl\nmnop\noutro"}},
        {"right-to-left page", true, {top}, "T#T", {"", "cd\tab\ngh\tef", "ijkl\nmnop\noutro"}},
        {"four of eight cells filled", false, {borderless({50, 70, 90, 110, 130}, {692, 676, 660})}, "T#T",
         {"intro", "ab\tcd\t\t\nef\tgh\t\t", "ijkl\nmnop\noutro"}},
        {"three filled cells", false, {borderless({70, 90, 110}, {692, 676, 660, 644})}, "T",
         {"intro\nabcd\nefgh\nijkl\nmnop\noutro"}},
        {"four of ten cells filled", false, {borderless({50, 70, 90, 110, 130, 150}, {692, 676, 660})}, "T",
         {"intro\nabcd\nefgh\nijkl\nmnop\noutro"}},
        {"grid catching no line", false, {borderless({50, 70, 90}, {692, 676, 660}, Rect{500, 500, 600, 600})},
         "T", {"intro\nabcd\nefgh\nijkl\nmnop\noutro"}},
        {"grids touching", false, {top, borderless({50, 70, 90}, {660, 644, 628})}, "T##T",
         {"intro", "ab\tcd\nef\tgh", "ij\tkl\nmn\top", "outro"}},
        {"later grid overlapping an earlier one", false,
         {top, borderless({50, 70, 90}, {660, 644, 628}, Rect{50, 628, 90, 660.5})}, "T#T",
         {"intro", "ab\tcd\nef\tgh", "ijkl\nmnop\noutro"}},
        // The first grid's box reaches into the ijkl line, which it then owns.
        {"shared line, later table has another", false,
         {borderless({50, 70, 90}, {692, 676, 660}, Rect{50, 658, 90, 692}),
          borderless({50, 70, 90}, {660, 644, 628}, Rect{50, 630, 90, 658})},
         "T##T", {"intro", "ab\tcd\nef\tgh", "ij\tkl\nmn\top", "outro"}},
        {"shared line, later table has no other", false,
         {borderless({50, 70, 90}, {692, 676, 660}, Rect{50, 658, 90, 692}),
          borderless({50, 70, 90}, {660, 644, 628}, Rect{50, 650, 90, 658})},
         "T#T", {"intro", "ab\tcd\nef\tgh", "mnop\noutro"}},
    };
    for (const Case& c : cases) {
        const PageGlyphs page = page_with_rows(c.rtl);
        const auto pb = assemble_with_grids(page, kNoFonts, {}, kPage, std::nullopt, {}, c.grids);
        EXPECT_EQ(kinds(pb), c.kinds) << c.what;
        EXPECT_EQ(pb.lines.size(), 6u) << c.what;  // tables never take lines from the page's list
        expect_indices_are_positions(pb);
        if (pb.blocks.size() != c.texts.size()) continue;
        for (std::size_t i = 0; i < c.texts.size(); ++i) {
            if (c.rtl && i == 0) continue;  // its text is the line builder's business
            EXPECT_EQ(pb.blocks[i].text(), c.texts[i]) << c.what << " block " << i;
        }
        // Every text block cut from the region carries the region's box.
        for (const Block& b : pb.blocks) {
            if (const auto* t = std::get_if<TextBlock>(&b.content)) {
                EXPECT_EQ(t->bbox, (Rect{50, 617.5, 100, 707.5})) << c.what;
            }
        }
    }
}
