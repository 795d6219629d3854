// The page verdict: how far a page's text layer can be trusted, judged from
// counts of what the pipeline already produced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "arabic.hpp"
#include "types.hpp"

namespace inkra {

class FontMap;

// Ordered: raising a verdict never lowers it.
enum class Verdict : std::uint8_t { Ok, Degraded, NeedsOcr };

std::string_view verdict_text(Verdict v);

struct Assessment {
    std::vector<std::string> reasons;  // in the order of the checks; empty when clean
    std::size_t glyphs = 0;            // painted, forms included
    std::size_t unresolved = 0;        // over the page's lines
    std::size_t fonts = 0;
    std::size_t unmapped_fonts = 0;    // neither ToUnicode nor a usable encoding
    std::size_t invisible_glyphs = 0;  // render modes 3 and 7
    std::size_t presentation_forms = 0;
    std::size_t replacement_chars = 0;
    std::size_t chars = 0;             // Unicode scalar values of the page text
    bool mixed_separators = false;     // digit groups use more than one separator
    double confidence = 0.0;
    std::uint32_t page = 0;
    Verdict verdict = Verdict::NeedsOcr;
};

// Judges one page from its painted glyphs, its fonts and its finished lines.
Assessment assess(std::uint32_t page, const PageGlyphs& content, const FontMap& fonts,
                  std::span<const TextLine> lines);

}  // namespace inkra
