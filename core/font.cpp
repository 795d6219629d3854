#include "font.hpp"

#include <algorithm>

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include "cff.hpp"
#include "type1.hpp"

namespace inkra {

namespace {

// Texts here are produced by our own decoders and are valid UTF-8; a stray
// bad byte still reads as U+FFFD rather than going out of bounds.
std::u32string to_u32(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        auto b = static_cast<unsigned char>(s[i]);
        std::size_t len = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (len == 0 || i + len > s.size()) {
            out.push_back(U'\uFFFD');
            ++i;
            continue;
        }
        std::uint32_t c = len == 1 ? b : b & (0x7F >> len);
        bool ok = true;
        for (std::size_t k = 1; k < len; ++k) {
            auto cb = static_cast<unsigned char>(s[i + k]);
            ok = ok && (cb & 0xC0) == 0x80;
            c = c << 6 | (cb & 0x3F);
        }
        out.push_back(ok ? static_cast<char32_t>(c) : U'\uFFFD');
        i += ok ? len : 1;
    }
    return out;
}

std::string to_utf8(char32_t c) {
    std::string s;
    append_utf8(s, c);
    return s;
}

// The single character of a text, if it has exactly one.
std::optional<char32_t> single_char(std::string_view s) {
    if (s.empty()) return std::nullopt;
    std::u32string u = to_u32(s);
    if (u.size() != 1) return std::nullopt;
    return u[0];
}

std::u32string nfkc(std::u32string_view s) {
    bool ascii = true;
    for (char32_t c : s) ascii = ascii && c < 0x80;
    if (ascii) return std::u32string(s);
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFKCInstance(status);
    if (U_FAILURE(status)) return std::u32string(s);
    icu::UnicodeString in = icu::UnicodeString::fromUTF32(reinterpret_cast<const UChar32*>(s.data()),
                                                          static_cast<int32_t>(s.size()));
    icu::UnicodeString out = n->normalize(in, status);
    if (U_FAILURE(status)) return std::u32string(s);
    std::u32string r(static_cast<std::size_t>(out.countChar32()), U'\0');
    out.toUTF32(reinterpret_cast<UChar32*>(r.data()), static_cast<int32_t>(r.size()), status);
    return r;
}

std::optional<char32_t> nfkc_single(char32_t c) {
    std::u32string n = nfkc(std::u32string_view(&c, 1));
    if (n.size() != 1) return std::nullopt;
    return n[0];
}

bool is_mirrored_bracket(char32_t c) {
    switch (c) {
    case U'(': case U')': case U'<': case U'>': case U'[': case U']': case U'{': case U'}':
    case U'\u00AB': case U'\u00BB': case U'\u2039': case U'\u203A': case U'\uFD3E': case U'\uFD3F':
        return true;
    default: return false;
    }
}

bool is_separator(char32_t c) {
    return c == U',' || c == U'.' || c == U'\u02D9' || c == U'\u060C' || c == U'\u066B' || c == U'\u066C';
}

std::optional<int> digit_value(char32_t c) {
    for (char32_t zero : {U'0', U'\u0660', U'\u06F0'})
        if (c >= zero && c <= zero + 9) return static_cast<int>(c - zero);
    return std::nullopt;
}

bool variant_equivalent(char32_t a, char32_t b) {
    auto ga = variant_group(a);
    return ga && ga == variant_group(b);
}

bool same_letter(char32_t a, char32_t b) {
    return same_letter_after_nfkc(std::u32string_view(&a, 1), std::u32string_view(&b, 1));
}

bool agree(char32_t t, char32_t c) {
    if (same_letter(t, c) || variant_equivalent(t, c)) return true;
    auto dt = digit_value(t), dc = digit_value(c);
    if (dt && dc && *dt == *dc) return true;
    return (t == U',' && c == U'\u066C') || (t == U'.' && c == U'\u066B') || (t == U'\u066B' && c == U'.') ||
           (t == U'\u066C' && c == U',');
}

bool is_white_space(char32_t c) { return u_hasBinaryProperty(static_cast<UChar32>(c), UCHAR_WHITE_SPACE); }

// Whether the ToUnicode map disagrees too often with the program's own
// character map to be believed.
bool to_unicode_is_untrustworthy(const CMap& cmap, const truetype::GlyphUnicode& program,
                                 const std::optional<std::vector<std::uint16_t>>& cid_to_gid) {
    std::size_t compared = 0, mismatches = 0, severe = 0;
    auto check = [&](std::uint32_t code, char32_t c) {
        if (is_mirrored_bracket(c)) return;
        auto text = cmap.get(code);
        if (!text) return;
        auto t = single_char(*text);
        if (!t) return;
        ++compared;
        if (agree(*t, c)) return;
        ++mismatches;
        auto letter = arabic_letter(c);
        if (!letter) return;
        auto t_letter = arabic_letter(*t);
        if (is_white_space(*t) || (t_letter && *t_letter != *letter)) ++severe;
    };
    if (!cid_to_gid) {
        for (const auto& [glyph, c] : program) check(glyph, c);
    } else {
        for (std::size_t i = 0; i < cid_to_gid->size(); ++i)
            if (auto c = program.get((*cid_to_gid)[i])) check(static_cast<std::uint32_t>(i), *c);
    }
    return compared >= 8 && (static_cast<double>(mismatches) > static_cast<double>(compared) * 0.3333333333333333 ||
                             severe >= 3);
}

}  // namespace

