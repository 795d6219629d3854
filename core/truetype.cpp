#include "truetype.hpp"

#include <algorithm>
#include <vector>

namespace inkra::truetype {

namespace {

std::uint32_t be(std::string_view d, std::size_t at, std::size_t size) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < size; ++i) v = v << 8 | static_cast<unsigned char>(d[at + i]);
    return v;
}

// Reads `size` bytes at `at` when they lie inside d.
std::optional<std::uint32_t> be_at(std::string_view d, std::uint64_t at, std::size_t size) {
    if (at > d.size() || d.size() - at < size) return std::nullopt;
    return be(d, static_cast<std::size_t>(at), size);
}

struct Pair {
    std::uint32_t code;
    std::uint16_t glyph;
};

// Overlapping segments or groups in a hostile table could otherwise make
// the walk run for billions of codes; a sound table never names a code
// twice, so it never reaches these budgets.
constexpr std::uint64_t kFormat4Budget = 0x10000;
constexpr std::uint64_t kFormat12Budget = 0x110000;

void read_format4(std::string_view s, std::vector<Pair>& out) {
    if (s.size() < 8) return;
    std::uint32_t seg_count = be(s, 6, 2) / 2;
    std::uint64_t budget = kFormat4Budget;
    for (std::uint32_t i = 0; i < seg_count; ++i) {
        std::uint64_t end_at = 14 + 2ull * i, start_at = 16 + 2ull * seg_count + 2ull * i,
                      delta_at = 16 + 4ull * seg_count + 2ull * i, range_at = 16 + 6ull * seg_count + 2ull * i;
        auto range_offset = be_at(s, range_at, 2);
        if (!range_offset) break;
        std::uint32_t end = *be_at(s, end_at, 2), start = *be_at(s, start_at, 2), delta = *be_at(s, delta_at, 2);
        if (start > end) continue;
        for (std::uint32_t c = start; c <= end; ++c) {
            if (budget-- == 0) return;
            std::uint32_t glyph = 0;
            if (*range_offset == 0) {
                glyph = (c + delta) & 0xFFFF;
            } else {
                auto v = be_at(s, range_at + *range_offset + 2ull * (c - start), 2);
                if (!v || *v == 0) continue;
                glyph = (*v + delta) & 0xFFFF;
            }
            if (glyph != 0) out.push_back({c, static_cast<std::uint16_t>(glyph)});
        }
    }
}

void read_format12(std::string_view s, std::vector<Pair>& out) {
    if (s.size() < 16) return;
    std::uint32_t groups = be(s, 12, 4);
    std::uint64_t budget = kFormat12Budget;
    for (std::uint64_t i = 0; i < groups; ++i) {
        std::uint64_t at = 16 + 12 * i;
        if (at + 12 > s.size()) break;
        std::uint32_t start = be(s, at, 4), end = be(s, at + 4, 4), first_glyph = be(s, at + 8, 4);
        if (end < start) continue;
        std::uint32_t span = std::min<std::uint32_t>(end - start, 65535);
        for (std::uint32_t k = 0; k <= span; ++k) {
            if (budget-- == 0) return;
            std::uint64_t glyph = std::uint64_t{first_glyph} + k;
            if (glyph > 65535) break;
            if (glyph == 0) continue;
            std::uint64_t code = std::uint64_t{start} + k;
            if (code > 0xFFFFFFFFull) break;
            out.push_back({static_cast<std::uint32_t>(code), static_cast<std::uint16_t>(glyph)});
        }
    }
}

std::vector<Pair> cmap_pairs(std::string_view font) {
    std::vector<Pair> pairs;
    if (font.size() < 6) return pairs;
    auto cmap = table(font, "cmap");
    if (!cmap || cmap->size() < 4) return pairs;
    std::uint32_t count = be(*cmap, 2, 2);
    if (count == 0) return pairs;
    int best = 0;
    std::uint32_t best_offset = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::size_t at = 4 + 8 * std::size_t{i};
        if (at + 8 > cmap->size()) return pairs;  // a lying record count spoils the table
        std::uint32_t platform = be(*cmap, at, 2), encoding = be(*cmap, at + 2, 2), offset = be(*cmap, at + 4, 4);
        if (platform != 3 || offset > cmap->size()) continue;
        int priority = encoding == 10 ? 2 : encoding == 1 ? 1 : 0;
        if (priority > best) best = priority, best_offset = offset;
    }
    if (best == 0) return pairs;
    std::string_view sub = cmap->substr(best_offset);
    if (sub.size() < 2) return pairs;
    switch (be(sub, 0, 2)) {
    case 4: read_format4(sub, pairs); break;
    case 12: read_format12(sub, pairs); break;
    default: break;
    }
    return pairs;
}

