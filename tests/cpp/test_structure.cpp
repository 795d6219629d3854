#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "structure.hpp"

using namespace inkra;

namespace {

using Ranges = std::vector<std::pair<std::size_t, std::size_t>>;

StructElement el(std::string role, std::vector<std::uint32_t> mcids, std::optional<std::uint32_t> page = 1,
                 unsigned depth = 1) {
    return {std::move(role), std::move(mcids), page, depth};
}

struct Want {
    std::string role;
    Ranges ranges;
    unsigned depth;
};

struct Case {
    const char* name;
    std::vector<StructElement> elements;
    std::vector<McidSpan> spans;
    std::size_t glyphs;
    std::optional<std::vector<Want>> want;  // absent: no reading order
};

void check(const Case& c) {
    SCOPED_TRACE(c.name);
    RawStructure s{c.elements, true};
    auto got = ReadingOrder::from_structure(s, 1, c.spans, c.glyphs);
    ASSERT_EQ(got.has_value(), c.want.has_value());
    if (!got) return;
    ASSERT_EQ(got->runs.size(), c.want->size());
    for (std::size_t i = 0; i < got->runs.size(); ++i) {
        EXPECT_EQ(got->runs[i].role, (*c.want)[i].role) << "run " << i;
        EXPECT_EQ(got->runs[i].ranges, (*c.want)[i].ranges) << "run " << i;
        EXPECT_EQ(got->runs[i].depth, (*c.want)[i].depth) << "run " << i;
    }
}

}  // namespace

TEST(ReadingOrder, Trust) {
    const Case cases[] = {
        {"untagged page", {el("P", {0})}, {}, 100, std::nullopt},
        {"no glyphs painted", {el("P", {0})}, {{0, 0, 0}}, 0, std::nullopt},
        {"79 of 100 covered", {el("P", {0})}, {{0, 79, 0}}, 100, std::nullopt},
        {"80 of 100 covered", {el("P", {0})}, {{0, 80, 0}}, 100, std::vector<Want>{{"P", {{0, 80}}, 1}}},
        {"glyphs referred to twice count twice",
         {el("P", {0}), el("P", {0})}, {{0, 50, 0}}, 100,
         std::vector<Want>{{"P", {{0, 50}}, 1}, {"P", {{0, 50}}, 1}}},
        {"no element refers to the spans", {el("P", {7})}, {{0, 100, 0}}, 100, std::nullopt},
        {"unreferenced marked content belongs to no run",
         {el("P", {0})}, {{0, 90, 0}, {90, 100, 1}}, 100, std::vector<Want>{{"P", {{0, 90}}, 1}}},
    };
    for (const auto& c : cases) check(c);
}

TEST(ReadingOrder, Runs) {
    const Case cases[] = {
        {"inline content joins the preceding block",
         {el("P", {0, 1}), el("Span", {2}, 1, 2), el("P", {3})},
         {{0, 2, 0}, {2, 4, 1}, {4, 5, 2}, {5, 8, 3}}, 8,
         std::vector<Want>{{"P", {{0, 2}, {2, 4}, {4, 5}}, 1}, {"P", {{5, 8}}, 1}}},
        {"a Span first opens its own run",
         {el("Span", {0}, 1, 3), el("P", {1})}, {{0, 4, 0}, {4, 8, 1}}, 8,
         std::vector<Want>{{"Span", {{0, 4}}, 3}, {"P", {{4, 8}}, 1}}},
        {"a block without content holds its links",
         {el("P", {}, 1, 2), el("Link", {0}, 1, 3), el("Link", {1}, 1, 3)}, {{0, 3, 0}, {3, 6, 1}}, 6,
         std::vector<Want>{{"P", {{0, 3}, {3, 6}}, 2}}},
        {"every inline role continues the run",
         {el("P", {}), el("RB", {0}), el("RT", {1}), el("RP", {2}), el("WT", {3}), el("WP", {4}),
          el("Note", {5}), el("Code", {6}), el("Ruby", {7}), el("Quote", {8}), el("Annot", {9}),
          el("Warichu", {10}), el("BibEntry", {11}), el("Reference", {12})},
         {{0, 1, 0}, {1, 2, 1}, {2, 3, 2}, {3, 4, 3}, {4, 5, 4}, {5, 6, 5}, {6, 7, 6}, {7, 8, 7}, {8, 9, 8},
          {9, 10, 9}, {10, 11, 10}, {11, 12, 11}, {12, 13, 12}}, 13,
         std::vector<Want>{{"P", {{0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 5}, {5, 6}, {6, 7}, {7, 8}, {8, 9},
                                  {9, 10}, {10, 11}, {11, 12}, {12, 13}}, 1}}},
        {"custom and differently cased types open runs",
         {el("H1", {0}), el("span", {1}), el("MyCustom", {2})}, {{0, 1, 0}, {1, 2, 1}, {2, 3, 2}}, 3,
         std::vector<Want>{{"H1", {{0, 1}}, 1}, {"span", {{1, 2}}, 1}, {"MyCustom", {{2, 3}}, 1}}},
        {"empty blocks are dropped",
         {el("Document", {}, 1, 0), el("Sect", {}, 1, 1), el("P", {0}, 1, 2), el("Figure", {}, 1, 2)},
         {{0, 5, 0}}, 5, std::vector<Want>{{"P", {{0, 5}}, 2}}},
        {"one MCID painted twice lands twice, in recording order",
         {el("P", {4})}, {{6, 10, 4}, {0, 3, 9}, {0, 6, 4}}, 10,
         std::vector<Want>{{"P", {{6, 10}, {0, 6}}, 1}}},
        {"elements without a page count for every page",
         {el("P", {0}, std::nullopt)}, {{0, 5, 0}}, 5, std::vector<Want>{{"P", {{0, 5}}, 1}}},
        {"ranges are kept within the page's glyphs",
         {el("P", {0}), el("P", {1})}, {{0, 12, 0}, {15, 20, 1}}, 10, std::vector<Want>{{"P", {{0, 10}}, 1}, {"P", {{10, 10}}, 1}}},
    };
    for (const auto& c : cases) check(c);
}

TEST(ReadingOrder, OtherPagesArePassedOver) {
    const Case cases[] = {
        {"another page's element contributes nothing, though its MCIDs exist here",
         {el("P", {0}, 2), el("P", {1})}, {{0, 5, 0}, {5, 10, 1}}, 10, std::nullopt},
        {"another page's block opens no run for the inline content after it",
         {el("P", {0}), el("H1", {}, 2), el("Span", {1})}, {{0, 5, 0}, {5, 10, 1}}, 10,
         std::vector<Want>{{"P", {{0, 5}, {5, 10}}, 1}}},
        {"another page's inline element adds nothing to the run",
         {el("P", {0}), el("Span", {1}, 2), el("P", {2})}, {{0, 4, 0}, {4, 5, 1}, {5, 10, 2}}, 10,
         std::vector<Want>{{"P", {{0, 4}}, 1}, {"P", {{5, 10}}, 1}}},
    };
    for (const auto& c : cases) check(c);
}
