#include "tables.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <expected>
#include <limits>
#include <string_view>

#include "unicode.hpp"

namespace inkra {
namespace {

// ---- ruled tables ----

// Rules this close are one rule drawn twice, or the two strokes of a
// double border.
constexpr double kMergeDistance = 2.0;
// Table rules further apart than this many median gaps belong to
// different tables.
constexpr double kStackGaps = 3.0;
// A rule covering less than this share of its table is a partial rule,
// not a column or row boundary.
constexpr double kHalfRule = 0.5;

struct Split {
    std::vector<Boundary> horizontal;
    std::vector<Boundary> vertical;
};

// A NaN end point gives way to the other one.
Split split_by_orientation(std::span<const RuledLine> rules) {
    Split out;
    for (const RuledLine& r : rules) {
        if (std::abs(r.x1 - r.x0) > std::abs(r.y1 - r.y0))
            out.horizontal.push_back({(r.y0 + r.y1) / 2, std::fmin(r.x0, r.x1), std::fmax(r.x0, r.x1)});
        else
            out.vertical.push_back({(r.x0 + r.x1) / 2, std::fmin(r.y0, r.y1), std::fmax(r.y0, r.y1)});
    }
    return out;
}

// A merged boundary and how much of its extent its pieces actually draw.
struct Merged {
    Boundary boundary;
    double drawn = 0;
};

// The length the pieces cover together, overlaps counted once.
double drawn_length(std::vector<Boundary> pieces) {
    std::erase_if(pieces, [](const Boundary& b) { return !(b.end >= b.start); });
    std::stable_sort(pieces.begin(), pieces.end(),
                     [](const Boundary& a, const Boundary& b) { return total_less(a.start, b.start); });
    double total = 0, lo = 0, hi = 0;
    bool open = false;
    for (const Boundary& b : pieces) {
        if (open && b.start <= hi) {
            hi = std::max(hi, b.end);
            continue;
        }
        if (open) total += hi - lo;
        lo = b.start;
        hi = b.end;
        open = true;
    }
    return open ? total + hi - lo : total;
}

// Each boundary is compared with the first member of the group it might
// join, so a run of closely spaced rules merges in pairs rather than
// collapsing into one; pieces of one broken rule become one boundary.
std::vector<Merged> merge_boundaries(std::vector<Boundary> list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const Boundary& a, const Boundary& b) { return total_less(a.position, b.position); });
    std::vector<Merged> merged;
    std::vector<Boundary> pieces;
    for (const Boundary& b : list) {
        if (!merged.empty() && std::abs(b.position - merged.back().boundary.position) <= kMergeDistance) {
            Boundary& k = merged.back().boundary;
            k.start = std::fmin(k.start, b.start);
            k.end = std::fmax(k.end, b.end);
            pieces.push_back(b);
            continue;
        }
        if (!merged.empty()) merged.back().drawn = drawn_length(std::move(pieces));
        pieces.assign(1, b);
        merged.push_back({b, 0});
    }
    if (!merged.empty()) merged.back().drawn = drawn_length(std::move(pieces));
    return merged;
}

std::vector<Boundary> boundaries_of(std::span<const Merged> merged) {
    std::vector<Boundary> out;
    out.reserve(merged.size());
    for (const Merged& m : merged) out.push_back(m.boundary);
    return out;
}

// The upper middle for an even count; 0 for nothing.
double median_of(std::vector<double> values) {
    if (values.empty()) return 0;
    std::stable_sort(values.begin(), values.end(), total_less);
    return values[values.size() / 2];
}

double median_gap(std::span<const Boundary> sorted) {
    std::vector<double> gaps;
    gaps.reserve(sorted.size());
    for (std::size_t i = 1; i < sorted.size(); ++i) gaps.push_back(sorted[i].position - sorted[i - 1].position);
    return median_of(std::move(gaps));
}

