#include "arabic.hpp"

#include <algorithm>
#include <array>
#include <tuple>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include <unicode/uchar.h>

#include "bidi.hpp"
#include "font.hpp"
#include "unicode.hpp"

namespace inkra {

// ---- character classes ----

bool is_rtl_char(char32_t c) {
    return (c >= 0x0590 && c <= 0x07BF) || (c >= 0x0860 && c <= 0x08FF) || (c >= 0xFB50 && c <= 0xFDFF) ||
           (c >= 0xFE70 && c <= 0xFEFF);
}

bool is_combining_mark(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x064B && c <= 0x065F) || c == 0x0670 ||
           (c >= 0x06D6 && c <= 0x06ED) || (c >= 0x08D3 && c <= 0x08FF) || (c >= 0xFE70 && c <= 0xFE7F);
}

bool contains_rtl(std::string_view utf8) {
    for (char32_t c : to_code_points(utf8))
        if (is_rtl_char(c)) return true;
    return false;
}

// ---- records ----

Placed::Placed(Glyph g) : glyph(std::move(g)) {
    switch (glyph.rotation) {
    case 1: run_x = glyph.y; run_y = glyph.x; break;
    case 2: run_x = -glyph.x; run_y = glyph.y; break;
    case 3: run_x = -glyph.y; run_y = glyph.x; break;
    default: run_x = glyph.x; run_y = glyph.y; break;
    }
}

double TextLine::confidence() const {
    if (glyph_count == 0) return 1.0;
    return 1.0 - static_cast<double>(unresolved) / static_cast<double>(glyph_count);
}

// ---- grouping ----

std::vector<Line> group_into_lines(std::span<const Placed> glyphs) {
    std::vector<Line> lines;
    if (glyphs.empty()) return lines;
    Line sorted(glyphs.begin(), glyphs.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const Placed& a, const Placed& b) {
        auto ya = total_order_key(a.run_y), yb = total_order_key(b.run_y);
        if (ya != yb) return ya > yb;
        return total_less(a.run_x, b.run_x);
    });
    // The anchor stays the line's first glyph: a slowly drifting baseline
    // must not drag a line across its neighbours.
    double anchor_y = 0;
    std::uint8_t anchor_rotation = 0;
    for (auto& g : sorted) {
        double tolerance = std::max(0.3 * g.glyph.size, 0.5);
        if (lines.empty() || g.glyph.rotation != anchor_rotation || std::fabs(g.run_y - anchor_y) > tolerance) {
            anchor_y = g.run_y;
            anchor_rotation = g.glyph.rotation;
            lines.emplace_back();
        }
        lines.back().push_back(std::move(g));
    }
    return lines;
}

double median_text_size(std::span<const Placed> glyphs) {
    if (glyphs.empty()) return 10.0;
    std::vector<double> sizes;
    sizes.reserve(glyphs.size());
    for (const auto& g : glyphs) sizes.push_back(g.glyph.size);
    std::stable_sort(sizes.begin(), sizes.end(), total_less);
    return sizes[sizes.size() / 2];
}

// ---- building ----

bool is_mark_glyph(std::string_view text) {
    if (text.empty()) return false;
    std::u32string cps = to_code_points(nfkc(text));
    std::size_t i = 0;
    while (i < cps.size() && cps[i] == U' ') ++i;
    if (i == cps.size()) return false;
    for (; i < cps.size(); ++i)
        if (!is_combining_mark(cps[i])) return false;
    return true;
}

namespace {

bool debug_enabled() { return std::getenv("INKRA_DBG") != nullptr; }

void append_quoted(std::string& out, std::string_view text) {
    out += '"';
    for (char32_t c : to_code_points(text)) {
        switch (c) {
        case U'"': out += "\\\""; break;
        case U'\\': out += "\\\\"; break;
        case U'\n': out += "\\n"; break;
        case U'\r': out += "\\r"; break;
        case U'\t': out += "\\t"; break;
        case U'\0': out += "\\0"; break;
        default:
            if (c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0)) {
                char buf[16];
                std::snprintf(buf, sizeof buf, "\\u{%x}", static_cast<unsigned>(c));
                out += buf;
            } else {
                append_utf8(out, c);
            }
        }
    }
    out += '"';
}

void write_stderr(const std::string& s) { std::fwrite(s.data(), 1, s.size(), stderr); }

