#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "tables.hpp"

using namespace inkra;

namespace {

RuledLine h(double y, double x0, double x1) { return {x0, y, x1, y}; }
RuledLine v(double x, double y0, double y1) { return {x, y0, x, y1}; }

// Three full horizontals at `ys` and full verticals at `xs` over them.
std::vector<RuledLine> lattice(std::vector<double> xs, std::vector<double> ys) {
    std::vector<RuledLine> out;
    for (double y : ys) out.push_back(h(y, xs.front(), xs.back()));
    for (double x : xs) out.push_back(v(x, ys.front(), ys.back()));
    return out;
}

template <class T>
std::vector<T> operator+(std::vector<T> a, const std::vector<T>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TextLine line(std::string text, Rect box) {
    TextLine l;
    l.text = std::move(text);
    l.bbox = box;
    l.baseline = box.y0;
    return l;
}

std::string cell_texts(const Table& t) {
    std::string out;
    for (const auto& row : t.rows) {
        out += "[";
        for (const Cell& c : row) out += c.text + "|";
        out += "]";
    }
    return out;
}

}  // namespace

TEST(DetectRuled, WhichRuleSetsMakeGrids) {
    struct Case {
        const char* what;
        std::vector<RuledLine> rules;
        std::size_t grids;
        std::vector<std::size_t> xs;  // per grid
        std::vector<std::size_t> ys;
    };
    const std::vector<Case> cases = {
        {"three by three", lattice({0, 50, 100}, {0, 20, 40}), 1, {3}, {3}},
        {"two horizontals", {h(0, 0, 100), h(20, 0, 100), v(0, 0, 20), v(50, 0, 20), v(100, 0, 20)}, 0, {}, {}},
        {"two verticals", {h(0, 0, 100), h(10, 0, 100), h(20, 0, 100), v(0, 0, 20), v(100, 0, 20)}, 0, {}, {}},
        {"one rectangle", {h(0, 0, 100), h(20, 0, 100), v(0, 0, 20), v(100, 0, 20)}, 0, {}, {}},
        {"rules 1.9 apart merge", lattice({0, 50, 100}, {0, 20, 40}) + std::vector{h(41.9, 0, 100)}, 1, {3}, {3}},
        {"rules 2.5 apart stay", lattice({0, 50, 100}, {0, 20, 40}) + std::vector{h(42.5, 0, 100)}, 1, {3}, {4}},
        // Side by side at the same heights: one grid with both tables' columns.
        {"side by side", lattice({0, 50, 100}, {0, 20, 40}) + lattice({200, 250, 300}, {0, 20, 40}), 1, {6}, {3}},
        // One above the other, far apart: two stacks, the lower table first.
        {"stacked far apart", lattice({0, 50, 100}, {500, 520, 540}) + lattice({0, 50, 100}, {0, 20, 40}), 2,
         {3, 3}, {3, 3}},
        // Close above each other but not overlapping horizontally.
        {"stacked without overlap", lattice({0, 50, 100}, {0, 20, 40}) + lattice({200, 250, 300}, {60, 80, 100}),
         2, {3, 3}, {3, 3}},
        // Page-corner marks line up into boundaries as tall as the page,
        // but draw only a sliver of it.
        {"crop marks",
         {h(636, 0, 24), h(636, 456, 480), h(42, 0, 24), h(42, 456, 480), h(339, 0, 24), h(339, 456, 480),
          v(42, 654, 678), v(42, 0, 24), v(438, 654, 678), v(438, 0, 24), v(240, 654, 678), v(240, 0, 24)},
         0, {}, {}},
        // Column rules broken at every row rule still count as drawn.
        {"verticals broken at crossings",
         {h(0, 0, 100), h(20, 0, 100), h(40, 0, 100), v(0, 0, 20), v(0, 20, 40), v(50, 1, 19), v(50, 21, 39),
          v(100, 0, 20), v(100, 20, 40)},
         1, {3}, {3}},
        {"short vertical ignored", lattice({0, 50, 100}, {0, 20, 40}) + std::vector{v(75, 0, 19)}, 1, {3}, {3}},
        {"short horizontal ignored", lattice({0, 50, 100}, {0, 20, 40}) + std::vector{h(30, 0, 49)}, 1, {3}, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto grids = detect(c.rules);
        ASSERT_EQ(grids.size(), c.grids);
        for (std::size_t i = 0; i < grids.size(); ++i) {
            EXPECT_EQ(grids[i].xs.size(), c.xs[i]);
            EXPECT_EQ(grids[i].ys.size(), c.ys[i]);
            EXPECT_TRUE(grids[i].ruled);
            EXPECT_TRUE(std::is_sorted(grids[i].xs.begin(), grids[i].xs.end()));
            EXPECT_TRUE(std::is_sorted(grids[i].ys.rbegin(), grids[i].ys.rend()));
        }
    }
}

TEST(DetectRuled, GeometryOfTheGrid) {
    {
        SCOPED_TRACE("merged rules keep the first position; stacks come bottom first");
        auto rules = lattice({0, 50, 100}, {500, 520, 540}) + lattice({0, 50, 100}, {100, 120, 140});
        rules.push_back(h(101.9, 0, 100));
        const auto grids = detect(rules);
        ASSERT_EQ(grids.size(), 2u);
        EXPECT_EQ(grids[0].ys, (std::vector<double>{140, 120, 100}));
        EXPECT_EQ(grids[1].ys, (std::vector<double>{540, 520, 500}));
        EXPECT_EQ(grids[0].xs, (std::vector<double>{0, 50, 100}));
        EXPECT_EQ(grids[0].bbox, (Rect{0, 100, 100, 140}));
        EXPECT_DOUBLE_EQ(grids[0].confidence, 1.0);
    }
    {
        SCOPED_TRACE("a rule drawn as dashes is one boundary over all of them");
        std::vector<RuledLine> rules = {h(0, 0, 100), h(20, 0, 100), v(0, 0, 40), v(50, 0, 40), v(100, 0, 40)};
        for (double x = -10; x < 110; x += 8) rules.push_back(h(40, x, x + 4));
        const auto grids = detect(rules);
        ASSERT_EQ(grids.size(), 1u);
        EXPECT_EQ(grids[0].bbox, (Rect{-10, 0, 106, 40}));  // last dash 102..106
        EXPECT_EQ(grids[0].ys.size(), 3u);
    }
    {
        SCOPED_TRACE("rules 1.5 apart merge in pairs, not all into one");
        std::vector<RuledLine> rules = {v(0, 0, 40), v(50, 0, 40), v(100, 0, 40)};
        for (double y : {0.0, 1.5, 3.0, 4.5, 20.0, 40.0}) rules.push_back(h(y, 0, 100));
        const auto grids = detect(rules);
        ASSERT_EQ(grids.size(), 1u);
        EXPECT_EQ(grids[0].ys, (std::vector<double>{40, 20, 3, 0}));
    }
    {
        SCOPED_TRACE("a short horizontal still widens the box");
        auto rules = lattice({0, 50, 100}, {0, 20, 40});
        rules.push_back(h(30, -20, 10));
        const auto grids = detect(rules);
        ASSERT_EQ(grids.size(), 1u);
        EXPECT_EQ(grids[0].bbox, (Rect{-20, 0, 100, 40}));
        EXPECT_EQ(grids[0].ys.size(), 3u);
    }
    {
        SCOPED_TRACE("a gap of more than three median gaps cuts the stack");
        // Gaps 20, 20, 20, 70, 20, 20: median 20, so 70 > 60 cuts.
        std::vector<RuledLine> rules;
        for (double y : {0.0, 20.0, 40.0, 60.0, 130.0, 150.0, 170.0}) rules.push_back(h(y, 0, 100));
        for (double x : {0.0, 50.0, 100.0}) rules.push_back(v(x, 0, 170));
        const auto grids = detect(rules);
        ASSERT_EQ(grids.size(), 2u);
        EXPECT_EQ(grids[0].ys.size(), 4u);
        EXPECT_EQ(grids[1].ys.size(), 3u);
    }
    {
        SCOPED_TRACE("interior verticals over half the height lower the confidence");
        std::vector<RuledLine> rules = {h(0, 0, 100), h(20, 0, 100), h(40, 0, 100),
                                        v(0, 0, 40),  v(50, 20, 40), v(100, 0, 40)};
        const auto grids = detect(rules);
        ASSERT_EQ(grids.size(), 1u);
        EXPECT_DOUBLE_EQ(grids[0].confidence, 0.5 * (1.0 + (1.0 + 0.5 + 1.0) / 3));
    }
}

TEST(DetectRuled, NonFiniteRulesDoNotBreakDetection) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    auto rules = lattice({0, 50, 100}, {0, 20, 40});
    rules.push_back({nan, 10, 100, 10});
    rules.push_back({30, nan, 30, 40});
    rules.push_back({-inf, 30, inf, 30});
    rules.push_back({nan, nan, nan, nan});
    const auto grids = detect(rules);
    for (const Grid& g : grids) {
        EXPECT_GE(g.xs.size(), 3u);
        EXPECT_GE(g.ys.size(), 3u);
    }
}

TEST(Fill, CellsInReadingOrder) {
    Grid grid;
    grid.xs = {0, 100, 200};
    grid.ys = {60, 30, 0};
    grid.bbox = {0, 0, 200, 60};
    grid.confidence = 1.0;
    grid.ruled = true;
    const std::vector<TextLine> lines = {
        line("left-top", {10, 40, 90, 50}),
        line("right-top", {110, 40, 190, 50}),
        line("left-bottom", {10, 10, 90, 20}),
        line("outside", {300, 10, 390, 20}),
        line("right-bottom", {110, 10, 190, 20}),
    };
    {
        SCOPED_TRACE("right to left: column 0 is the rightmost");
        const auto f = fill(grid, lines, true);
        EXPECT_EQ(cell_texts(f.table), "[right-top|left-top|][right-bottom|left-bottom|]");
        EXPECT_EQ(f.table.rows[0][0].bbox, (Rect{100, 30, 200, 60}));
        EXPECT_EQ(f.consumed, (std::vector<std::size_t>{0, 1, 2, 4}));
        for (std::size_t r = 0; r < 2; ++r)
            for (std::size_t c = 0; c < 2; ++c) {
                EXPECT_EQ(f.table.rows[r][c].row, r);
                EXPECT_EQ(f.table.rows[r][c].column, c);
            }
        EXPECT_EQ(f.table.bbox, grid.bbox);
        EXPECT_EQ(f.table.confidence, 1.0);
        EXPECT_EQ(column_count(f.table), 2u);
    }
    {
        SCOPED_TRACE("left to right");
        const auto f = fill(grid, lines, false);
        EXPECT_EQ(cell_texts(f.table), "[left-top|right-top|][left-bottom|right-bottom|]");
    }
}

TEST(Fill, MembersOfOneCell) {
    Grid grid;
    grid.xs = {0, 100, 200};
    grid.ys = {60, 30, 0};
    const std::vector<TextLine> lines = {
        line("low", {10, 32, 40, 40}),
        line("a", {10, 45, 40, 55}),   // same baseline as b, further left
        line("b", {60, 45, 90, 55}),
        line("edge", {80, 10, 120, 20}),  // centre on the shared x = 100
    };
    struct Case {
        bool rtl;
        std::string expected;
    };
    for (const Case& c : {Case{true, "[|b a low|][edge|edge|]"}, Case{false, "[a b low||][edge|edge|]"}}) {
        SCOPED_TRACE(c.rtl);
        const auto f = fill(grid, lines, c.rtl);
        EXPECT_EQ(cell_texts(f.table), c.expected);
        EXPECT_EQ(f.consumed, (std::vector<std::size_t>{0, 1, 2, 3}));
    }
}

TEST(Fill, DegenerateGrids) {
    const std::vector<TextLine> lines = {line("x", {10, 10, 20, 20})};
    Grid one_column;
    one_column.xs = {0};
    one_column.ys = {60, 30, 0};
    const auto f = fill(one_column, lines, false);
    EXPECT_EQ(f.table.rows.size(), 2u);
    EXPECT_EQ(column_count(f.table), 0u);
    EXPECT_TRUE(f.consumed.empty());

    Grid one_row_boundary;
    one_row_boundary.xs = {0, 100};
    one_row_boundary.ys = {60};
    EXPECT_TRUE(fill(one_row_boundary, lines, true).table.rows.empty());
    EXPECT_EQ(column_count(Table{}), 0u);
}

// ---- borderless ----

namespace {

Item word(double x0, double x1, double y, double size = 10) { return {x0, x1, y, y + size, size}; }

// `rows` rows of words 50 wide, one per column start, 15 apart from `top` down.
std::vector<Item> rows_of_words(std::size_t rows, std::vector<double> columns, double top = 700) {
    std::vector<Item> out;
    for (std::size_t r = 0; r < rows; ++r)
        for (double x : columns) out.push_back(word(x, x + 50, top - 15 * double(r)));
    return out;
}

}  // namespace

TEST(DetectBorderless, WhichLayoutsAreTables) {
    struct Case {
        const char* what;
        std::vector<Item> items;
        std::vector<std::size_t> xs;  // per grid
        std::vector<std::size_t> ys;
    };
    std::vector<Item> heading = rows_of_words(5, {0, 100, 200, 300});
    heading.push_back(word(0, 350, 715));
    const std::vector<Case> cases = {
        {"five rows of four columns", rows_of_words(5, {0, 100, 200, 300}), {5}, {6}},
        {"four rows", rows_of_words(4, {0, 100, 200, 300}), {}, {}},
        {"three columns", rows_of_words(5, {0, 100, 200}), {}, {}},
        {"heading trimmed", heading, {5}, {6}},
        {"two bands", rows_of_words(5, {0, 100, 200, 300}) + rows_of_words(5, {0, 100, 200, 300}, 500), {5, 5},
         {6, 6}},
        {"wider than 20000 points", rows_of_words(5, {0, 7000, 14000, 21000}), {}, {}},
        {"gaps below 0.8 sizes", rows_of_words(5, {0, 57, 114, 171}), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto grids = detect_borderless(c.items);
        ASSERT_EQ(grids.size(), c.xs.size());
        for (std::size_t i = 0; i < grids.size(); ++i) {
            EXPECT_EQ(grids[i].xs.size(), c.xs[i]);
            EXPECT_EQ(grids[i].ys.size(), c.ys[i]);
            EXPECT_FALSE(grids[i].ruled);
            EXPECT_EQ(grids[i].confidence, 0.5);
        }
        if (grids.size() == 2) {
            EXPECT_GT(grids[0].bbox.y0, grids[1].bbox.y1);  // top band first
        }
    }
}

TEST(DetectBorderless, GridGeometry) {
    std::vector<Item> items = rows_of_words(5, {0, 100, 200, 300});
    items.push_back(word(0, 350, 715));  // heading across the columns
    const auto grids = detect_borderless(items);
    ASSERT_EQ(grids.size(), 1u);
    // Ink ends at 50, 150, 250; white runs of 49 positions end at 100, 200, 300.
    EXPECT_EQ(grids[0].xs, (std::vector<double>{0, 75.5, 175.5, 275.5, 350}));
    // Rows from 700 to 640, each 10 high, 5 apart: midpoints between them.
    EXPECT_EQ(grids[0].ys, (std::vector<double>{710, 697.5, 682.5, 667.5, 652.5, 640}));
    EXPECT_EQ(grids[0].bbox, (Rect{0, 640, 350, 710}));
}

TEST(DetectBorderless, NonFiniteItemsDoNotBreakDetection) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::vector<Item> items = rows_of_words(6, {0, 100, 200, 300});
    items.push_back({nan, 10, 700, 710, 10});
    items.push_back({0, nan, nan, 710, nan});
    items.push_back({-1e300, 1e300, 650, 660, 10});
    const auto grids = detect_borderless(items);
    for (const Grid& g : grids) EXPECT_EQ(g.confidence, 0.5);
}

TEST(BorderlessRows, SplitRowsMergeOnlyWithoutOverlap) {
    struct Case {
        const char* what;
        std::vector<Item> items;
        std::size_t rows;
    };
    const std::vector<Case> cases = {
        {"same baseline", {word(0, 40, 100), word(60, 100, 100)}, 1},
        {"4 lower, apart", {word(0, 40, 100), word(60, 100, 96)}, 1},
        {"4 lower, overlapping", {word(0, 40, 100), word(30, 70, 96)}, 2},
        {"7 lower, apart", {word(0, 40, 100), word(60, 100, 93)}, 2},
        {"three pieces", {word(0, 40, 100), word(60, 100, 96), word(120, 160, 95.5)}, 1},
        {"none", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Row> rows = group_rows_by_baseline(c.items);
        merge_split_rows(rows);
        ASSERT_EQ(rows.size(), c.rows);
        if (c.rows == 1) {
            EXPECT_EQ(rows[0].items.size(), c.items.size());
            EXPECT_EQ(rows[0].baseline, 100);
            EXPECT_EQ(rows[0].top, 110);
            EXPECT_EQ(rows[0].bottom, std::min_element(c.items.begin(), c.items.end(), [](auto& a, auto& b) {
                                          return a.y0 < b.y0;
                                      })->y0);
        }
    }
}

TEST(VotedBoundaries, RunsOfAgreedWhiteSpace) {
    auto row_of = [](std::vector<Item> items) {
        std::vector<Row> rows = group_rows_by_baseline(items);
        return rows.front();
    };
    // Ink at 0..10 and 20..30 in both rows: white positions 11..19.
    const std::vector<Row> rows = {row_of({word(0, 10, 100), word(20, 30, 100)}),
                                   row_of({word(0, 10, 80), word(20, 30, 80)})};
    EXPECT_EQ(voted_boundaries(rows, 0, 30, 8), (std::vector<double>{15.5}));
    EXPECT_EQ(voted_boundaries(rows, 0, 30, 9), (std::vector<double>{15.5}));
    EXPECT_TRUE(voted_boundaries(rows, 0, 30, 10).empty());
    // A run reaching the last position: the right edge lies past the ink.
    EXPECT_EQ(voted_boundaries(rows, 0, 40, 8), (std::vector<double>{15.5}));
    // One row blank where the other is inked: 1 of 2 is below three quarters.
    const std::vector<Row> disagree = {row_of({word(0, 10, 100), word(20, 30, 100)}), row_of({word(0, 30, 80)})};
    EXPECT_TRUE(voted_boundaries(disagree, 0, 30, 1).empty());
    EXPECT_TRUE(voted_boundaries(rows, 0, 20001, 1).empty());
    EXPECT_TRUE(voted_boundaries(rows, 0, std::numeric_limits<double>::quiet_NaN(), 1).empty());
}

TEST(MedianItemSize, UpperMiddleAtLeastOne) {
    struct Case {
        std::vector<double> sizes;
        double expected;
    };
    for (const Case& c : {Case{{}, 10.0}, Case{{0.5}, 1.0}, Case{{3, 1, 4, 2}, 3.0}, Case{{5, 9, 7}, 7.0}}) {
        std::vector<Item> items;
        for (double s : c.sizes) items.push_back(word(0, 1, 0, s));
        EXPECT_EQ(median_item_size(items), c.expected);
    }
}
