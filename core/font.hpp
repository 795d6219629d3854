// Font models: for each (font, code) the glyph's text and its advance.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "types.hpp"

namespace inkra {

// One font resource, immutable once built and shareable between pages.
class Font {
public:
    static Font from_raw(const RawFont& raw);

    const std::string& name() const { return name_; }
    // The glyph's text; may be empty or hold several characters; absent when
    // the code cannot be resolved.
    std::optional<std::string> decode(std::uint32_t code) const;
    // Advance in text-space units (glyph-space width / 1000).
    double width(std::uint32_t code) const;
    // Neither a ToUnicode mapping nor a usable encoding.
    bool is_unmapped() const;

private:
    std::string name_;
    std::vector<double> widths_;
    std::uint32_t first_char_ = 0;
    double missing_width_ = 0;
    bool is_type0_ = false;
    double default_width_ = 1000;
    std::vector<CidWidth> cid_widths_;
};

// The fonts of one page by resource name; a later font of the same name
// replaces an earlier one.
class FontMap final : public GlyphWidths {
public:
    static FontMap from_raw(std::vector<RawFont> fonts);

    std::optional<std::string> decode(std::string_view font, std::uint32_t code) const;
    double width(std::string_view font, std::uint32_t code) const override;

    const Font* find(std::string_view font) const;
    std::size_t size() const { return fonts_.size(); }
    // Fonts in name order.
    std::vector<const Font*> fonts() const;

private:
    std::map<std::string, std::shared_ptr<const Font>, std::less<>> fonts_;
};

}  // namespace inkra
