#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "arabic.hpp"
#include "unicode.hpp"

using namespace inkra;

namespace {

Placed glyph(double x, double y, double size = 10, std::uint8_t rotation = 0, std::uint32_t code = 0) {
    Glyph g;
    g.font = "F1";
    g.x = x;
    g.y = y;
    g.size = size;
    g.advance = size / 2;
    g.rotation = rotation;
    g.code = code;
    return Placed(g);
}

std::vector<std::size_t> line_sizes(const std::vector<Line>& lines) {
    std::vector<std::size_t> out;
    for (const auto& l : lines) out.push_back(l.size());
    return out;
}

}  // namespace

TEST(TotalOrder, SignedZerosAndNaNs) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(total_less(-0.0, 0.0));
    EXPECT_FALSE(total_less(0.0, -0.0));
    EXPECT_TRUE(total_less(inf, nan));
    EXPECT_TRUE(total_less(-nan, -inf));
    EXPECT_TRUE(total_less(-2.0, -1.0));
    EXPECT_FALSE(total_less(nan, nan));
    std::vector<double> v{1.0, nan, -0.0, -inf, 0.0, -1.0};
    std::stable_sort(v.begin(), v.end(), total_less);
    EXPECT_EQ(v[0], -inf);
    EXPECT_TRUE(std::signbit(v[2]) && v[2] == 0.0);
    EXPECT_FALSE(std::signbit(v[3]));
    EXPECT_TRUE(std::isnan(v[5]));
}

TEST(Placed, RunCoordinatesFollowTheQuadrant) {
    struct Case { std::uint8_t rotation; double run_x, run_y; };
    const Case cases[] = {{0, 3, 5}, {1, 5, 3}, {2, -3, 5}, {3, -5, 3}};
    for (const auto& c : cases) {
        Placed p = glyph(3, 5, 10, c.rotation);
        EXPECT_EQ(p.run_x, c.run_x) << int(c.rotation);
        EXPECT_EQ(p.run_y, c.run_y) << int(c.rotation);
        EXPECT_FALSE(p.anchored);
        EXPECT_FALSE(p.actual.has_value());
    }
}

TEST(GroupIntoLines, Tolerance) {
    struct Case { const char* what; std::vector<Placed> glyphs; std::vector<std::size_t> lines; };
    const Case cases[] = {
        {"empty", {}, {}},
        {"exactly 0.3 x size apart", {glyph(0, 100), glyph(5, 97)}, {2}},
        {"a hair more", {glyph(0, 100), glyph(5, 96.999)}, {1, 1}},
        {"0.5 pt floor for tiny text", {glyph(0, 100, 1), glyph(1, 99.55, 1)}, {2}},
        {"beyond the floor", {glyph(0, 100, 1), glyph(1, 99.45, 1)}, {1, 1}},
        // the raised glyph sorts first and anchors the line; the next line is split off
        {"raised glyph", {glyph(0, 100), glyph(5, 102.5), glyph(10, 100), glyph(0, 88), glyph(5, 88)}, {3, 2}},
        // each neighbour is close, but the anchor stays the first glyph
        {"drifting baseline", {glyph(0, 100), glyph(5, 99), glyph(10, 98), glyph(15, 97), glyph(20, 96.5)}, {4, 1}},
        // quadrants break each other's lines at interleaving heights
        {"quadrant mixing", {glyph(0, 100), glyph(5, 98.5), glyph(99, 0, 10, 1)}, {1, 1, 1}},
        {"tolerance is the tested glyph's", {glyph(0, 100, 2), glyph(5, 97.5, 10)}, {2}},
    };
    for (const auto& c : cases) EXPECT_EQ(line_sizes(group_into_lines(c.glyphs)), c.lines) << c.what;
}

TEST(GroupIntoLines, VisualOrderWithinLinesAndStableTies) {
    // painted right to left, as an Arabic line often is
    std::vector<Placed> in{glyph(30, 100, 10, 0, 1), glyph(20, 100, 10, 0, 2), glyph(10, 100, 10, 0, 3),
                           glyph(20, 100, 10, 0, 4), glyph(0, 80, 10, 0, 5)};
    auto lines = group_into_lines(in);
    ASSERT_EQ(lines.size(), 2u);
    std::vector<std::uint32_t> codes;
    for (const auto& p : lines[0]) codes.push_back(p.glyph.code);
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{3, 2, 4, 1}));
    EXPECT_EQ(lines[1][0].glyph.code, 5u);

    // -0.0 sorts before +0.0
    auto zeros = group_into_lines(std::vector<Placed>{glyph(0.0, 100, 10, 0, 1), glyph(-0.0, 100, 10, 0, 2)});
    ASSERT_EQ(zeros.size(), 1u);
    EXPECT_EQ(zeros[0][0].glyph.code, 2u);
}

TEST(MedianTextSize, UpperMiddle) {
    auto sized = [](std::initializer_list<double> sizes) {
        std::vector<Placed> v;
        for (double s : sizes) v.push_back(glyph(0, 0, s));
        return median_text_size(v);
    };
    EXPECT_EQ(median_text_size({}), 10.0);
    EXPECT_EQ(sized({14, 8, 12, 10}), 12.0);
    EXPECT_EQ(sized({11, 9, 10}), 10.0);
    EXPECT_EQ(sized({7}), 7.0);
}