bool all_white_space(std::string_view text) {
    if (text.empty()) return false;
    for (char32_t c : to_code_points(text))
        if (!is_white_space(c)) return false;
    return true;
}

bool all_replacement(std::string_view text) {
    for (char32_t c : to_code_points(text))
        if (c != 0xFFFD) return false;
    return true;
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

struct Composite {
    char32_t letter;
    char32_t base;
    std::size_t index;  // of the composite's piece
};

// The host's text with the composite folded in, or nothing when the host
// does not hold the base letter exactly once.
std::optional<std::string> merge_hamza(const Composite& composite, std::string_view host) {
    std::u32string cps = to_code_points(host);
    if (cps.find(composite.letter) != std::u32string::npos) return std::string(host);
    auto first = cps.find(composite.base);
    if (first == std::u32string::npos || cps.find(composite.base, first + 1) != std::u32string::npos)
        return std::nullopt;
    cps[first] = composite.letter;
    return to_utf8(cps);
}

// The text's one character, or 0 when it has none or several.
char32_t single_char(std::string_view text) {
    std::u32string cps = to_code_points(text);
    return cps.size() == 1 ? cps[0] : 0;
}

void grow(Rect& box, double x, double y) {
    if (!std::isnan(x)) {
        box.x0 = std::min(box.x0, x);
        box.x1 = std::max(box.x1, x);
    }
    if (!std::isnan(y)) {
        box.y0 = std::min(box.y0, y);
        box.y1 = std::max(box.y1, y);
    }
}

Rect line_bbox(std::span<const Placed> glyphs) {
    constexpr double inf = std::numeric_limits<double>::infinity();
    Rect box{inf, inf, -inf, -inf};
    for (const auto& p : glyphs) {
        const Glyph& g = p.glyph;
        double dx = 0, dy = 0;
        switch (g.rotation) {
        case 1: dy = g.advance; break;
        case 2: dx = -g.advance; break;
        case 3: dy = -g.advance; break;
        default: dx = g.advance; break;
        }
        grow(box, g.x, g.y - 0.25 * g.size);
        grow(box, g.x, g.y + 0.75 * g.size);
        grow(box, g.x + dx, g.y + dy);
    }
    if (box.x0 > box.x1) box.x0 = box.x1 = 0;
    if (box.y0 > box.y1) box.y0 = box.y1 = 0;
    return box;
}

// The glyph whose style the most glyphs of the line share; the earliest wins
// a tie.
std::size_t dominant_style(std::span<const Placed> glyphs) {
    // The count is pairwise (styles merge within a size tolerance, which is
    // not transitive), so keep the comparison cheap: font names become small
    // indices, and a line set in one exact style throughout, the usual case,
    // is settled without it.
    struct Key {
        std::size_t font;
        double size;
        Color color;
        TextRender render;
    };
    std::vector<std::string_view> names;
    std::vector<Key> keys;
    keys.reserve(glyphs.size());
    for (const auto& p : glyphs) {
        auto it = std::find(names.begin(), names.end(), std::string_view(p.glyph.font));
        if (it == names.end()) it = names.insert(names.end(), p.glyph.font);
        keys.push_back({static_cast<std::size_t>(it - names.begin()), p.glyph.size, p.glyph.color, p.glyph.render});
    }
    auto same = [](const Key& a, const Key& b) {
        return a.font == b.font && a.render == b.render && a.size == b.size && a.color == b.color;
    };
    if (keys.empty() || std::all_of(keys.begin(), keys.end(), [&](const Key& k) { return same(k, keys.front()); }))
        return 0;

    auto merges = [](const Key& a, const Key& b) {
        return a.font == b.font && a.render == b.render && std::fabs(a.size - b.size) < 0.01 && a.color == b.color;
    };
    std::vector<std::size_t> counts(keys.size(), 0);
    if (keys.size() <= 512) {
        for (std::size_t i = 0; i < keys.size(); ++i)
            for (const auto& other : keys)
                if (merges(keys[i], other)) ++counts[i];
    } else {
        // A line this long (only hostile content paints one) is counted by
        // grouping: styles merge only within one font, render mode and
        // colour, and there within the size tolerance.
        auto colour = [](const Color& c) {
            std::array<float, 4> v = c.c;
            for (float& x : v) x = x == 0.0f ? 0.0f : x;  // -0 and +0 compare equal
            return std::tuple(c.kind, v);
        };
        auto usable = [](const Key& k) {
            return !std::isnan(k.size) && std::none_of(k.color.c.begin(), k.color.c.end(), [](float x) { return std::isnan(x); });
        };
        std::vector<std::size_t> order;
        for (std::size_t i = 0; i < keys.size(); ++i)
            if (usable(keys[i])) order.push_back(i);
        auto group = [&](std::size_t i) { return std::tuple(keys[i].font, keys[i].render, colour(keys[i].color)); };
        std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return std::tuple(group(a), keys[a].size) < std::tuple(group(b), keys[b].size);
        });
        std::vector<double> sizes;
        for (std::size_t lo = 0; lo < order.size();) {
            std::size_t hi = lo;
            sizes.clear();
            while (hi < order.size() && group(order[hi]) == group(order[lo])) sizes.push_back(keys[order[hi++]].size);
            for (std::size_t k = lo; k < hi; ++k) {
                const double size = keys[order[k]].size;
                auto first = std::upper_bound(sizes.begin(), sizes.end(), size - 0.01);
                auto last = std::lower_bound(sizes.begin(), sizes.end(), size + 0.01);
                counts[order[k]] = static_cast<std::size_t>(last - first);
            }
            lo = hi;
        }
    }
    std::size_t best = 0, best_count = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] > best_count) {
            best = i;
            best_count = counts[i];
        }
    }
    return best;
}

