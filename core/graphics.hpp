// The geometry and graphics state the content interpreter keeps: matrices and
// points, the saved-state stack, colour-space families, and the current path
// with the rules it yields when painted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "types.hpp"

namespace inkra {

struct Point {
    double x = 0, y = 0;
};

// The product that applies `first`, then `then`.
inline Matrix multiply(const Matrix& m, const Matrix& n) {
    return {
        m[0] * n[0] + m[1] * n[2], m[0] * n[1] + m[1] * n[3],
        m[2] * n[0] + m[3] * n[2], m[2] * n[1] + m[3] * n[3],
        m[4] * n[0] + m[5] * n[2] + n[4], m[4] * n[1] + m[5] * n[3] + n[5],
    };
}
inline Matrix translate(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
// The point through the whole matrix.
inline Point apply(const Matrix& m, Point p) {
    return {m[0] * p.x + m[2] * p.y + m[4], m[1] * p.x + m[3] * p.y + m[5]};
}
// The vector through the linear part only.
inline Point apply_linear(const Matrix& m, Point v) { return {m[0] * v.x + m[2] * v.y, m[1] * v.x + m[3] * v.y}; }

// The family of a colour space: how many operands sc/scn expect.
enum class ColorSpaceKind : std::uint8_t { Gray, Rgb, Cmyk, Other };
// Exact device and CIE names only; a resource name is never looked up.
ColorSpaceKind color_space_from_name(std::string_view name);

// What q saves and Q restores.
struct GraphicsState {
    std::string font;  // qualified resource name
    double font_size = 0;
    double char_spacing = 0;
    double word_spacing = 0;
    double horizontal_scale = 1.0;  // a fraction, 1.0 = 100 %
    double leading = 0;
    double rise = 0;
    TextRender render = TextRender::Fill;
    Matrix ctm = kIdentity;
    Color fill_color = Color::gray(0);
    Color stroke_color = Color::gray(0);
    ColorSpaceKind fill_space = ColorSpaceKind::Gray;
    ColorSpaceKind stroke_space = ColorSpaceKind::Gray;
};

struct GraphicsStack {
    static constexpr std::size_t kMaxDepth = 64;
    std::vector<GraphicsState> saved;

    // Pushes a copy unless kMaxDepth states are already saved.
    void save(const GraphicsState& state);
    // Pops into `state`; false (and `state` untouched) when nothing is saved.
    bool restore(GraphicsState& state);
};

// One straight piece of the current path, already in page space.
struct PathSegment {
    enum class Kind : std::uint8_t { LineSegment, Rectangle };
    Kind kind = Kind::LineSegment;
    Point from;  // a line's start, or a rectangle's corner
    Point to;    // a line's end, or the opposite corner
};

// The rule a painted segment draws, if it looks like a table rule: an
// axis-aligned line, or a rectangle at most 3 points thick, at least 4 long.
std::optional<RuledLine> rule_from(const PathSegment& segment);

struct PathState {
    static constexpr std::size_t kMaxSegments = 8192;
    std::optional<Point> start;    // of the subpath
    std::optional<Point> current;
    std::vector<PathSegment> segments;

    // Appends unless kMaxSegments are held; the excess is dropped.
    void push_segment(const PathSegment& segment);
    // Keeps the segments that are rules, then empties the list; the current
    // point and subpath start survive painting.
    void paint_path(std::vector<RuledLine>& rules);
    // Ends the path without painting it.
    void clear();
};

}  // namespace inkra