// Consecutive horizontal rules that overlap and are not too far apart
// belong to one table. On densely ruled pages (tiny median gap) the
// distance is no guide and overlap alone decides.
std::vector<std::vector<Boundary>> stack_rules(std::span<const Boundary> horizontal, double gap) {
    std::vector<std::vector<Boundary>> stacks;
    for (const Boundary& b : horizontal) {
        if (!stacks.empty()) {
            const Boundary& p = stacks.back().back();
            const bool overlap = b.end > p.start && p.end > b.start;
            if (overlap && (gap <= 1.0 || b.position - p.position <= kStackGaps * gap)) {
                stacks.back().push_back(b);
                continue;
            }
        }
        stacks.push_back({b});
    }
    return stacks;
}

double mean_coverage(std::span<const Boundary> rules, double extent) {
    double sum = 0;
    for (const Boundary& r : rules) sum += std::min((r.end - r.start) / extent, 1.0);
    return sum / double(rules.size());
}

std::optional<Grid> grid_from_stack(std::span<const Boundary> stack, std::span<const Merged> vertical) {
    double top = stack.front().position, bottom = stack.front().position;
    double left = stack.front().start, right = stack.front().end;
    for (const Boundary& h : stack) {
        top = std::fmax(top, h.position);
        bottom = std::fmin(bottom, h.position);
        left = std::fmin(left, h.start);
        right = std::fmax(right, h.end);
    }
    const double width = right - left, height = top - bottom;
    if (width <= 0 || height <= 0) return std::nullopt;

    // A column rule must be drawn over half the table's height, not only
    // reach that far: crop and registration marks at the page's edges line
    // up at the same x and merge into boundaries as tall as the page.
    std::vector<Boundary> columns;
    for (const Merged& m : vertical) {
        const Boundary& v = m.boundary;
        if (top > v.start && v.end > bottom && v.end - v.start >= kHalfRule * height && m.drawn >= kHalfRule * height)
            columns.push_back(v);
    }
    if (columns.size() < 3) return std::nullopt;
    std::vector<Boundary> rows;
    for (const Boundary& h : stack)
        if (h.end - h.start >= kHalfRule * width) rows.push_back(h);
    if (rows.size() < 3) return std::nullopt;

    Grid grid;
    for (const Boundary& v : columns) grid.xs.push_back(v.position);
    for (const Boundary& h : rows) grid.ys.push_back(h.position);
    std::stable_sort(grid.xs.begin(), grid.xs.end(), total_less);
    std::stable_sort(grid.ys.begin(), grid.ys.end(), [](double a, double b) { return total_less(b, a); });
    grid.bbox = {left, bottom, right, top};
    grid.confidence = 0.5 * (mean_coverage(rows, width) + mean_coverage(columns, height));
    grid.ruled = true;
    return grid;
}

// The cell rectangles of a grid, rows from the top and columns in reading
// order; rows without cells when the grid has fewer than two x boundaries.
std::vector<std::vector<Rect>> cell_rects(const Grid& grid, bool right_to_left) {
    const std::size_t rows = grid.ys.size() >= 2 ? grid.ys.size() - 1 : 0;
    const std::size_t columns = grid.xs.size() >= 2 ? grid.xs.size() - 1 : 0;
    std::vector<std::vector<Rect>> out(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        out[r].reserve(columns);
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t p = right_to_left ? columns - 1 - c : c;
            out[r].push_back({std::min(grid.xs[p], grid.xs[p + 1]), std::min(grid.ys[r], grid.ys[r + 1]),
                              std::max(grid.xs[p], grid.xs[p + 1]), std::max(grid.ys[r], grid.ys[r + 1])});
        }
    }
    return out;
}

bool centre_inside(const Rect& line, const Rect& cell) {
    const double cx = (line.x0 + line.x1) / 2, cy = (line.y0 + line.y1) / 2;
    return cx >= cell.x0 && cx <= cell.x1 && cy >= cell.y0 && cy <= cell.y1;
}

// ---- borderless tables ----

// Rows this much further apart than usual start a new band.
constexpr double kBandGap = 2.5;
// A band needs this many rows to be a table.
constexpr std::size_t kMinRows = 5;
// A column gap is at least this share of the type size.
constexpr double kGapShare = 0.8;
// Bands wider than this are not voted.
constexpr double kMaxSpan = 20000;
constexpr double kBoundaryShare = 0.6;  // of rows that must span a boundary
constexpr double kInkedColumns = 0.4;   // share of columns a fitting row inks
constexpr std::string_view kBandAlwaysOpen = "a band is always open";

