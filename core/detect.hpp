// The page verdict: how far a page's text layer can be trusted.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace inkra {

enum class Verdict : std::uint8_t { Ok, Degraded, NeedsOcr };

std::string_view verdict_text(Verdict v);

struct Assessment {
    std::vector<std::string> reasons;
    std::size_t glyphs = 0;
    std::size_t unresolved = 0;
    std::size_t fonts = 0;
    std::size_t unmapped_fonts = 0;
    std::size_t invisible_glyphs = 0;
    std::size_t presentation_forms = 0;
    std::size_t replacement_chars = 0;
    std::size_t chars = 0;
    bool mixed_separators = false;
    double confidence = 0.0;
    std::uint32_t page = 0;
    Verdict verdict = Verdict::NeedsOcr;
};

}  // namespace inkra
