#include "layout.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

namespace inkra {

namespace {

// Cutting stops below this many levels, so a degenerate page cannot exhaust
// the stack.
constexpr unsigned kMaxDepth = 23;

// Key whose signed integer order is the IEEE 754 total order of doubles
// (-NaN < -inf < ... < -0.0 < +0.0 < ... < +inf < +NaN).
std::int64_t total_order_key(double v) {
    auto bits = std::bit_cast<std::int64_t>(v);
    return bits ^ static_cast<std::int64_t>(static_cast<std::uint64_t>(bits >> 63) >> 1);
}

bool total_less(double a, double b) { return total_order_key(a) < total_order_key(b); }

struct Interval {
    double lo, hi;
};

Interval interval_of(const Item& it, Axis axis) {
    return axis == Axis::X ? Interval{it.x0, it.x1} : Interval{it.y0, it.y1};
}

}  // namespace

double median_size(std::span<const Item> items, std::span<const std::size_t> set) {
    if (set.empty()) return 1.0;
    std::vector<double> sizes;
    sizes.reserve(set.size());
    for (auto i : set) sizes.push_back(items[i].size);
    // Elements equal under the total order are bit-identical, so selecting
    // the middle gives the same value as sorting the whole list.
    auto mid = sizes.begin() + static_cast<std::ptrdiff_t>(sizes.size() / 2);
    std::nth_element(sizes.begin(), mid, sizes.end(), total_less);
    double m = *mid;
    return m > 0 ? m : 10.0;  // also catches NaN
}

std::optional<Gap> widest_gap(std::span<const Item> items, std::span<const std::size_t> set, Axis axis,
                              double min_side) {
    if (set.size() < 2) return std::nullopt;
    std::vector<Interval> iv;
    iv.reserve(set.size());
    for (auto i : set) iv.push_back(interval_of(items[i], axis));
    std::stable_sort(iv.begin(), iv.end(), [](const Interval& a, const Interval& b) { return total_less(a.lo, b.lo); });

    const double start = iv.front().lo;
    double far = -std::numeric_limits<double>::infinity();
    for (const auto& v : iv) far = std::fmax(far, v.hi);  // fmax passes NaN over
    double end = iv.front().hi;

    std::optional<Gap> best;
    for (std::size_t k = 1; k < iv.size(); ++k) {
        const double lo = iv[k].lo;
        const double gap = lo - end;
        if (end - start >= min_side && gap > 0 && far - lo >= min_side) {
            if (!best || gap > best->width) best = Gap{gap, end};
        }
        end = std::fmax(end, iv[k].hi);
    }
    return best;
}

void cut(std::span<const Item> items, ItemSet set, bool right_to_left, unsigned depth, std::vector<ItemSet>& output) {
    if (depth > kMaxDepth || set.size() <= 3) {
        output.push_back(std::move(set));
        return;
    }

    const double m = median_size(items, set);
    double top = -std::numeric_limits<double>::infinity();
    double bottom = std::numeric_limits<double>::infinity();
    for (auto i : set) {
        top = std::fmax(top, items[i].y1);
        bottom = std::fmin(bottom, items[i].y0);
    }
    const double height = top - bottom;

    // Each side of a column channel must span at least five type sizes.
    std::optional<Gap> column;
    if (height >= 1.8 * m) column = widest_gap(items, set, Axis::X, 5 * m);
    const std::optional<Gap> row = widest_gap(items, set, Axis::Y, 0);

    // Short blocks need a wider channel before they are split into columns.
    const double column_threshold = height < 8 * m ? 1.5 * m : 0.9 * m;

    enum class Split { None, Columns, Bands } split = Split::None;
    if (column) {
        if (column->width >= column_threshold && (!row || column->width > row->width))
            split = Split::Columns;
        else if (row && row->width >= m)
            split = Split::Bands;
        else if (column->width >= column_threshold)
            split = Split::Columns;
    } else if (row && row->width >= m) {
        split = Split::Bands;
    }
    if (split == Split::None) {
        output.push_back(std::move(set));
        return;
    }

    const bool columns = split == Split::Columns;
    const double position = columns ? column->start : row->start;
    ItemSet near, far;
    for (auto i : set) {
        const double edge = columns ? items[i].x1 : items[i].y1;
        (edge <= position ? near : far).push_back(i);
    }
    if (near.empty() || far.empty()) {
        output.push_back(std::move(set));
        return;
    }
    set = {};

    // Upper band first; columns right to left on right-to-left pages.
    if (!columns || right_to_left) {
        cut(items, std::move(far), right_to_left, depth + 1, output);
        cut(items, std::move(near), right_to_left, depth + 1, output);
    } else {
        cut(items, std::move(near), right_to_left, depth + 1, output);
        cut(items, std::move(far), right_to_left, depth + 1, output);
    }
}

std::vector<ItemSet> segment(std::span<const Item> items, bool right_to_left) {
    std::vector<ItemSet> output;
    ItemSet all(items.size());
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = i;
    if (all.empty()) return output;
    cut(items, std::move(all), right_to_left, 0, output);
    return output;
}

}  // namespace inkra
