#include "blocks.hpp"
#include "blocks_internal.hpp"

#include <algorithm>
#include <cmath>

#include "font.hpp"
#include "layout.hpp"
#include "regions.hpp"

namespace inkra {
namespace {

// An image covering this share of the page box is the page's background.
constexpr double kBackgroundCover = 0.7;
// Filled from lines rather than glyphs only when the grid was drawn whole.
constexpr double kWholeGrid = 1.0 - 0x1p-52;
// How far past a column rule, in type sizes, a line must reach on both
// sides to count as running across it rather than touching it.
constexpr double kCrossing = 0.5;
// A column boundary stands for every rule this close to it.
constexpr double kSameRule = 2.0;

struct Figure {
    std::size_t image = 0;  // index into the placed images
    Rect bbox;
};

struct SortedImages {
    std::vector<std::size_t> backgrounds;
    std::vector<Figure> figures;
    std::vector<std::size_t> undrawn;
};

// The filled tables, one slot per grid (empty where the table was rejected),
// and for every page line the table that consumed it first.
struct Tables {
    std::vector<std::optional<Table>> tables;
    std::vector<bool> emitted;
    std::vector<std::optional<std::size_t>> claims;
};

// A filled table and the page line indices it consumed, ascending.
using Filled = FilledTable;

bool overlaps(const Rect& a, const Rect& b) {
    return a.x1 > b.x0 && b.x1 > a.x0 && a.y1 > b.y0 && b.y1 > a.y0;
}

// Backgrounds, figures and never-drawn images, each list in the given order.
SortedImages sort_images(std::span<const PlacedImage> images, const Rect& page_box) {
    SortedImages out;
    const double page_area = (page_box.x1 - page_box.x0) * (page_box.y1 - page_box.y0);
    for (std::size_t i = 0; i < images.size(); ++i) {
        const auto& bbox = images[i].bbox;
        if (!bbox) {
            out.undrawn.push_back(i);
            continue;
        }
        if (page_area > 0) {
            const double w = std::max(0.0, std::min(bbox->x1, page_box.x1) - std::max(bbox->x0, page_box.x0));
            const double h = std::max(0.0, std::min(bbox->y1, page_box.y1) - std::max(bbox->y0, page_box.y0));
            if (w * h / page_area >= kBackgroundCover) {
                out.backgrounds.push_back(i);
                continue;
            }
        }
        out.figures.push_back({i, *bbox});
    }
    return out;
}

std::vector<Grid> detect_ruled_grids(std::span<const RuledLine> ruled_lines) { return detect(ruled_lines); }

// The borderless detector sees each glyph as the box from its
// baseline up by its size.
std::vector<Item> borderless_items(std::span<const Glyph> glyphs) {
    std::vector<Item> items;
    items.reserve(glyphs.size());
    for (const Glyph& g : glyphs) items.push_back(Item{g.x, g.x + g.advance, g.y, g.y + g.size, g.size});
    return items;
}

std::vector<Grid> detect_borderless_grids(std::span<const Item> items) { return detect_borderless(items); }

// Ruled grids first; a borderless grid only where no grid is yet.
std::vector<Grid> merge_grids(std::vector<Grid> ruled, std::vector<Grid> borderless) {
    std::vector<Grid> grids = std::move(ruled);
    for (Grid& g : borderless) {
        const bool taken =
            std::any_of(grids.begin(), grids.end(), [&](const Grid& o) { return overlaps(g.bbox, o.bbox); });
        if (!taken) grids.push_back(std::move(g));
    }
    return grids;
}

// Every region's lines, region after region.
std::vector<TextLine> page_lines(std::span<const Region> regions) {
    std::vector<TextLine> lines;
    for (const Region& r : regions) lines.insert(lines.end(), r.lines.begin(), r.lines.end());
    return lines;
}

// A line goes to the cell that holds its box's centre.
std::optional<Filled> fill_from_lines(const Grid& grid, std::span<const TextLine> lines, bool right_to_left) {
    return fill(grid, lines, right_to_left);
}

// Each cell takes exactly the glyphs inside it, so a line running
// across several cells is split between them.
Filled fill_from_glyphs(const Grid& grid, std::span<const TextLine> lines, bool right_to_left,
                        const PageGlyphs& page, const FontMap& fonts) {
    Filled out;
    out.table.bbox = grid.bbox;
    out.table.confidence = grid.confidence;
    const std::size_t rows = grid.ys.size() >= 2 ? grid.ys.size() - 1 : 0;
    const std::size_t columns = grid.xs.size() >= 2 ? grid.xs.size() - 1 : 0;
    out.table.rows.resize(rows);
    for (std::size_t r = 0; r < rows; ++r) {
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t p = right_to_left ? columns - 1 - c : c;
            Cell cell;
            cell.bbox = {std::min(grid.xs[p], grid.xs[p + 1]), std::min(grid.ys[r], grid.ys[r + 1]),
                         std::max(grid.xs[p], grid.xs[p + 1]), std::max(grid.ys[r], grid.ys[r + 1])};
            cell.text = text_within(page, fonts, cell.bbox);
            cell.row = r;
            cell.column = c;
            out.table.rows[r].push_back(std::move(cell));
        }
    }
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (overlaps(lines[i].bbox, grid.bbox)) out.consumed.push_back(i);
    return out;
}

// A table must catch lines and hold enough text to be worth it.
bool worth_keeping(const Filled& f) {
    if (f.consumed.empty() || f.table.rows.empty()) return false;
    std::size_t cells = 0, filled = 0;
    for (const auto& row : f.table.rows)
        for (const Cell& c : row) {
            ++cells;
            filled += c.text.empty() ? 0 : 1;
        }
    return filled >= 4 && 2 * filled >= cells;
}

// A line reaching well across a column rule drawn at its height carries
// the text of several cells, which filling by line centres would put into
// one cell and leave its neighbours empty. Where no rule is drawn at the
// line's height (a cell spanning columns) the line is one cell's text.
bool lines_cross_columns(const Grid& grid, std::span<const TextLine> lines, std::span<const std::size_t> consumed,
                         std::span<const RuledLine> ruled_lines) {
    if (grid.xs.size() < 3) return false;
    std::vector<RuledLine> verticals;
    for (const RuledLine& r : ruled_lines)
        if (!(std::abs(r.x1 - r.x0) > std::abs(r.y1 - r.y0))) verticals.push_back(r);
    auto drawn_at = [&](double x, double y) {
        return std::any_of(verticals.begin(), verticals.end(), [&](const RuledLine& r) {
            return std::abs((r.x0 + r.x1) / 2 - x) <= kSameRule && std::min(r.y0, r.y1) <= y && y <= std::max(r.y0, r.y1);
        });
    };
    for (std::size_t i : consumed) {
        const TextLine& l = lines[i];
        const double reach = kCrossing * std::max(l.size, 1.0);
        const double middle = (l.bbox.y0 + l.bbox.y1) / 2;
        for (std::size_t k = 1; k + 1 < grid.xs.size(); ++k)
            if (l.bbox.x0 < grid.xs[k] - reach && l.bbox.x1 > grid.xs[k] + reach && drawn_at(grid.xs[k], middle))
                return true;
    }
    return false;
}

// Ruled and fully drawn grids are filled from the lines, the others from
// the glyphs; so is a ruled grid whose cells the page's lines run across.
Tables fill_tables(std::span<const Grid> grids, std::span<const TextLine> lines, bool right_to_left,
                   const PageGlyphs& page, const FontMap& fonts) {
    Tables out;
    out.tables.resize(grids.size());
    out.emitted.assign(grids.size(), false);
    out.claims.assign(lines.size(), std::nullopt);
    for (std::size_t t = 0; t < grids.size(); ++t) {
        const Grid& grid = grids[t];
        const bool from_lines = grid.ruled || grid.confidence >= kWholeGrid;
        std::optional<Filled> filled = from_lines ? fill_from_lines(grid, lines, right_to_left)
                                                  : fill_from_glyphs(grid, lines, right_to_left, page, fonts);
        if (from_lines && filled && lines_cross_columns(grid, lines, filled->consumed, page.ruled_lines))
            filled = fill_from_glyphs(grid, lines, right_to_left, page, fonts);
        if (!filled || !worth_keeping(*filled)) continue;
        for (std::size_t i : filled->consumed)
            if (i < out.claims.size() && !out.claims[i]) out.claims[i] = t;
        out.tables[t] = std::move(filled->table);
    }
    return out;
}

double text_confidence(std::span<const TextLine> lines) {
    std::size_t unresolved = 0, glyphs = 0;
    for (const TextLine& l : lines) {
        unresolved += l.unresolved;
        glyphs += l.glyph_count;
    }
    return glyphs == 0 ? 1.0 : 1.0 - double(unresolved) / double(glyphs);
}

// Figures are handed over in figure-list order, so a region's
// figure indices point into `sorted.figures`.
std::vector<Region> rebuild_text(const PageGlyphs& page, const FontMap& fonts, const SortedImages& sorted,
                                 const std::optional<ReadingOrder>& order) {
    std::vector<Rect> boxes;
    boxes.reserve(sorted.figures.size());
    for (const Figure& f : sorted.figures) boxes.push_back(f.bbox);
    return reconstruct_regions(page, fonts, boxes, order);
}

void emit_backgrounds(std::vector<Block>& blocks, std::span<const PlacedImage> images, const SortedImages& sorted) {
    for (std::size_t i : sorted.backgrounds) blocks.push_back(image_block(images[i], blocks.size(), true));
}

// A table takes the place of the first of its lines; all its lines
// leave the text, which is cut into blocks around it. A region's pictures
// follow its text. Returns which figures a region placed.
std::vector<bool> walk_regions(std::vector<Block>& blocks, std::span<const Region> regions, Tables& tables,
                               std::span<const PlacedImage> images, const SortedImages& sorted) {
    std::vector<bool> figure_used(sorted.figures.size(), false);
    std::size_t line_number = 0;
    std::vector<TextLine> pending;
    for (const Region& region : regions) {
        auto close_text = [&] {
            if (pending.empty()) return;
            const double confidence = text_confidence(pending);
            blocks.push_back(Block{TextBlock{std::move(pending), region.bbox, blocks.size(), confidence}});
            pending.clear();
        };
        for (const TextLine& line : region.lines) {
            const auto claim = tables.claims[line_number++];
            if (!claim) {
                pending.push_back(line);
                continue;
            }
            if (tables.emitted[*claim]) continue;
            tables.emitted[*claim] = true;
            close_text();
            const Table& t = *tables.tables[*claim];
            blocks.push_back(Block{TableBlock{t.rows, t.bbox, t.confidence, blocks.size()}});
        }
        close_text();
        for (std::size_t f : region.figures) {
            if (f >= sorted.figures.size()) continue;
            figure_used[f] = true;
            blocks.push_back(image_block(images[sorted.figures[f].image], blocks.size(), false));
        }
    }
    return figure_used;
}

// Pictures no region claimed, then those never drawn.
void emit_unplaced_images(std::vector<Block>& blocks, std::span<const PlacedImage> images,
                          const SortedImages& sorted, const std::vector<bool>& figure_used) {
    for (std::size_t f = 0; f < sorted.figures.size(); ++f)
        if (!figure_used[f]) blocks.push_back(image_block(images[sorted.figures[f].image], blocks.size(), false));
    for (std::size_t i : sorted.undrawn) blocks.push_back(image_block(images[i], blocks.size(), false));
}

}  // namespace

