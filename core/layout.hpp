// Recursive XY-cut: boxes into reading regions. Used when a page carries no
// structure tree worth trusting; looks only at geometry, never at text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace inkra {

// One box to be placed in a region. Both x edges first, then both y edges.
struct Item {
    double x0 = 0;    // left edge
    double x1 = 0;    // right edge
    double y0 = 0;    // bottom edge
    double y1 = 0;    // top edge (y grows upwards)
    double size = 0;  // the type size the box stands for
};

// A set of item indices; a region is a set.
using ItemSet = std::vector<std::size_t>;

// Which edges a channel is looked for across: X finds vertical channels
// between columns, Y horizontal channels between bands.
enum class Axis : std::uint8_t { X, Y };

// An empty channel: its width and where it starts.
struct Gap {
    double width = 0;
    double start = 0;
};

// The page's regions in reading order; every index lands in exactly one
// region, each region's indices ascending. Right-to-left pages read their
// columns from right to left.
std::vector<ItemSet> segment(std::span<const Item> items, bool right_to_left);

// The recursive step: appends the leaf regions of `set` to `output`.
void cut(std::span<const Item> items, ItemSet set, bool right_to_left, unsigned depth,
         std::vector<ItemSet>& output);

// The widest channel across `set` along `axis` with at least `min_side`
// of content on each side; of equal channels the lowest one.
std::optional<Gap> widest_gap(std::span<const Item> items, std::span<const std::size_t> set, Axis axis,
                              double min_side);

// The typical type size of a set: 10 when the median is not positive,
// 1 for an empty set.
double median_size(std::span<const Item> items, std::span<const std::size_t> set);

}  // namespace inkra
