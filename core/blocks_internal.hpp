// Block assembly with the page's grids given rather than detected, so that
// the table steps can be driven directly.
#pragma once

#include <vector>

#include "blocks.hpp"

namespace inkra {

PageBlocks assemble_with_grids(const PageGlyphs& page, const FontMap& fonts, std::span<const PlacedImage> images,
                               const Rect& page_box, const std::optional<ReadingOrder>& order,
                               std::vector<Grid> ruled, std::vector<Grid> borderless);

}  // namespace inkra
