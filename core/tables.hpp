// Tables: grids found from the page's rules (ruled tables) or from rivers of
// white space between glyphs (borderless tables), and ruled grids filled with
// the page's lines. Pure functions of their inputs; none can fail.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "arabic.hpp"
#include "layout.hpp"
#include "types.hpp"

namespace inkra {

// ---- records ----

// One candidate rule reduced to one axis: a horizontal rule's y (or a
// vertical rule's x) and its extent along its own direction.
struct Boundary {
    double position = 0;
    double start = 0;  // smaller end
    double end = 0;    // larger end
};

// A table's skeleton before any text is placed in it.
struct Grid {
    std::vector<double> xs;  // column boundaries, ascending
    std::vector<double> ys;  // row boundaries, descending (top first)
    Rect bbox;
    double confidence = 0;  // how much of the grid was actually drawn
    bool ruled = false;     // false for borderless grids
};

struct Cell {
    std::string text;
    Rect bbox;
    std::size_t row = 0;     // from 0 at the top
    std::size_t column = 0;  // reading order: 0 is the rightmost on a right-to-left page
};

struct Table {
    std::vector<std::vector<Cell>> rows;  // top row first, each in reading order
    Rect bbox;
    double confidence = 0;
};

// A filled table and the page lines it consumed.
struct FilledTable {
    Table table;
    std::vector<std::size_t> consumed;  // indices into the lines given, ascending, unique
};

// One text row of the borderless detector.
struct Row {
    std::vector<Item> items;
    double baseline = 0;  // the first item's bottom edge, never updated
    double top = 0;       // highest top edge
    double bottom = 0;    // lowest bottom edge
};

// ---- ruled tables ----

// Grids from the page's rules, in the order of each table's lowest rule,
// bottom of the page first. Each has at least 3 xs and 3 ys.
std::vector<Grid> detect(std::span<const RuledLine> rules);

// The cells of `grid` filled with the lines whose box centres they hold.
// `lines` is the whole page's line list.
FilledTable fill(const Grid& grid, std::span<const TextLine> lines, bool right_to_left);

// The length of the first row, 0 without rows.
std::size_t column_count(const Table& table);

// ---- borderless tables ----

// Grids from one item per glyph, top of the page first; each is unruled
// with confidence 0.5.
std::vector<Grid> detect_borderless(std::span<const Item> items);

// Column boundaries where most rows agree on white space at least
// `min_width` wide, ascending. Widths above 20000 points are not voted.
std::vector<double> voted_boundaries(std::span<const Row> rows, double left, double right, double min_width);

// The median item size, at least 1.0; 10.0 for no items.
double median_item_size(std::span<const Item> items);

// ---- the borderless stages, exposed for the callers that need them alone ----

// Items grouped into rows by their bottom edge, top row first.
std::vector<Row> group_rows_by_baseline(std::span<const Item> items);

// Adjacent rows at nearly the same baseline that do not overlap
// horizontally become one row.
void merge_split_rows(std::vector<Row>& rows);

}  // namespace inkra
