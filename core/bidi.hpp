// Bidirectional reordering of a line painted in visual order.
#pragma once

#include <string>
#include <string_view>

namespace inkra {

// Runs the Unicode Bidirectional Algorithm over `text` as if it were logical
// text, at paragraph level 1 when `rtl` and 0 otherwise (never detected), and
// reorders each paragraph as one line (rules L1 and L2). Nothing is mirrored
// or removed; paragraphs keep their order.
std::string visual_to_logical(std::string_view text, bool rtl);

}  // namespace inkra
