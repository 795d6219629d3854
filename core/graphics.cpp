#include "graphics.hpp"

#include <algorithm>
#include <cmath>

namespace inkra {

ColorSpaceKind color_space_from_name(std::string_view name) {
    if (name == "G" || name == "DeviceGray" || name == "CalGray") return ColorSpaceKind::Gray;
    if (name == "RGB" || name == "DeviceRGB" || name == "CalRGB" || name == "Lab") return ColorSpaceKind::Rgb;
    if (name == "CMYK" || name == "DeviceCMYK") return ColorSpaceKind::Cmyk;
    return ColorSpaceKind::Other;
}

void GraphicsStack::save(const GraphicsState& state) {
    if (saved.size() < kMaxDepth) saved.push_back(state);
}

bool GraphicsStack::restore(GraphicsState& state) {
    if (saved.empty()) return false;
    state = std::move(saved.back());
    saved.pop_back();
    return true;
}

namespace {

constexpr double kAxisTolerance = 0.5;   // a line this far off axis still counts
constexpr double kMaxRuleThickness = 3;  // thicker rectangles are boxes
constexpr double kMinRuleLength = 4;

}  // namespace

std::optional<RuledLine> rule_from(const PathSegment& s) {
    RuledLine rule;
    double dx = 0, dy = 0;
    if (s.kind == PathSegment::Kind::LineSegment) {
        dx = s.to.x - s.from.x;
        dy = s.to.y - s.from.y;
        if (std::abs(dx) > kAxisTolerance && std::abs(dy) > kAxisTolerance) return std::nullopt;
        rule = {s.from.x, s.from.y, s.to.x, s.to.y};
    } else {
        double lx = std::min(s.from.x, s.to.x), hx = std::max(s.from.x, s.to.x);
        double ly = std::min(s.from.y, s.to.y), hy = std::max(s.from.y, s.to.y);
        double w = hx - lx, h = hy - ly;
        if (h <= kMaxRuleThickness && h < w) {
            double m = (ly + hy) * 0.5;
            rule = {lx, m, hx, m};
            dx = w;
        } else if (w <= kMaxRuleThickness && h > w) {
            double m = (lx + hx) * 0.5;
            rule = {m, ly, m, hy};
            dy = h;
        } else {
            return std::nullopt;
        }
    }
    if (std::max(std::abs(dx), std::abs(dy)) < kMinRuleLength) return std::nullopt;
    return rule;
}

void PathState::push_segment(const PathSegment& segment) {
    if (segments.size() < kMaxSegments) segments.push_back(segment);
}

void PathState::paint_path(std::vector<RuledLine>& rules) {
    for (const PathSegment& s : segments)
        if (auto rule = rule_from(s)) rules.push_back(*rule);
    segments.clear();
}

void PathState::clear() {
    segments.clear();
    start.reset();
    current.reset();
}

}  // namespace inkra