// Where each glyph stands along the line: its run_x, except for some
// diacritics painted with no advance. Producers paint a mark right next to
// its letter — after it when they paint in logical order, before it when
// they paint in visual order — but often put the mark's origin over the
// neighbouring letter, leaving the outline to reach across. Of the mark's
// two painting neighbours, the letter it belongs to is the one that comes
// first in reading: the right one in a right-to-left line. When the origin
// falls outside that letter, though near it, the mark is moved inside the
// letter's advance, where the walk expects a mark on that letter to stand.
// Anything less clear-cut keeps the origin.
std::vector<double> mark_positions(std::span<const Placed> glyphs, const std::vector<bool>& mark_text, bool rtl) {
    std::vector<double> position(glyphs.size());
    for (std::size_t i = 0; i < glyphs.size(); ++i) position[i] = glyphs[i].run_x;

    auto is_mark = [&](std::size_t i) { return !glyphs[i].actual && !has_advance(glyphs[i].glyph) && mark_text[i]; };
    // A glyph with an advance stands for a letter even when its text went
    // elsewhere (an /ActualText span, a cluster mapped on another glyph).
    auto letter = [&](std::size_t i) { return has_advance(glyphs[i].glyph) && !mark_text[i]; };
    auto covers = [&](std::size_t j, double x) {
        const Placed& l = glyphs[j];
        return x >= l.run_x && x < l.run_x + l.glyph.advance;
    };

    // The line's glyphs in painting order; without distinct painting
    // positions nothing can be said.
    std::vector<std::size_t> painted(glyphs.size());
    for (std::size_t i = 0; i < painted.size(); ++i) painted[i] = i;
    std::sort(painted.begin(), painted.end(),
              [&](std::size_t a, std::size_t b) { return glyphs[a].painted < glyphs[b].painted; });
    for (std::size_t k = 0; k < painted.size(); ++k)
        if (glyphs[painted[k]].painted == 0 || (k > 0 && glyphs[painted[k]].painted == glyphs[painted[k - 1]].painted))
            return position;

    constexpr std::size_t kReach = 3;  // marks stacked on one letter
    for (std::size_t k = 0; k < painted.size(); ++k) {
        const std::size_t m = painted[k];
        if (!is_mark(m)) continue;
        std::optional<std::size_t> before, after;
        for (std::size_t d = 1; d <= kReach && d <= k && !before; ++d) {
            std::size_t j = painted[k - d];
            if (letter(j)) before = j;
            else if (!is_mark(j)) break;
        }
        for (std::size_t d = 1; d <= kReach && k + d < painted.size() && !after; ++d) {
            std::size_t j = painted[k + d];
            if (letter(j)) after = j;
            else if (!is_mark(j)) break;
        }
        if (!before || !after) continue;
        const bool before_first = rtl ? glyphs[*before].run_x > glyphs[*after].run_x
                                      : glyphs[*before].run_x < glyphs[*after].run_x;
        const std::size_t host = before_first ? *before : *after;
        const Placed& h = glyphs[host];
        const double x = glyphs[m].run_x;
        const double gap = std::max(h.run_x - x, x - (h.run_x + h.glyph.advance));
        if (!covers(host, x) && gap <= glyphs[m].glyph.size) position[m] = h.run_x + h.glyph.advance / 2;
    }
    return position;
}

}  // namespace