struct Extent {
    double x0 = std::numeric_limits<double>::infinity();
    double x1 = -std::numeric_limits<double>::infinity();
};

Extent extent_of(std::span<const Item> items) {
    Extent e;
    for (const Item& it : items) {
        e.x0 = std::fmin(e.x0, it.x0);
        e.x1 = std::fmax(e.x1, it.x1);
    }
    return e;
}

using Band = std::vector<Row>;

// Rows split where the baseline gap is well above the usual line spacing.
std::expected<std::vector<Band>, std::string_view> regular_bands(std::vector<Row> rows) {
    std::vector<double> gaps;
    gaps.reserve(rows.size());
    for (std::size_t i = 1; i < rows.size(); ++i) gaps.push_back(rows[i - 1].baseline - rows[i].baseline);
    const double limit = gaps.empty() ? 0 : std::max(median_of(gaps), 1.0) * kBandGap;
    std::vector<Band> bands;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (i == 0 || gaps[i - 1] > limit) bands.emplace_back();
        if (bands.empty()) return std::unexpected(kBandAlwaysOpen);
        bands.back().push_back(std::move(rows[i]));
    }
    std::erase_if(bands, [](const Band& b) { return b.size() < kMinRows; });
    return bands;
}

std::vector<Item> items_of(std::span<const Row> rows) {
    std::vector<Item> all;
    for (const Row& r : rows) all.insert(all.end(), r.items.begin(), r.items.end());
    return all;
}

// A row fits the columns when none of its items straddles a boundary that
// runs through its ink, the white space there is wide enough, and it inks
// enough of the columns.
bool fits(const Row& row, std::span<const double> boundaries, double min_width) {
    for (const double k : boundaries) {
        bool left_ink = false, right_ink = false;
        double l = -std::numeric_limits<double>::infinity(), m = std::numeric_limits<double>::infinity();
        for (const Item& it : row.items) {
            left_ink = left_ink || it.x0 < k;
            right_ink = right_ink || it.x1 > k;
            if (it.x0 < k && k < it.x1) return false;
            if (it.x1 <= k) l = std::max(l, it.x1);
            if (it.x0 >= k) m = std::min(m, it.x0);
        }
        if (left_ink && right_ink && !(m - l >= min_width)) return false;
    }
    std::size_t inked = 0;
    for (std::size_t c = 0; c <= boundaries.size(); ++c) {
        const double lo = c == 0 ? -std::numeric_limits<double>::infinity() : boundaries[c - 1];
        const double hi = c == boundaries.size() ? std::numeric_limits<double>::infinity() : boundaries[c];
        if (std::any_of(row.items.begin(), row.items.end(), [&](const Item& it) { return it.x0 < hi && it.x1 > lo; }))
            ++inked;
    }
    return double(inked) >= kInkedColumns * double(boundaries.size() + 1);
}

std::optional<Grid> grid_from_band(std::span<const Row> band) {
    const std::vector<Item> all = items_of(band);
    const double w = kGapShare * median_item_size(all);
    const Extent e = extent_of(all);
    const std::vector<double> first = voted_boundaries(band, e.x0, e.x1, w);
    if (first.size() < 3) return std::nullopt;

    // Headings and notes next to the table cross its columns: trim them
    // off both ends, but keep whatever lies between fitting rows.
    std::size_t lo = 0, hi = band.size();
    while (lo < hi && !fits(band[lo], first, w)) ++lo;
    while (hi > lo && !fits(band[hi - 1], first, w)) --hi;
    const std::span<const Row> kept = band.subspan(lo, hi - lo);
    if (kept.size() < kMinRows) return std::nullopt;

    const Extent k = extent_of(items_of(kept));
    const std::vector<double> second = voted_boundaries(kept, k.x0, k.x1, w);
    if (second.size() < 3) return std::nullopt;
    std::size_t spanning = 0;
    for (const Row& r : kept) {
        const Extent re = extent_of(r.items);
        if (std::any_of(second.begin(), second.end(), [&](double b) { return re.x0 < b && b < re.x1; })) ++spanning;
    }
    if (double(spanning) < kBoundaryShare * double(kept.size())) return std::nullopt;

    Grid grid;
    grid.xs.push_back(k.x0);
    grid.xs.insert(grid.xs.end(), second.begin(), second.end());
    grid.xs.push_back(k.x1);
    grid.ys.push_back(kept.front().top);
    for (std::size_t i = 1; i < kept.size(); ++i) grid.ys.push_back((kept[i - 1].bottom + kept[i].top) / 2);
    grid.ys.push_back(kept.back().bottom);
    grid.bbox = {k.x0, kept.back().bottom, k.x1, kept.front().top};
    grid.confidence = 0.5;
    grid.ruled = false;
    return grid;
}