std::optional<char32_t> arabic_letter(char32_t c) {
    auto n = nfkc_single(c);
    if (n && ((*n >= 0x0621 && *n <= 0x063A) || (*n >= 0x0641 && *n <= 0x064A))) return n;
    return std::nullopt;
}

std::optional<int> variant_group(char32_t c) {
    auto n = nfkc_single(c);
    if (!n) return std::nullopt;
    switch (*n) {
    case 0x0643: case 0x06A9: return 0;
    case 0x0647: case 0x06BE: case 0x06C1: case 0x06D5: return 1;
    case 0x0649: case 0x064A: case 0x06CC: return 2;
    default: return std::nullopt;
    }
}

bool same_letter_after_nfkc(std::u32string_view a, std::u32string_view b) {
    return a == b || nfkc(a) == nfkc(b);
}

Font Font::from_raw(const RawFont& raw) {
    Font f;
    f.name_ = raw.info.name;
    f.is_type0_ = raw.info.subtype == "Type0";
    if (raw.to_unicode) f.cmap_ = CMap::parse(*raw.to_unicode);
    if (!f.is_type0_) {
        f.encoding_ = Encoding::create(raw.base_encoding, raw.differences);
        if (raw.font_file3) f.cff_names_ = cff::glyph_names(*raw.font_file3);
        if (raw.font_file) f.builtin_encoding_ = type1::builtin_encoding(*raw.font_file);
    }

    // A ToUnicode map that sends the font's decimal separator to the comma
    // (or the like) is corrected by the glyph's own name.
    for (std::uint32_t code = 0; code < 256; ++code) {
        auto text = f.cmap_.get(code);
        if (!text) continue;
        auto t = single_char(*text);
        if (!t || !is_separator(*t)) continue;
        auto own = f.encoding_.decode(code);
        if (!own) {
            if (auto it = f.cff_names_.find(code); it != f.cff_names_.end()) own = glyph_name_to_string(it->second);
        }
        if (!own) continue;
        auto e = single_char(*own);
        if (e && is_separator(*e) && *e != *t) f.separator_overrides_.emplace(code, to_utf8(*e));
    }

    if (raw.font_file2) f.truetype_map_ = truetype::glyph_unicode(*raw.font_file2);
    if (raw.cid_to_gid_map) {
        const std::string& m = *raw.cid_to_gid_map;
        std::vector<std::uint16_t> gids(m.size() / 2);
        for (std::size_t i = 0; i < gids.size(); ++i)
            gids[i] = static_cast<std::uint16_t>(static_cast<unsigned char>(m[2 * i]) << 8 | static_cast<unsigned char>(m[2 * i + 1]));
        f.cid_to_gid_ = std::move(gids);
    }
    if (!f.cmap_.empty() && !f.truetype_map_.empty())
        f.to_unicode_untrustworthy_ = to_unicode_is_untrustworthy(f.cmap_, f.truetype_map_, f.cid_to_gid_);

    f.first_char_ = raw.first_char;
    f.widths_ = raw.widths;
    f.missing_width_ = raw.missing_width;
    f.default_width_ = raw.default_width;
    f.cid_widths_ = raw.cid_widths;
    f.cid_widths_ordered_ = true;
    for (std::size_t i = 0; f.cid_widths_ordered_ && i < f.cid_widths_.size(); ++i)
        f.cid_widths_ordered_ = f.cid_widths_[i].first <= f.cid_widths_[i].last &&
                                (i == 0 || f.cid_widths_[i - 1].last < f.cid_widths_[i].first);
    return f;
}

std::optional<std::uint16_t> Font::glyph_of(std::uint32_t code) const {
    if (code > 0xFFFF) return std::nullopt;
    if (!cid_to_gid_) return static_cast<std::uint16_t>(code);
    if (code >= cid_to_gid_->size() || (*cid_to_gid_)[code] == 0) return std::nullopt;
    return (*cid_to_gid_)[code];
}

