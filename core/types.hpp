// The plain records the extraction stages hand to one another. They own their
// data, copy freely and never point back into the PDF.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace inkra {

// An affine matrix (a, b, c, d, e, f) as PDF writes it.
using Matrix = std::array<double, 6>;
inline constexpr Matrix kIdentity{1, 0, 0, 1, 0, 0};

// An axis-aligned box in PDF points; normalised where its producer says so.
struct Rect {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool operator==(const Rect&) const = default;
};

// A paint colour, components as the content stream gave them (not clamped).
struct Color {
    enum class Kind : std::uint8_t { Gray, Rgb, Cmyk, Unknown };
    Kind kind = Kind::Gray;
    std::array<float, 4> c{};  // only the first 1, 3 or 4 are meaningful

    static Color gray(float g) { return {Kind::Gray, {g, 0, 0, 0}}; }
    static Color rgb(float r, float g, float b) { return {Kind::Rgb, {r, g, b, 0}}; }
    static Color cmyk(float c, float m, float y, float k) { return {Kind::Cmyk, {c, m, y, k}}; }
    static Color unknown() { return {Kind::Unknown, {}}; }

    // Same variant and exactly equal components (only the meaningful ones).
    bool operator==(const Color& o) const;
    std::array<std::uint8_t, 3> to_rgb8() const;
    std::string to_css_hex() const;
};

enum class TextRender : std::uint8_t {
    Fill = 0, Stroke, FillStroke, Invisible, FillClip, StrokeClip, FillStrokeClip, Clip
};

struct Style {
    std::string font;
    double size = 0;
    Color color;
    TextRender render = TextRender::Fill;

    bool merges_with(const Style& other) const;
};

// One glyph painted by a text-showing operator, in painting order. It keeps
// its code; decoding to text happens later, through the font model.
struct Glyph {
    std::string font;
    double size = 0;
    Color color;
    TextRender render = TextRender::Fill;
    double x = 0, y = 0;
    double advance = 0;
    std::uint32_t code = 0;
    std::uint8_t rotation = 0;  // quarter turns counter-clockwise

    Style style() const { return {font, size, color, render}; }
};

// Quarter turns (0..3) of a page-space baseline direction.
std::uint8_t rotation_of(double dx, double dy);

// Bytes read as UTF-8, each invalid sequence replaced by U+FFFD.
std::string utf8_lossy(std::string_view bytes);

struct PageInfo {
    Rect media_box{0, 0, 595.276, 841.89};
    std::uint32_t number = 0;
    std::uint8_t rotation = 0;  // quarter turns clockwise
};

struct FontInfo {
    std::string name;
    std::string subtype;
    std::optional<std::string> base_font;
    std::optional<std::string> encoding;
};

// ---- What the PDF access layer copies out of the file ----

struct RawForm {
    std::string name;     // qualified: Fm0/Fm1
    std::string content;  // decoded content stream
    Matrix matrix = kIdentity;
};

struct CidWidth {
    std::uint32_t first = 0, last = 0;
    double width = 0;
};

struct RawFont {
    FontInfo info;
    std::optional<std::string> to_unicode;
    // simple fonts
    std::uint32_t first_char = 0;
    std::vector<double> widths;
    double missing_width = 0;
    std::optional<std::string> base_encoding;
    std::vector<std::pair<std::uint8_t, std::string>> differences;
    std::optional<std::string> font_file3;
    // simple fonts: the decoded /FontFile stream (a Type 1 program), read for
    // the encoding built into it
    std::optional<std::string> font_file;
    // Type0 fonts
    double default_width = 1000;
    std::vector<CidWidth> cid_widths;
    std::optional<std::string> cid_to_gid_map;
    std::optional<std::string> font_file2;
};

enum class ImageColorKind : std::uint8_t { Gray, Rgb, Cmyk, Indexed, Unresolved };

struct RawImage {
    std::string name;
    std::vector<std::string> filters;
    std::string data;
    std::optional<std::pair<std::string, ImageColorKind>> palette;
    std::uint32_t width = 1, height = 1;
    bool has_mask = false;
    ImageColorKind color_space = ImageColorKind::Unresolved;
    std::uint8_t bits_per_component = 8;
};

struct StructElement {
    std::string role;
    std::vector<std::uint32_t> mcids;
    std::optional<std::uint32_t> page;
    unsigned depth = 0;
};

struct RawStructure {
    std::vector<StructElement> elements;
    bool marked = false;
};

// ---- What the content interpreter reports for a page ----

struct XObjectUse {
    std::string name;  // qualified with the form path
    Matrix ctm = kIdentity;
};

struct RuledLine {
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

// Replacement text for glyphs [start, end).
struct ActualText {
    std::string text;
    std::size_t start = 0, end = 0;
};

// Glyphs [start, end) tied to a marked-content identifier.
struct McidSpan {
    std::size_t start = 0, end = 0;
    std::uint32_t mcid = 0;
};

// A page keeps at most this many glyphs. Real pages paint thousands; a
// few kilobytes of compressed content can ask for hundreds of millions, and
// every later stage holds copies of them.
inline constexpr std::size_t kMaxPageGlyphs = std::size_t{1} << 18;
// And runs at most this many content operations, forms included: a form
// drawn a million times from a few bytes would otherwise never finish.
inline constexpr std::size_t kMaxPageOperations = std::size_t{1} << 25;
// And records at most this many XObject draws: each becomes a placed image.
inline constexpr std::size_t kMaxPageXObjects = std::size_t{1} << 16;

struct PageGlyphs {
    std::vector<Glyph> glyphs;
    std::vector<XObjectUse> xobjects;
    std::vector<ActualText> actual_texts;
    std::vector<McidSpan> mcid_spans;
    std::vector<RuledLine> ruled_lines;
    bool truncated = false;  // glyphs past kMaxPageGlyphs were painted and dropped
    bool cut_short = false;  // operations past kMaxPageOperations were not run
    bool xobjects_dropped = false;  // draws past kMaxPageXObjects were not recorded
};

// How the interpreter learns glyph advances without depending on the font
// model. Advances are in text-space units (glyph-space widths / 1000) and an
// unknown font or code yields a default, never a failure.
class GlyphWidths {
public:
    virtual ~GlyphWidths() = default;
    virtual double width(std::string_view font, std::uint32_t code) const = 0;
};

}  // namespace inkra