std::optional<TextLine> build_line(std::span<const Placed> glyphs, const FontMap& fonts) {
    if (glyphs.empty()) return std::nullopt;

    struct Decoded {
        Piece piece;
        bool resolved = true;
    };
    std::vector<Decoded> decoded_in;
    decoded_in.reserve(glyphs.size());
    for (const Placed& p : glyphs) {
        if (p.actual) {
            decoded_in.push_back({{Piece::Kind::Actual, *p.actual}, true});
        } else if (auto text = fonts.decode(p.glyph.font, p.glyph.code)) {
            decoded_in.push_back({{Piece::Kind::Decoded, std::move(*text)}, true});
        } else {
            decoded_in.push_back({{Piece::Kind::Decoded, std::string(kReplacement)}, false});
        }
    }

    // A line reads right to left when it holds right-to-left script, unless
    // left-to-right letters outnumber the right-to-left ones: an English
    // sentence quoting one Arabic word must not be reordered as Arabic.
    bool rtl = false;
    std::size_t strong_rtl = 0, strong_ltr = 0;
    for (const auto& d : decoded_in) {
        for (char32_t c : to_code_points(d.piece.text)) {
            rtl = rtl || is_rtl_char(c);
            switch (u_charDirection(static_cast<UChar32>(c))) {
            case U_RIGHT_TO_LEFT:
            case U_RIGHT_TO_LEFT_ARABIC: ++strong_rtl; break;
            case U_LEFT_TO_RIGHT: ++strong_ltr; break;
            default: break;
            }
        }
    }
    rtl = rtl && strong_ltr <= strong_rtl;
    // Whether each glyph's text is a diacritic, settled once: the test
    // normalises the text.
    std::vector<bool> mark_text(glyphs.size());
    for (std::size_t i = 0; i < glyphs.size(); ++i) mark_text[i] = is_mark_glyph(decoded_in[i].piece.text);
    std::vector<double> position = mark_positions(glyphs, mark_text, rtl);

    std::vector<std::size_t> order(glyphs.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return total_less(position[a], position[b]); });
    std::vector<Decoded> decoded;
    decoded.reserve(order.size());
    for (std::size_t i : order) decoded.push_back(std::move(decoded_in[i]));

    bool paints_spaces = false;
    for (const auto& d : decoded) paints_spaces = paints_spaces || all_white_space(d.piece.text);
    // A line that paints its own spaces gets fewer synthetic ones.
    const double factor = paints_spaces ? 0.25 : 0.15;

    std::vector<Piece> pieces;
    pieces.reserve(order.size() + order.size() / 4);
    bool have_previous = false;
    double previous_end = 0;
    std::size_t unresolved = 0;
    constexpr std::size_t kNoSlot = static_cast<std::size_t>(-1);
    std::size_t mark_slot = kNoSlot;  // the piece a following mark goes in front of
    std::optional<Composite> pending;
    std::optional<double> last_letter_x;  // origin of the last glyph walked, when a letter

    auto extend_end = [&](double end) {
        if (!have_previous) {
            previous_end = end;
        } else if (!std::isnan(end)) {
            previous_end = std::isnan(previous_end) ? end : std::max(previous_end, end);
        }
    };

    for (std::size_t k = 0; k < order.size(); ++k) {
        const Placed& p = glyphs[order[k]];
        Decoded& d = decoded[k];
        const std::string& text = d.piece.text;
        const double x = position[order[k]], w = p.glyph.advance, s = p.glyph.size;
        const bool moves = has_advance(p.glyph);

        if (d.resolved && all_replacement(text)) {  // empty text included
            extend_end(x + w);
            have_previous = true;
            continue;
        }
        if (text == kReplacement) ++unresolved;
        const bool mark = mark_text[order[k]];

        // A space painted at the origin of the letter just walked (some
        // producers put a line's trailing space on top of its last letter)
        // separates nothing; kept, it would split the word it lies on.
        const bool white = all_white_space(text);
        if (d.piece.kind == Piece::Kind::Decoded && white && last_letter_x &&
            std::fabs(x - *last_letter_x) <= 0.1 * s)
            continue;
        if (!white && moves) last_letter_x = x;
        else if (white) last_letter_x.reset();

        if (have_previous && moves && x - previous_end > s * factor) {
            bool after_space = !pieces.empty() && pieces.back().kind == Piece::Kind::Decoded && pieces.back().text == " ";
            if (!after_space) {
                pieces.push_back({Piece::Kind::Decoded, " "});
                mark_slot = kNoSlot;
            }
        }
        extend_end(x + w);

        if ((d.piece.kind == Piece::Kind::Actual && text.empty()) || (p.anchored && all_white_space(text))) {
            have_previous = true;
            continue;
        }

        if (pending && moves) {
            if (auto merged = merge_hamza(*pending, text)) {
                if (debug_enabled()) {
                    std::string msg = "MERGE slot=" + std::to_string(pending->index) + " at_slot=";
                    if (pending->index < pieces.size()) {
                        msg += "Some(";
                        append_quoted(msg, pieces[pending->index].text);
                        msg += ")";
                    } else {
                        msg += "None";
                    }
                    msg += " host=";
                    append_quoted(msg, text);
                    msg += " -> ";
                    append_quoted(msg, *merged);
                    msg += " len=" + std::to_string(pieces.size()) + "\n";
                    write_stderr(msg);
                }
                if (pending->index < pieces.size()) pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(pending->index));
                pieces.push_back({Piece::Kind::Decoded, std::move(*merged)});
                mark_slot = pieces.size() - 1;
                pending.reset();
                have_previous = true;
                continue;
            }
        }

        const char32_t lone = moves ? 0 : single_char(text);
        // In a right-to-left line the mark goes in front of its letter in the
        // visual list, so that reordering puts it after the letter.
        std::size_t placed_at = pieces.size();
        if (mark && mark_slot != kNoSlot && rtl && mark_slot <= pieces.size()) {
            placed_at = mark_slot;
            pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(mark_slot), std::move(d.piece));
        } else {
            pieces.push_back(std::move(d.piece));
            if (!mark) mark_slot = placed_at;
        }

        // A composite painted without advance waits for the bare letter it
        // was overlaid on. It remembers where its own piece went: a composite
        // mark slotted in front of its letter is not the last piece, and the
        // merge must not remove that letter instead.
        pending.reset();
        if (lone) {
            std::u32string parts = nfd(lone);
            if (parts.size() == 2 && is_combining_mark(parts[1]) && parts[0] != lone)
                pending = Composite{lone, parts[0], placed_at};
        }
        have_previous = true;
    }

    std::string text = finish_line_text(pieces, rtl);

    if (debug_enabled() && text.find("\xD8\xA5\xD8\xA5") != std::string::npos) {
        std::string msg = "PIECES: [";
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i) msg += ", ";
            append_quoted(msg, pieces[i].text);
        }
        msg += "]\n";
        write_stderr(msg);
    }
    if (text.empty()) return std::nullopt;

    TextLine line;
    line.text = std::move(text);
    const Glyph& style = glyphs[dominant_style(glyphs)].glyph;
    line.font = style.font;
    line.size = style.size;
    line.color = style.color;
    line.render = style.render;
    line.baseline = glyphs.front().glyph.y;
    line.bbox = line_bbox(glyphs);
    line.unresolved = unresolved;
    line.glyph_count = glyphs.size();
    line.rtl = rtl;
    return line;
}