// The answer of a distrusted ToUnicode map: the program's character, unless
// the map only chose a regional variant of the same letter (or spelled a
// ligature letter by letter).
std::string Font::untrusted_answer(std::uint32_t code, char32_t c) const {
    auto text = cmap_.get(code);
    if (!text) return to_utf8(c);
    std::u32string t = to_u32(*text);
    if (t.size() == 1) {
        bool keep = !same_letter(t[0], c) && variant_equivalent(t[0], c);
        return keep ? *text : to_utf8(c);
    }
    std::u32string nt = nfkc(t), nc = nfkc(std::u32string_view(&c, 1));
    if (nc.size() < 2 || nc.size() != nt.size()) return to_utf8(c);
    for (std::size_t i = 0; i < nc.size(); ++i) {
        bool fits = nt[i] == nc[i] || (!same_letter(nt[i], nc[i]) && variant_equivalent(nt[i], nc[i]));
        if (!fits) return to_utf8(c);
    }
    return *text;
}

namespace {

bool only_noncharacters(std::string_view text) {
    if (text.empty()) return false;
    for (char32_t c : to_code_points(text))
        if (!((c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE)) return false;
    return true;
}

}  // namespace

std::optional<std::string> Font::decode(std::uint32_t code) const {
    if (auto it = separator_overrides_.find(code); it != separator_overrides_.end()) return it->second;
    const auto glyph = truetype_map_.empty() ? std::nullopt : glyph_of(code);
    const auto program_char = glyph ? truetype_map_.get(*glyph) : std::nullopt;
    if (program_char) {
        if (*program_char == U'\u0640') return to_utf8(U'\u0640');
        if (to_unicode_untrustworthy_ && !is_mirrored_bracket(*program_char))
            return untrusted_answer(code, *program_char);
    }
    // A map entry of noncharacters (U+FFFF and its kind) names no text: some
    // producers write it for glyphs they could not map. Look further.
    if (auto text = cmap_.get(code); text && !only_noncharacters(*text)) return text;
    if (auto text = encoding_.decode(code)) return text;
    if (auto it = cff_names_.find(code); it != cff_names_.end()) {
        if (auto text = glyph_name_to_string(it->second)) return text;
    }
    if (auto text = builtin_encoding_.decode(code)) return text;
    if (program_char) return to_utf8(*program_char);
    return std::nullopt;
}

double Font::width(std::uint32_t code) const {
    if (is_type0_) {
        // Producers write /W in ascending, disjoint ranges: search those;
        // anything else keeps the first-match rule.
        if (cid_widths_ordered_) {
            auto it = std::partition_point(cid_widths_.begin(), cid_widths_.end(),
                                           [&](const CidWidth& w) { return w.last < code; });
            if (it != cid_widths_.end() && it->first <= code) return it->width / 1000.0;
            return default_width_ / 1000.0;
        }
        for (const auto& w : cid_widths_)
            if (code >= w.first && code <= w.last) return w.width / 1000.0;
        return default_width_ / 1000.0;
    }
    if (code >= first_char_ && code - first_char_ < widths_.size()) return widths_[code - first_char_] / 1000.0;
    return missing_width_ / 1000.0;
}

FontMap FontMap::from_raw(std::vector<RawFont> fonts) {
    FontMap m;
    for (const auto& raw : fonts) m.fonts_.insert_or_assign(raw.info.name, std::make_shared<const Font>(Font::from_raw(raw)));
    return m;
}

FontMap FontMap::from_fonts(std::vector<std::pair<std::string, std::shared_ptr<const Font>>> fonts) {
    FontMap m;
    for (auto& [name, font] : fonts)
        if (font) m.fonts_.insert_or_assign(std::move(name), std::move(font));
    return m;
}

const Font* FontMap::find(std::string_view font) const {
    auto it = fonts_.find(font);
    return it == fonts_.end() ? nullptr : it->second.get();
}

std::optional<std::string> FontMap::decode(std::string_view font, std::uint32_t code) const {
    const Font* f = find(font);
    return f ? f->decode(code) : std::nullopt;
}

double FontMap::width(std::string_view font, std::uint32_t code) const {
    const Font* f = find(font);
    return f ? f->width(code) : 0.5;
}

std::vector<const Font*> FontMap::fonts() const {
    std::vector<const Font*> out;
    out.reserve(fonts_.size());
    for (const auto& [name, f] : fonts_) out.push_back(f.get());
    return out;
}

}  // namespace inkra
