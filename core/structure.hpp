// Reading order taken from a tagged document's structure tree: runs of
// glyphs in the order the writer stated, when the tree can be trusted for
// the page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "types.hpp"

namespace inkra {

// Glyphs that read as one unit: the content of a block element and of the
// inline elements that follow it.
struct StructRun {
    std::string role;                                          // type of the element that opened the run
    std::vector<std::pair<std::size_t, std::size_t>> ranges;  // glyphs [start, end), range after range
    unsigned depth = 0;                                        // nesting depth of that element
};

struct ReadingOrder {
    std::vector<StructRun> runs;

    // The page's runs in reading order, or nothing when the page is untagged
    // or its tagged content covers less than 80% of its glyphs.
    static std::optional<ReadingOrder> from_structure(const RawStructure& structure, std::uint32_t page,
                                                      std::span<const McidSpan> spans, std::size_t glyph_count);
};

}  // namespace inkra
