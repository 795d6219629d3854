// Font models: for each (font, code) the glyph's text and its advance, and
// the decision which of a font's text sources to believe.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "cmap.hpp"
#include "encoding.hpp"
#include "truetype.hpp"
#include "types.hpp"

namespace inkra {

// One font resource, immutable once built and shareable between pages.
class Font {
public:
    // Parses the ToUnicode map and embedded programs and settles, once, the
    // separator corrections and whether the ToUnicode map can be trusted.
    static Font from_raw(const RawFont& raw);

    const std::string& name() const { return name_; }
    // The glyph's text; may be empty or hold several characters; absent when
    // the code cannot be resolved.
    std::optional<std::string> decode(std::uint32_t code) const;
    // Advance in text-space units (glyph-space width / 1000).
    double width(std::uint32_t code) const;
    // Neither a ToUnicode mapping nor a usable encoding; embedded programs
    // do not count.
    bool is_unmapped() const { return cmap_.empty() && encoding_.empty(); }

    bool is_type0() const { return is_type0_; }
    bool to_unicode_untrustworthy() const { return to_unicode_untrustworthy_; }
    const CMap& cmap() const { return cmap_; }
    const Encoding& encoding() const { return encoding_; }
    const std::unordered_map<std::uint32_t, std::string>& cff_names() const { return cff_names_; }
    const truetype::GlyphUnicode& truetype_map() const { return truetype_map_; }
    const std::unordered_map<std::uint32_t, std::string>& separator_overrides() const { return separator_overrides_; }

private:
    std::optional<std::uint16_t> glyph_of(std::uint32_t code) const;
    std::string untrusted_answer(std::uint32_t code, char32_t program_char) const;

    std::string name_;
    CMap cmap_;
    Encoding encoding_;
    Encoding builtin_encoding_;  // of an embedded Type 1 program
    std::unordered_map<std::uint32_t, std::string> cff_names_;
    truetype::GlyphUnicode truetype_map_;
    std::optional<std::vector<std::uint16_t>> cid_to_gid_;
    std::unordered_map<std::uint32_t, std::string> separator_overrides_;
    bool to_unicode_untrustworthy_ = false;
    bool is_type0_ = false;
    std::uint32_t first_char_ = 0;
    std::vector<double> widths_;
    double missing_width_ = 0;
    double default_width_ = 1000;
    std::vector<CidWidth> cid_widths_;
    bool cid_widths_ordered_ = false;  // ascending, disjoint: binary search
};

// The fonts of one page by resource name; a later font of the same name
// replaces an earlier one.
class FontMap final : public GlyphWidths {
public:
    static FontMap from_raw(std::vector<RawFont> fonts);
    // Fonts already built (say, shared between pages), keyed by resource name.
    static FontMap from_fonts(std::vector<std::pair<std::string, std::shared_ptr<const Font>>> fonts);

    std::optional<std::string> decode(std::string_view font, std::uint32_t code) const;
    // 0.5 for a font the map does not hold.
    double width(std::string_view font, std::uint32_t code) const override;

    const Font* find(std::string_view font) const;
    std::size_t size() const { return fonts_.size(); }
    // Fonts in name order.
    std::vector<const Font*> fonts() const;

private:
    std::map<std::string, std::shared_ptr<const Font>, std::less<>> fonts_;
};

// ---- The character comparisons behind the trust decisions ----

// The base letter (U+0621..U+063A, U+0641..U+064A) that c is a form of.
std::optional<char32_t> arabic_letter(char32_t c);
// Kaf, heh or yeh variant group of c after NFKC (0, 1, 2), when it has one.
std::optional<int> variant_group(char32_t c);
// a equals b or both have the same NFKC form.
bool same_letter_after_nfkc(std::u32string_view a, std::u32string_view b);

}  // namespace inkra
