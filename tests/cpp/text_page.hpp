// Pages of glyphs whose texts come from one-glyph /ActualText spans, which
// every decoder honours, so that tests need no embedded fonts.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "types.hpp"

namespace inkra::fixture {

// A glyph of a font the page does not have.
struct GlyphAt {
    double x, y;
    std::string text;
    double advance = 10;
    double size = 10;
    std::uint8_t rotation = 0;
};

inline PageGlyphs page_of(const std::vector<GlyphAt>& glyphs_at) {
    PageGlyphs page;
    for (const GlyphAt& s : glyphs_at) {
        Glyph g;
        g.font = "F0";
        g.size = s.size;
        g.x = s.x;
        g.y = s.y;
        g.advance = s.advance;
        g.rotation = s.rotation;
        page.actual_texts.push_back({s.text, page.glyphs.size(), page.glyphs.size() + 1});
        page.glyphs.push_back(g);
    }
    return page;
}

inline std::vector<GlyphAt> row(double x, double y, std::string_view letters) {
    std::vector<GlyphAt> out;
    for (char c : letters) {
        out.push_back({x, y, std::string(1, c)});
        x += 10;
    }
    return out;
}

inline void append(std::vector<GlyphAt>& to, const std::vector<GlyphAt>& more) { to.insert(to.end(), more.begin(), more.end()); }

}  // namespace inkra::fixture
