// Arabic line reconstruction: glyphs placed in their own text direction,
// grouped into lines, each line rebuilt as logical, normalised text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "types.hpp"

namespace inkra {

class FontMap;

// A glyph prepared for reconstruction.
struct Placed {
    Glyph glyph;
    std::optional<std::string> actual;  // /ActualText replacement
    double run_x = 0;                   // along the glyph's own text direction
    double run_y = 0;                   // across it; larger reads earlier
    bool anchored = false;

    explicit Placed(Glyph g);
    Placed() = default;
};

using Line = std::vector<Placed>;

struct TextLine {
    std::string text;
    std::string font;
    double size = 0;
    Color color;
    TextRender render = TextRender::Fill;
    double baseline = 0;
    Rect bbox;
    std::size_t unresolved = 0;
    std::size_t glyph_count = 0;
    bool rtl = false;

    // 1 - unresolved / glyph_count; 1.0 without glyphs.
    double confidence() const;
};

struct Piece {
    enum class Kind : std::uint8_t { Decoded, Actual };
    Kind kind = Kind::Decoded;
    std::string text;
};

// ---- character classes shared by the reconstruction stages ----
bool is_rtl_char(char32_t c);
bool is_combining_mark(char32_t c);

// ---- grouping ----
std::vector<Line> group_into_lines(std::span<const Placed> glyphs);
double median_text_size(std::span<const Placed> glyphs);

// ---- building ----
bool is_mark_glyph(std::string_view text);
std::optional<TextLine> build_line(std::span<const Placed> glyphs, const FontMap& fonts);

// ---- finishing ----
std::string finish_line_text(std::span<const Piece> pieces, bool rtl);

}  // namespace inkra
