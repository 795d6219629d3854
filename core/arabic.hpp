// Arabic line reconstruction: glyphs placed in their own text direction,
// grouped into lines, each line rebuilt as logical, normalised text.
#pragma once

#include <cmath>
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

// A glyph prepared for reconstruction. Its run coordinates follow its own
// text direction, so that all four rotation quadrants group and order alike.
struct Placed {
    Glyph glyph;
    std::optional<std::string> actual;  // /ActualText replacement
    double run_x = 0;                   // along the glyph's own text direction
    double run_y = 0;                   // across it; larger reads earlier
    bool anchored = false;
    // Position in the page's painting order, counted from 1; 0 when unknown.
    std::size_t painted = 0;

    explicit Placed(Glyph g);  // derives run_x and run_y from the quadrant
    Placed() = default;
};

using Line = std::vector<Placed>;

// One reconstructed line: logical, normalised text and its dominant style.
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

// One unit of a line's text in visual order; its own characters are logical.
struct Piece {
    enum class Kind : std::uint8_t { Decoded, Actual };
    Kind kind = Kind::Decoded;
    std::string text;
};

// ---- character classes shared by the reconstruction stages ----
// Hebrew, Arabic, Syriac, Thaana, the Arabic supplements and presentation
// forms (Arabic-Indic digits included).
bool is_rtl_char(char32_t c);
// Combining diacritics, Arabic harakat and their isolated/medial forms.
bool is_combining_mark(char32_t c);
bool contains_rtl(std::string_view utf8);
// A glyph moves the pen: its advance is at least 5% of its size. Glyphs
// without one are diacritics or letters painted over another.
inline bool has_advance(const Glyph& g) { return std::abs(g.advance) >= 0.05 * g.size; }

// ---- grouping ----
// Lines top first; a line keeps the grouping sort (run_y descending, then
// run_x ascending), so a line on one baseline reads in visual order.
std::vector<Line> group_into_lines(std::span<const Placed> glyphs);
double median_text_size(std::span<const Placed> glyphs);  // 10.0 when empty

// ---- building ----
// Text that is a combining mark and nothing else (leading spaces aside).
bool is_mark_glyph(std::string_view text);
// Nothing for an empty line or one whose text comes out empty. Writes
// diagnostics to standard error when INKRA_DBG is set.
std::optional<TextLine> build_line(std::span<const Placed> glyphs, const FontMap& fonts);

// ---- finishing ----
// Visual pieces to logical text: digit runs, reordering, NFKC, kashida, mark
// bases, spaces, in that order.
std::string finish_line_text(std::span<const Piece> pieces, bool rtl);
// Each run of digits mixing families is rewritten in its majority family.
std::string unify_digit_runs(std::string_view text);
// Drops a space that only carries a following combining mark.
std::string strip_mark_bases(std::string_view text);

}  // namespace inkra