// An offset from the band's left edge as a voting position; NaN counts as 0.
std::size_t position_of(double offset, std::size_t span) {
    const double p = std::round(std::fmax(offset, 0.0));
    return p >= double(span) ? span : std::size_t(p);
}

}  // namespace

// ---- ruled tables ----

std::vector<Grid> detect(std::span<const RuledLine> rules) {
    Split split = split_by_orientation(rules);
    const std::vector<Boundary> horizontal = boundaries_of(merge_boundaries(std::move(split.horizontal)));
    const std::vector<Merged> vertical = merge_boundaries(std::move(split.vertical));
    if (horizontal.size() < 3 || vertical.size() < 3) return {};
    std::vector<Grid> grids;
    for (const auto& stack : stack_rules(horizontal, median_gap(horizontal))) {
        if (stack.size() < 3) continue;
        if (auto grid = grid_from_stack(stack, vertical)) grids.push_back(std::move(*grid));
    }
    return grids;
}

FilledTable fill(const Grid& grid, std::span<const TextLine> lines, bool right_to_left) {
    FilledTable out;
    out.table.bbox = grid.bbox;
    out.table.confidence = grid.confidence;
    const auto rects = cell_rects(grid, right_to_left);
    out.table.rows.resize(rects.size());
    std::vector<std::size_t> members;
    for (std::size_t r = 0; r < rects.size(); ++r) {
        for (std::size_t c = 0; c < rects[r].size(); ++c) {
            members.clear();
            for (std::size_t i = 0; i < lines.size(); ++i)
                if (centre_inside(lines[i].bbox, rects[r][c])) members.push_back(i);
            out.consumed.insert(out.consumed.end(), members.begin(), members.end());
            // Top line first; side by side, in the page's reading direction.
            std::stable_sort(members.begin(), members.end(), [&](std::size_t a, std::size_t b) {
                const TextLine &la = lines[a], &lb = lines[b];
                if (total_order_key(la.baseline) != total_order_key(lb.baseline))
                    return total_less(lb.baseline, la.baseline);
                return right_to_left ? total_less(lb.bbox.x0, la.bbox.x0) : total_less(la.bbox.x0, lb.bbox.x0);
            });
            Cell cell;
            cell.bbox = rects[r][c];
            cell.row = r;
            cell.column = c;
            for (std::size_t m = 0; m < members.size(); ++m) {
                if (m) cell.text += ' ';
                cell.text += lines[members[m]].text;
            }
            out.table.rows[r].push_back(std::move(cell));
        }
    }
    std::sort(out.consumed.begin(), out.consumed.end());
    out.consumed.erase(std::unique(out.consumed.begin(), out.consumed.end()), out.consumed.end());
    return out;
}

std::size_t column_count(const Table& table) { return table.rows.empty() ? 0 : table.rows.front().size(); }

// ---- borderless tables ----

double median_item_size(std::span<const Item> items) {
    if (items.empty()) return 10.0;
    std::vector<double> sizes;
    sizes.reserve(items.size());
    for (const Item& it : items) sizes.push_back(it.size);
    return std::max(median_of(std::move(sizes)), 1.0);
}