// ---- finishing ----

namespace {

enum class Family : std::uint8_t { None, European, ArabicIndic, Extended };

Family family_of(char32_t c) {
    if (c >= U'0' && c <= U'9') return Family::European;
    if (c >= 0x0660 && c <= 0x0669) return Family::ArabicIndic;
    if (c >= 0x06F0 && c <= 0x06F9) return Family::Extended;
    return Family::None;
}

char32_t zero_of(Family f) {
    switch (f) {
    case Family::ArabicIndic: return 0x0660;
    case Family::Extended: return 0x06F0;
    default: return U'0';
    }
}

void unify_digits(std::u32string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (family_of(text[i]) == Family::None) {
            ++i;
            continue;
        }
        std::size_t end = i;
        std::size_t e = 0, a = 0, x = 0;
        for (; end < text.size(); ++end) {
            Family f = family_of(text[end]);
            if (f == Family::None) break;
            e += f == Family::European;
            a += f == Family::ArabicIndic;
            x += f == Family::Extended;
        }
        int families = (e > 0) + (a > 0) + (x > 0);
        if (families > 1) {
            Family target = Family::European;
            if (a > e && a >= x) target = Family::ArabicIndic;
            else if (x > a && x > e) target = Family::Extended;
            for (std::size_t j = i; j < end; ++j) {
                Family f = family_of(text[j]);
                text[j] = zero_of(target) + (text[j] - zero_of(f));
            }
        }
        i = end;
    }
}