bool is_private_use(std::uint32_t c) {
    return (c >= 0xE000 && c <= 0xF8FF) || (c >= 0xF0000 && c <= 0xFFFFD) || (c >= 0x100000 && c <= 0x10FFFD);
}

bool is_scalar(std::uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

bool is_presentation_form(std::uint32_t c) { return (c >= 0xFB50 && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF); }

// Presentation forms beat other characters; otherwise the smaller wins.
bool better(std::uint32_t candidate, std::uint32_t held) {
    bool cp = is_presentation_form(candidate), hp = is_presentation_form(held);
    if (cp != hp) return cp;
    return candidate < held;
}

// head, loca and glyf located once for a run of header reads.
struct Outlines {
    std::string_view loca, glyf;
    std::uint32_t loc_format = 0;
    bool ok = false;

    explicit Outlines(std::string_view font) {
        auto head = table(font, "head");
        if (!head || head->size() <= 51) return;
        loc_format = be(*head, 50, 2);
        if (loc_format > 1) return;
        auto l = table(font, "loca");
        auto g = table(font, "glyf");
        if (!l || !g) return;
        loca = *l, glyf = *g, ok = true;
    }

    std::optional<GlyphHeader> header(std::uint16_t glyph) const {
        if (!ok) return std::nullopt;
        std::size_t entry = loc_format == 0 ? 2 : 4;
        auto start = be_at(loca, std::uint64_t{glyph} * entry, entry);
        auto end = be_at(loca, (std::uint64_t{glyph} + 1) * entry, entry);
        if (!start || !end) return std::nullopt;
        std::uint64_t a = *start, b = *end;
        if (loc_format == 0) a *= 2, b *= 2;
        if (a >= b || b > glyf.size() || b - a < 10) return std::nullopt;
        auto field = [&](std::size_t at) { return static_cast<std::int16_t>(be(glyf, static_cast<std::size_t>(a) + at, 2)); };
        return GlyphHeader{field(0), field(2), field(4), field(8)};
    }
};

void add_stretched_tatweels(std::string_view font, GlyphUnicode& gu) {
    auto tatweel = std::find_if(gu.map.begin(), gu.map.end(), [](const auto& e) { return e.second == U'\u0640'; });
    if (tatweel == gu.map.end()) return;
    Outlines outlines(font);
    auto reference = outlines.header(tatweel->first);
    if (!reference || reference->contours < 1) return;
    auto maxp = table(font, "maxp");
    if (!maxp || maxp->size() < 6) return;
    std::uint32_t glyphs = be(*maxp, 4, 2);
    std::vector<std::uint16_t> copies;
    for (std::uint32_t g = 0; g < glyphs; ++g) {
        auto id = static_cast<std::uint16_t>(g);
        if (gu.map.contains(id)) continue;
        if (auto h = outlines.header(id); h && *h == *reference) copies.push_back(id);
    }
    for (std::uint16_t g : copies) gu.map.emplace(g, U'\u0640');
}

}  // namespace

std::optional<std::string_view> table(std::string_view font, std::string_view tag) {
    if (font.size() < 6 || tag.size() != 4) return std::nullopt;
    std::size_t count = std::min<std::size_t>(be(font, 4, 2), font.size() / 16);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = 12 + 16 * i;
        if (at + 16 > font.size()) return std::nullopt;
        if (font.substr(at, 4) != tag) continue;
        std::uint64_t offset = be(font, at + 8, 4), length = be(font, at + 12, 4);
        if (offset > font.size() || length > font.size() - offset) return std::nullopt;
        return font.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(length));
    }
    return std::nullopt;
}

std::optional<GlyphHeader> glyph_outline(std::string_view font, std::uint16_t glyph) {
    return Outlines(font).header(glyph);
}

GlyphUnicode glyph_unicode(std::string_view program) {
    GlyphUnicode gu;
    for (const Pair& p : cmap_pairs(program)) {
        if (!is_scalar(p.code) || is_private_use(p.code)) continue;
        auto [it, inserted] = gu.map.try_emplace(p.glyph, static_cast<char32_t>(p.code));
        if (!inserted && better(p.code, static_cast<std::uint32_t>(it->second))) it->second = static_cast<char32_t>(p.code);
    }
    add_stretched_tatweels(program, gu);
    return gu;
}

}  // namespace inkra::truetype
