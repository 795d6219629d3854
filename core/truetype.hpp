// Embedded TrueType programs (/FontFile2): which character each glyph was
// made for, read from the font's own cmap table.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace inkra::truetype {

// Glyph id to one character. The cmap never contributes glyph 0 or a
// private-use character; stretched tatweel copies are added by outline.
struct GlyphUnicode {
    std::unordered_map<std::uint16_t, char32_t> map;

    std::optional<char32_t> get(std::uint16_t glyph) const {
        auto it = map.find(glyph);
        return it == map.end() ? std::nullopt : std::optional<char32_t>(it->second);
    }
    bool empty() const { return map.empty(); }
    std::size_t size() const { return map.size(); }
    // (glyph, character) pairs in no particular order.
    auto begin() const { return map.begin(); }
    auto end() const { return map.end(); }
};

// The first ten bytes of a glyph's glyf entry, xMax left out.
struct GlyphHeader {
    std::int16_t contours = 0;
    std::int16_t x_min = 0, y_min = 0, y_max = 0;
    bool operator==(const GlyphHeader&) const = default;
};

// Never fails: anything unreadable yields an empty map.
GlyphUnicode glyph_unicode(std::string_view program);

// The bytes of the table with that four-byte tag, when its record is sound.
std::optional<std::string_view> table(std::string_view font, std::string_view tag);

// Absent for an empty glyph or unreadable head/loca/glyf.
std::optional<GlyphHeader> glyph_outline(std::string_view font, std::uint16_t glyph);

}  // namespace inkra::truetype