std::string TextBlock::text() const { return lines_to_text(lines); }

std::string Block::text() const {
    if (const auto* t = std::get_if<TextBlock>(&content)) return t->text();
    if (const auto* t = std::get_if<TableBlock>(&content)) {
        std::string out;
        for (std::size_t r = 0; r < t->rows.size(); ++r) {
            if (r) out += '\n';
            for (std::size_t c = 0; c < t->rows[r].size(); ++c) {
                if (c) out += '\t';
                out += t->rows[r][c].text;
            }
        }
        return out;
    }
    return {};
}

std::size_t Block::reading_index() const {
    return std::visit([](const auto& b) { return b.reading_index; }, content);
}

Block image_block(const PlacedImage& image, std::size_t reading_index, bool is_background) {
    return Block{ImageBlock{image, reading_index, is_background}};
}

PageBlocks assemble(const PageGlyphs& page, const FontMap& fonts, std::span<const PlacedImage> images,
                    const Rect& page_box, const std::optional<ReadingOrder>& order) {
    return assemble_with_grids(page, fonts, images, page_box, order, detect_ruled_grids(page.ruled_lines),
                               detect_borderless_grids(borderless_items(page.glyphs)));
}

PageBlocks assemble_with_grids(const PageGlyphs& page, const FontMap& fonts, std::span<const PlacedImage> images,
                               const Rect& page_box, const std::optional<ReadingOrder>& order,
                               std::vector<Grid> ruled, std::vector<Grid> borderless) {
    PageBlocks out;
    const SortedImages sorted = sort_images(images, page_box);
    const std::vector<Region> regions = rebuild_text(page, fonts, sorted, order);
    const std::vector<Grid> grids = merge_grids(std::move(ruled), std::move(borderless));
    emit_backgrounds(out.blocks, images, sorted);
    out.lines = page_lines(regions);
    const bool right_to_left = !out.lines.empty() && out.lines.front().rtl;
    Tables tables = fill_tables(grids, out.lines, right_to_left, page, fonts);
    const std::vector<bool> figure_used = walk_regions(out.blocks, regions, tables, images, sorted);
    emit_unplaced_images(out.blocks, images, sorted, figure_used);
    return out;
}

}  // namespace inkra
