// Reading order taken from a tagged document's structure tree.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "types.hpp"

namespace inkra {

struct StructRun {
    std::string role;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;  // glyphs [start, end)
    unsigned depth = 0;
};

struct ReadingOrder {
    std::vector<StructRun> runs;

    static std::optional<ReadingOrder> from_structure(const RawStructure& structure, std::uint32_t page,
                                                      std::span<const McidSpan> spans, std::size_t glyph_count);
};

}  // namespace inkra
