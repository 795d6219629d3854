#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "layout.hpp"

using namespace inkra;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

Item box(double x0, double x1, double y0, double y1, double size = 10) { return {x0, x1, y0, y1, size}; }

// Every index in exactly one region, each region ascending.
void expect_partition(const std::vector<ItemSet>& regions, std::size_t n) {
    std::vector<int> seen(n, 0);
    for (const auto& r : regions) {
        EXPECT_FALSE(r.empty());
        EXPECT_TRUE(std::is_sorted(r.begin(), r.end()));
        for (auto i : r) {
            ASSERT_LT(i, n);
            ++seen[i];
        }
    }
    for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(seen[i], 1) << "index " << i;
}

// Two columns of `lines` lines, 10 pt boxes on a 12 pt pitch, 100 pt wide,
// `channel` points apart; items alternate left, right, line by line from the
// bottom. Returns the indices of the left and right column.
struct Columns {
    std::vector<Item> items;
    ItemSet left, right;
};

Columns two_columns(int lines, double channel, double base = 0) {
    Columns c;
    for (int i = 0; i < lines; ++i) {
        double y = base + i * 12.0;
        c.left.push_back(c.items.size());
        c.items.push_back(box(0, 100, y, y + 10));
        c.right.push_back(c.items.size());
        c.items.push_back(box(100 + channel, 200 + channel, y, y + 10));
    }
    return c;
}

}  // namespace

TEST(MedianSize, TypicalSize) {
    struct Case { std::vector<double> sizes; double want; };
    const Case cases[] = {
        {{}, 1.0},
        {{12}, 12},
        {{8, 12}, 12},             // upper middle of an even count
        {{12, 8, 10}, 10},
        {{0, 0, 0}, 10.0},         // zero sizes fall back to 10 pt
        {{-0.0, 0.0}, 10.0},
        {{-3, -2, 5}, 10.0},
        {{kNaN, 9, kNaN}, 10.0},   // NaN sorts last; the middle is NaN
        {{kNaN, 9, 11}, 11},
    };
    for (const auto& c : cases) {
        std::vector<Item> items;
        ItemSet set;
        for (double s : c.sizes) {
            set.push_back(items.size());
            items.push_back(box(0, 1, 0, 1, s));
        }
        EXPECT_EQ(median_size(items, set), c.want) << "case of " << c.sizes.size() << " sizes";
    }
}

TEST(WidestGap, Channels) {
    struct Case {
        const char* name;
        std::vector<std::pair<double, double>> intervals;
        double min_side;
        std::optional<Gap> want;
    };
    const Case cases[] = {
        {"one interval", {{0, 10}}, 0, std::nullopt},
        {"overlapping", {{0, 10}, {5, 20}, {20, 30}}, 0, std::nullopt},
        {"simple", {{0, 10}, {15, 30}}, 0, Gap{5, 10}},
        {"unsorted input", {{15, 30}, {0, 10}}, 0, Gap{5, 10}},
        {"widest wins", {{0, 10}, {12, 20}, {30, 40}}, 0, Gap{10, 20}},
        {"equal gaps: lowest wins", {{0, 10}, {20, 30}, {40, 50}}, 0, Gap{10, 10}},
        {"near side too narrow", {{0, 10}, {20, 30}, {40, 80}}, 15, Gap{10, 30}},
        {"far side too narrow", {{0, 40}, {50, 60}, {70, 80}}, 15, Gap{10, 40}},
        {"neither side wide enough", {{0, 10}, {20, 30}}, 15, std::nullopt},
        {"contained interval keeps the end", {{0, 50}, {10, 20}, {60, 70}}, 0, Gap{10, 50}},
        {"NaN far edge leaves the end", {{0, 10}, {20, kNaN}, {40, 50}}, 0, Gap{30, 10}},
    };
    for (const auto& c : cases) {
        for (Axis axis : {Axis::X, Axis::Y}) {
            std::vector<Item> items;
            ItemSet set;
            for (auto [lo, hi] : c.intervals) {
                set.push_back(items.size());
                items.push_back(axis == Axis::X ? box(lo, hi, 0, 1) : box(0, 1, lo, hi));
            }
            auto got = widest_gap(items, set, axis, c.min_side);
            ASSERT_EQ(got.has_value(), c.want.has_value()) << c.name;
            if (got) {
                EXPECT_EQ(got->width, c.want->width) << c.name;
                EXPECT_EQ(got->start, c.want->start) << c.name;
            }
        }
    }
}

TEST(Segment, FewItems) {
    EXPECT_TRUE(segment({}, true).empty());
    for (std::size_t n = 1; n <= 3; ++n) {
        // Far apart in both directions, yet too few to cut.
        std::vector<Item> items;
        for (std::size_t i = 0; i < n; ++i) items.push_back(box(i * 300.0, i * 300.0 + 10, i * 300.0, i * 300.0 + 10));
        auto regions = segment(items, false);
        ASSERT_EQ(regions.size(), 1u);
        EXPECT_EQ(regions[0].size(), n);
        expect_partition(regions, n);
    }
}