bool is_arabic_letter(char32_t c) {
    bool block = (c >= 0x0600 && c <= 0x06FF) || (c >= 0x0750 && c <= 0x077F) || (c >= 0xFB50 && c <= 0xFEFF);
    return block && is_alphabetic(c);
}

// Tatweel only stretches a joined word; between two Arabic letters it is
// justification and goes, anywhere else it may be meant.
// Some producers map each glyph of a right-to-left line to the character
// its shape shows, so the mirrored bracket drawn for "(" reads as ")" and
// the logical text comes out as ")word(". When the brackets of a
// right-to-left line only pair up with every one of them turned round, they
// were mapped that way: turn them back. A line whose brackets already pair
// up, or pair up neither way, is left alone.
void unmirror_brackets(std::u32string& text) {
    static constexpr std::pair<char32_t, char32_t> kPairs[] = {
        {U'(', U')'}, {U'[', U']'}, {U'{', U'}'}, {U'<', U'>'}, {U'\u00AB', U'\u00BB'}, {U'\u2039', U'\u203A'}};
    auto mirror = [](char32_t c) -> std::optional<char32_t> {
        for (auto [open, close] : kPairs) {
            if (c == open) return close;
            if (c == close) return open;
        }
        return std::nullopt;
    };
    auto pairs_up = [](std::u32string_view t) {
        std::u32string open;
        bool any = false;
        for (char32_t c : t) {
            for (auto [o, cl] : kPairs) {
                if (c == o) {
                    open.push_back(cl);
                    any = true;
                } else if (c == cl) {
                    if (open.empty() || open.back() != cl) return false;
                    open.pop_back();
                }
            }
        }
        return any && open.empty();
    };
    if (pairs_up(text)) return;
    std::u32string turned = text;
    for (char32_t& c : turned)
        if (auto m = mirror(c)) c = *m;
    if (pairs_up(turned)) text = std::move(turned);
}

void drop_kashida(std::u32string& text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != 0x0640) {
            out.push_back(text[i++]);
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && text[end] == 0x0640) ++end;
        bool between = i > 0 && end < text.size() && is_arabic_letter(text[i - 1]) && is_arabic_letter(text[end]);
        if (!between) out.append(text, i, end - i);
        i = end;
    }
    text = std::move(out);
}

void drop_mark_bases(std::u32string& text) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == U' ' && i + 1 < text.size() && is_combining_mark(text[i + 1])) continue;
        out.push_back(text[i]);
    }
    text = std::move(out);
}

std::string collapse_spaces(std::u32string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    bool gap = false;
    for (char32_t c : text) {
        if (is_white_space(c)) {
            gap = true;
            continue;
        }
        if (gap && !out.empty()) out += ' ';
        gap = false;
        append_utf8(out, c);
    }
    return out;
}

}  // namespace

std::string unify_digit_runs(std::string_view text) {
    std::u32string cps = to_code_points(text);
    unify_digits(cps);
    return to_utf8(cps);
}

std::string strip_mark_bases(std::string_view text) {
    std::u32string cps = to_code_points(text);
    drop_mark_bases(cps);
    return to_utf8(cps);
}

std::string finish_line_text(std::span<const Piece> pieces, bool rtl) {
    // A multi-character piece holds its own text in logical order while the
    // line is still visual: reversed here, reordering restores it together
    // with its neighbours.
    std::u32string visual;
    for (const auto& piece : pieces) {
        std::u32string cps = to_code_points(piece.text);
        bool reverse = false;
        if (cps.size() > 1)
            for (char32_t c : cps)
                if (is_rtl_char(c) && family_of(c) == Family::None) {
                    reverse = true;
                    break;
                }
        if (reverse) visual.append(cps.rbegin(), cps.rend());
        else visual += cps;
    }
    unify_digits(visual);
    std::u32string text = to_code_points(nfkc(visual_to_logical(to_utf8(visual), rtl)));
    drop_kashida(text);
    drop_mark_bases(text);
    if (rtl) unmirror_brackets(text);
    return collapse_spaces(text);
}

}  // namespace inkra