std::vector<Row> group_rows_by_baseline(std::span<const Item> items) {
    std::vector<Item> sorted(items.begin(), items.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const Item& a, const Item& b) { return total_less(b.y0, a.y0); });
    std::vector<Row> rows;
    for (const Item& it : sorted) {
        if (!rows.empty() && std::abs(rows.back().baseline - it.y0) <= std::max(0.3 * it.size, 0.5)) {
            Row& r = rows.back();
            r.items.push_back(it);
            r.top = std::max(r.top, it.y1);
            r.bottom = std::min(r.bottom, it.y0);
        } else {
            rows.push_back(Row{{it}, it.y0, it.y1, it.y0});
        }
    }
    return rows;
}

// The last kept row is the upper of each pair, so a merged row is
// compared again with the row that now follows it.
void merge_split_rows(std::vector<Row>& rows) {
    std::vector<Row> out;
    out.reserve(rows.size());
    for (Row& b : rows) {
        if (!out.empty()) {
            Row& a = out.back();
            const Extent ea = extent_of(a.items), eb = extent_of(b.items);
            const bool overlap = ea.x1 > eb.x0 && ea.x0 < eb.x1;
            const double near = 0.6 * std::min(median_item_size(a.items), median_item_size(b.items));
            if (!overlap && std::abs(a.baseline - b.baseline) <= near) {
                a.items.insert(a.items.end(), b.items.begin(), b.items.end());
                a.top = std::max(a.top, b.top);
                a.bottom = std::min(a.bottom, b.bottom);
                continue;
            }
        }
        out.push_back(std::move(b));
    }
    rows = std::move(out);
}

std::vector<Grid> detect_borderless(std::span<const Item> items) {
    std::vector<Row> rows = group_rows_by_baseline(items);
    merge_split_rows(rows);
    if (rows.size() < kMinRows) return {};
    // The band list always has a band open by construction; should that
    // ever fail, the page simply has no borderless tables.
    auto bands = regular_bands(std::move(rows));
    if (!bands) return {};
    std::vector<Grid> grids;
    for (const Band& band : *bands)
        if (auto grid = grid_from_band(band)) grids.push_back(std::move(*grid));
    return grids;
}

// Each row votes once per point of the band's width, so the cost is rows
// times width; ink is marked by a running sum rather than item by item.
std::vector<double> voted_boundaries(std::span<const Row> rows, double left, double right, double min_width) {
    const double ceiling = std::ceil(right - left);
    if (!(ceiling <= kMaxSpan)) return {};
    const std::size_t span = ceiling < 1 ? 1 : std::size_t(ceiling);
    std::vector<std::uint32_t> covered(span + 1, 0), blank(span + 1, 0);
    std::vector<std::int32_t> ink(span + 2, 0);
    for (const Row& row : rows) {
        std::fill(ink.begin(), ink.end(), 0);
        for (const Item& it : row.items) {
            const std::size_t p0 = position_of(it.x0 - left, span), p1 = position_of(it.x1 - left, span);
            if (p1 < p0) continue;
            ++ink[p0];
            --ink[p1 + 1];
        }
        const Extent e = extent_of(row.items);
        const std::size_t from = position_of(e.x0 - left, span), to = position_of(e.x1 - left, span);
        std::int32_t depth = 0;
        for (std::size_t p = 0; p <= span && p <= to; ++p) {
            depth += ink[p];
            if (p < from) continue;
            ++covered[p];
            if (depth == 0) ++blank[p];
        }
    }
    const double half = 0.5 * double(rows.size());
    auto white = [&](std::size_t p) { return covered[p] >= half && blank[p] >= 0.75 * covered[p]; };
    std::vector<double> out;
    std::size_t run = 0;
    for (std::size_t p = 0; p <= span; ++p) {
        if (white(p)) {
            ++run;
            continue;
        }
        if (run > 0 && double(run) >= min_width) out.push_back(left + double(p) - double(run) / 2);
        run = 0;
    }
    if (run > 0 && double(run) >= min_width) out.push_back(left + double(span) - double(run) / 2);
    return out;
}

}  // namespace inkra