TEST(Segment, TwoColumns) {
    struct Case {
        int lines;
        double channel;
        bool rtl;
        bool split;
    };
    const Case cases[] = {
        {40, 12, true, true},    // right column first
        {40, 12, false, true},   // left column first
        {5, 12, true, false},    // short block: 1.2 sizes is too narrow
        {5, 12, false, false},
        {5, 16, true, true},     // 1.6 sizes is wide enough
        {5, 16, false, true},
        {40, 8, true, false},    // below 0.9 sizes even for a tall block
    };
    for (const auto& c : cases) {
        auto cols = two_columns(c.lines, c.channel);
        auto regions = segment(cols.items, c.rtl);
        expect_partition(regions, cols.items.size());
        SCOPED_TRACE(testing::Message() << c.lines << " lines, channel " << c.channel << (c.rtl ? " rtl" : " ltr"));
        if (!c.split) {
            EXPECT_EQ(regions.size(), 1u);
            continue;
        }
        ASSERT_EQ(regions.size(), 2u);
        EXPECT_EQ(regions[0], c.rtl ? cols.right : cols.left);
        EXPECT_EQ(regions[1], c.rtl ? cols.left : cols.right);
    }
}

TEST(Segment, TitleAboveColumns) {
    auto cols = two_columns(40, 12);  // tops out at 478
    const std::size_t title = cols.items.size();
    cols.items.push_back(box(0, 212, 500, 510));  // a 22 pt band above
    for (bool rtl : {true, false}) {
        auto regions = segment(cols.items, rtl);
        expect_partition(regions, cols.items.size());
        ASSERT_EQ(regions.size(), 3u);
        EXPECT_EQ(regions[0], ItemSet{title});
        EXPECT_EQ(regions[1], rtl ? cols.right : cols.left);
        EXPECT_EQ(regions[2], rtl ? cols.left : cols.right);
    }
}

TEST(Segment, ColumnsOrBandsFirst) {
    // Four blocks: two columns crossed by a horizontal channel. A column cut
    // wins only when its channel is strictly wider than the band channel.
    struct Case { double column_channel, row_channel; bool columns_first; };
    const Case cases[] = {{13, 12, true}, {12, 12, false}, {12, 13, false}};
    for (const auto& c : cases) {
        auto lower = two_columns(10, c.column_channel);
        auto upper = two_columns(10, c.column_channel, 118 + c.row_channel);
        std::vector<Item> items = lower.items;
        const std::size_t off = items.size();
        items.insert(items.end(), upper.items.begin(), upper.items.end());
        auto shift = [&](ItemSet s) {
            for (auto& i : s) i += off;
            return s;
        };
        const ItemSet ll = lower.left, lr = lower.right, ul = shift(upper.left), ur = shift(upper.right);
        auto regions = segment(items, false);
        expect_partition(regions, items.size());
        std::vector<ItemSet> want = c.columns_first ? std::vector<ItemSet>{ul, ll, ur, lr}
                                                    : std::vector<ItemSet>{ul, ur, ll, lr};
        EXPECT_EQ(regions, want) << "column " << c.column_channel << ", row " << c.row_channel;
    }
}

TEST(Segment, BandChannelOfOneSize) {
    // Two bands of two lines each, stacked, no column channel anywhere.
    struct Case { double size, channel; std::size_t regions; };
    const Case cases[] = {
        {10, 10, 2}, {10, 9, 1},
        {0, 10, 2}, {0, 9, 1},  // size 0 counts as 10 pt
    };
    for (const auto& c : cases) {
        std::vector<Item> items{box(0, 100, 0, 10, c.size), box(0, 100, 12, 22, c.size),
                                box(0, 100, 22 + c.channel, 32 + c.channel, c.size),
                                box(0, 100, 34 + c.channel, 44 + c.channel, c.size)};
        auto regions = segment(items, true);
        expect_partition(regions, items.size());
        ASSERT_EQ(regions.size(), c.regions) << "size " << c.size << ", channel " << c.channel;
        if (c.regions == 2) {
            EXPECT_EQ(regions[0], (ItemSet{2, 3}));  // upper band first
        }
    }
}

TEST(Segment, ShortBlockNeverCutIntoColumns) {
    // Four words 30 pt apart; one line is below 1.8 sizes tall, two lines are not.
    for (int lines : {1, 2}) {
        std::vector<Item> items;
        for (int l = 0; l < lines; ++l)
            for (int w = 0; w < 4; ++w) items.push_back(box(w * 90.0, w * 90.0 + 60, l * 12.0, l * 12.0 + 10));
        auto regions = segment(items, false);
        expect_partition(regions, items.size());
        if (lines == 1) {
            EXPECT_EQ(regions.size(), 1u);
        } else {
            EXPECT_GT(regions.size(), 1u);
        }
    }
}

TEST(Segment, DepthIsBounded) {
    // 100 bands of four boxes with equal channels: each cut peels off the
    // lowest band, and after 24 levels the rest stays one region.
    std::vector<Item> items;
    for (int b = 0; b < 100; ++b)
        for (int k = 0; k < 4; ++k) items.push_back(box(0, 100, b * 30.0, b * 30.0 + 10));
    auto regions = segment(items, false);
    expect_partition(regions, items.size());
    ASSERT_EQ(regions.size(), 25u);
    EXPECT_EQ(regions[0].size(), 76u * 4);
    EXPECT_EQ(regions[0].front(), 24u * 4);
    for (std::size_t r = 1; r < regions.size(); ++r) {
        std::size_t band = 24 - r;  // top to bottom
        EXPECT_EQ(regions[r], (ItemSet{band * 4, band * 4 + 1, band * 4 + 2, band * 4 + 3}));
    }
}
