#include "regions.hpp"

#include <algorithm>
#include <cmath>

#include "font.hpp"
#include "layout.hpp"

namespace inkra {
namespace {

// Below this share of its size a glyph's advance counts as none at all.
constexpr double kNoAdvance = 0.05;
// How far, in painting order, an overlay may lie from the glyph it covers.
constexpr std::size_t kHostWindow = 8;


// A glyph's text as line building will see it: its replacement if any,
// else what its font says; absent when the font cannot resolve it.
std::optional<std::string> text_of(const Placed& p, const FontMap& fonts) {
    if (p.actual) return p.actual;
    return fonts.decode(p.glyph.font, p.glyph.code);
}

std::vector<TextLine> build_lines(std::span<const Placed> glyphs, const FontMap& fonts) {
    std::vector<TextLine> out;
    for (const Line& line : group_into_lines(glyphs))
        if (auto built = build_line(line, fonts)) out.push_back(std::move(*built));
    return out;
}

// Glyphs painted in several directions get boxes of the same rough shape:
// advance along the baseline, a quarter of the size below it, three above.
Item glyph_item(const Glyph& g) {
    Item it;
    if (g.rotation % 2 == 0) {
        it.x0 = g.x;
        it.x1 = g.x + g.advance;
        it.y0 = g.y - 0.25 * g.size;
        it.y1 = g.y + 0.75 * g.size;
    } else {
        it.x0 = g.x;
        it.x1 = g.x + g.size;
        it.y0 = g.y - 0.25 * g.advance;
        it.y1 = g.y + 0.75 * g.advance;
    }
    it.size = g.size;
    return it;
}

std::vector<Region> regions_from_structure(std::span<const Placed> placed, const FontMap& fonts,
                                           const ReadingOrder& order) {
    std::vector<Region> regions;
    std::vector<Placed> run;
    for (const StructRun& r : order.runs) {
        run.clear();
        for (const auto& [start, end] : r.ranges)
            for (std::size_t i = start; i < std::min(end, placed.size()); ++i) run.push_back(placed[i]);
        std::vector<TextLine> lines = build_lines(run, fonts);
        if (lines.empty()) continue;
        Region region;
        region.bbox = region_bbox(lines, {}, {});
        region.lines = std::move(lines);
        regions.push_back(std::move(region));
    }
    return regions;
}

std::vector<Region> regions_from_geometry(std::span<const Placed> placed, const FontMap& fonts,
                                          std::span<const Rect> figures) {
    const std::size_t n = placed.size();
    std::vector<Item> items;
    items.reserve(n + figures.size());
    for (const Placed& p : placed) items.push_back(glyph_item(p.glyph));
    const double figure_size = median_text_size(placed);
    for (const Rect& f : figures) items.push_back(Item{f.x0, f.x1, f.y0, f.y1, figure_size});

    const bool right_to_left = std::any_of(placed.begin(), placed.end(), [&](const Placed& p) {
        auto t = text_of(p, fonts);
        return t && contains_rtl(*t);
    });

    std::vector<Region> regions;
    std::vector<std::size_t> glyph_indices;
    std::vector<Placed> glyphs;
    for (const auto& set : segment(items, right_to_left)) {
        glyph_indices.clear();
        Region region;
        for (std::size_t i : set) {
            if (i < n)
                glyph_indices.push_back(i);
            else if (i - n < figures.size())
                region.figures.push_back(i - n);
        }
        std::sort(glyph_indices.begin(), glyph_indices.end());
        std::sort(region.figures.begin(), region.figures.end());
        glyphs.clear();
        for (std::size_t i : glyph_indices) glyphs.push_back(placed[i]);
        region.lines = build_lines(glyphs, fonts);
        if (region.lines.empty() && region.figures.empty()) continue;
        region.bbox = region_bbox(region.lines, region.figures, figures);
        regions.push_back(std::move(region));
    }
    return regions;
}

}  // namespace

std::vector<Placed> apply_actual_text(const PageGlyphs& page) {
    std::vector<Placed> placed;
    placed.reserve(page.glyphs.size());
    for (const Glyph& g : page.glyphs) {
        const std::size_t painted = placed.size() + 1;
        placed.emplace_back(g).painted = painted;
    }
    const std::size_t n = placed.size();
    // Spans are listed as they close, so an inner span comes before the one
    // around it and the outer replacement is written last.
    for (const ActualText& span : page.actual_texts) {
        const std::size_t stop = std::min(span.end, n);
        if (span.start >= stop) continue;
        placed[span.start].actual = span.text;
        for (std::size_t i = span.start + 1; i < stop; ++i) placed[i].actual.emplace();
    }
    return placed;
}

void anchor_zero_advance(std::span<Placed> placed, const FontMap& fonts) {
    const std::size_t n = placed.size();
    for (std::size_t i = 0; i < n; ++i) {
        Placed& p = placed[i];
        if (has_advance(p.glyph)) continue;
        // A diacritic with no advance sits where it belongs; only letters
        // painted over another glyph are moved.
        if (is_mark_glyph(text_of(p, fonts).value_or(std::string{}))) continue;
        const std::size_t first = i >= kHostWindow ? i - kHostWindow : 0;
        const std::size_t last = std::min(n - 1, i + kHostWindow);
        for (std::size_t j = first; j <= last; ++j) {
            if (j == i) continue;
            const Placed& h = placed[j];
            if (!(h.glyph.advance >= kNoAdvance * h.glyph.size)) continue;
            if (!(std::abs(h.run_y - p.run_y) <= p.glyph.size)) continue;
            if (!(p.run_x > h.run_x && p.run_x < h.run_x + h.glyph.advance)) continue;
            p.run_x = h.run_x;
            p.run_y = h.run_y;
            p.anchored = true;
            break;
        }
    }
}

std::vector<Region> reconstruct_regions(const PageGlyphs& page, const FontMap& fonts, std::span<const Rect> figures,
                                        const std::optional<ReadingOrder>& order) {
    std::vector<Placed> placed = apply_actual_text(page);
    if (placed.empty() && figures.empty()) return {};
    anchor_zero_advance(placed, fonts);
    if (order) return regions_from_structure(placed, fonts, *order);
    return regions_from_geometry(placed, fonts, figures);
}

Rect region_bbox(std::span<const TextLine> lines, std::span<const std::size_t> figure_indices,
                 std::span<const Rect> figures) {
    // fmin/fmax pass over NaN, and a side nothing contributed to stays NaN.
    const double nan = std::nan("");
    Rect u{nan, nan, nan, nan};
    auto unite = [&u](const Rect& r) {
        u.x0 = std::fmin(u.x0, r.x0);
        u.y0 = std::fmin(u.y0, r.y0);
        u.x1 = std::fmax(u.x1, r.x1);
        u.y1 = std::fmax(u.y1, r.y1);
    };
    for (const TextLine& l : lines) unite(l.bbox);
    for (std::size_t i : figure_indices)
        if (i < figures.size()) unite(figures[i]);
    for (double* v : {&u.x0, &u.y0, &u.x1, &u.y1})
        if (std::isnan(*v)) *v = 0;
    return u;
}

std::string text_within(const PageGlyphs& page, const FontMap& fonts, const Rect& area) {
    std::vector<Placed> placed = apply_actual_text(page);
    anchor_zero_advance(placed, fonts);
    std::erase_if(placed, [&area](const Placed& p) {
        const double cx = p.glyph.x + p.glyph.advance / 2;
        const double y = p.glyph.y;
        return !(cx >= area.x0 && cx <= area.x1 && y >= area.y0 && y <= area.y1);
    });
    std::string out;
    for (const TextLine& line : build_lines(placed, fonts)) {
        if (!out.empty()) out += ' ';
        out += line.text;
    }
    return out;
}

std::string lines_to_text(std::span<const TextLine> lines) {
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (i) out += '\n';
        out += lines[i].text;
    }
    return out;
}

}  // namespace inkra
