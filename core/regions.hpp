// Page-level line reconstruction: glyphs corrected for /ActualText and
// zero-advance overlays, then gathered into reading regions of lines, either
// along the structure tree's runs or by geometric segmentation.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "arabic.hpp"
#include "structure.hpp"
#include "types.hpp"

namespace inkra {

class FontMap;

// One reading region. It has at least one line or at least one figure.
struct Region {
    std::vector<TextLine> lines;       // top line first
    std::vector<std::size_t> figures;  // indices into the figure list, ascending
    Rect bbox;                         // lines' and figures' boxes united
};

// The page's regions in reading order. Structure runs are followed when an
// order is given (figures then take no part); otherwise glyphs and figures
// are segmented geometrically.
std::vector<Region> reconstruct_regions(const PageGlyphs& page, const FontMap& fonts, std::span<const Rect> figures,
                                        const std::optional<ReadingOrder>& order);

// The text of the glyphs inside `area`, lines joined with one space.
std::string text_within(const PageGlyphs& page, const FontMap& fonts, const Rect& area);

// Line texts joined with "\n".
std::string lines_to_text(std::span<const TextLine> lines);

// ---- the stages, exposed for the callers that need them alone ----

// One Placed per glyph, in painting order, carrying its /ActualText share.
std::vector<Placed> apply_actual_text(const PageGlyphs& page);

// Moves letters painted with no advance onto the glyph they overlay.
void anchor_zero_advance(std::span<Placed> placed, const FontMap& fonts);

// Union of the lines' boxes and the listed figures' boxes; (0, 0, 0, 0) for nothing.
Rect region_bbox(std::span<const TextLine> lines, std::span<const std::size_t> figure_indices,
                 std::span<const Rect> figures);

}  // namespace inkra
