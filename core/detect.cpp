#include "detect.hpp"

#include <algorithm>
#include <charconv>
#include <string>


#include "font.hpp"
#include "unicode.hpp"

namespace inkra {

std::string_view verdict_text(Verdict v) {
    switch (v) {
    case Verdict::Ok: return "ok";
    case Verdict::Degraded: return "degraded";
    case Verdict::NeedsOcr: return "needs_ocr";
    }
    return "needs_ocr";
}

namespace {

bool is_ascii_digit(char32_t c) { return c >= U'0' && c <= U'9'; }

bool is_group_separator(char32_t c) {
    return c == U',' || c == U'.' || c == U'\u060C' || c == U'\u066B' || c == U'\u066C';
}

bool is_presentation_form(char32_t c) {
    return (c >= 0xFB50 && c <= 0xFDFF) || (c >= 0xFE70 && c <= 0xFEFF);
}

// The page text as scalar values; an ill-formed sequence counts as one U+FFFD.
std::u32string scalars_of(std::span<const TextLine> lines) {
    std::u32string out;
    for (const auto& line : lines) out += to_code_points(line.text);
    return out;
}

// A separator between an ASCII digit and a group of exactly three ASCII
// digits; true when two different separator characters do that.
bool has_mixed_separators(std::u32string_view text) {
    char32_t first = 0;
    for (std::size_t i = 1; i + 3 < text.size(); ++i) {
        const char32_t c = text[i];
        if (!is_group_separator(c) || !is_ascii_digit(text[i - 1])) continue;
        if (!is_ascii_digit(text[i + 1]) || !is_ascii_digit(text[i + 2]) || !is_ascii_digit(text[i + 3])) continue;
        if (i + 4 < text.size() && is_ascii_digit(text[i + 4])) continue;
        if (first == 0) {
            first = c;
        } else if (c != first) {
            return true;
        }
    }
    return false;
}

// Shortest decimal form that reads back as the same double, never with an
// exponent: 40 for 40.0, 12.5 for 12.5.
std::string shortest_decimal(double v) {
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed);
    if (ec != std::errc{}) return "0";
    return std::string(buf, end);
}

void raise(Verdict& v, Verdict to) { v = std::max(v, to); }

}  // namespace

Assessment assess(std::uint32_t page, const PageGlyphs& content, const FontMap& fonts,
                  std::span<const TextLine> lines) {
    Assessment a;
    a.page = page;
    a.glyphs = content.glyphs.size();
    for (const auto& line : lines) a.unresolved += line.unresolved;
    a.fonts = fonts.size();
    for (const Font* f : fonts.fonts())
        if (f->is_unmapped()) ++a.unmapped_fonts;
    for (const auto& g : content.glyphs)
        if (g.render == TextRender::Invisible || g.render == TextRender::Clip) ++a.invisible_glyphs;

    const std::u32string text = scalars_of(lines);
    a.chars = text.size();
    for (char32_t c : text) {
        if (is_presentation_form(c)) ++a.presentation_forms;
        if (c == U'\uFFFD') ++a.replacement_chars;
    }
    a.mixed_separators = has_mixed_separators(text);

    if (a.glyphs == 0) {
        a.reasons.emplace_back("no text layer: the page paints no glyphs at all");
        a.verdict = Verdict::NeedsOcr;
        a.confidence = 0.0;
        return a;
    }

    const auto glyphs = static_cast<double>(a.glyphs);
    const double resolved = 1.0 - static_cast<double>(a.unresolved) / glyphs;
    if (resolved < 0.5) {
        a.reasons.push_back("only " + shortest_decimal(100.0 * resolved) + "% of glyph codes could be resolved");
        a.verdict = Verdict::NeedsOcr;
    } else if (resolved < 1.0) {
        a.reasons.push_back(std::to_string(a.unresolved) + " of " + std::to_string(a.glyphs) +
                            " glyph codes unresolved");
        a.verdict = Verdict::Degraded;
    } else {
        a.verdict = Verdict::Ok;
    }

    if (a.unmapped_fonts > 0) {
        a.reasons.push_back(std::to_string(a.unmapped_fonts) + " of " + std::to_string(a.fonts) +
                            " fonts have neither /ToUnicode nor a usable /Encoding");
        raise(a.verdict, Verdict::Degraded);
    }
    if (a.presentation_forms > 0) {
        a.reasons.push_back(std::to_string(a.presentation_forms) + " presentation-form characters survived normalisation");
        raise(a.verdict, Verdict::Degraded);
    }
    const bool invisible = static_cast<double>(a.invisible_glyphs) / glyphs > 0.9;
    if (invisible) {
        a.reasons.emplace_back("text is painted invisibly \u2014 this looks like an OCR layer over a scan");
        raise(a.verdict, Verdict::Degraded);
    }
    if (a.mixed_separators) {
        a.reasons.emplace_back(
            "digits are grouped with both `,` and `.` \u2014 some numbers may have the wrong separator, and so the "
            "wrong value");
        raise(a.verdict, Verdict::Degraded);
    }
    // Pages past the interpreter's limits were read only in part.
    auto limit = [&](bool hit, std::string_view verb, std::size_t n, std::string_view what, std::string_view done) {
        if (!hit) return;
        const std::string count = std::to_string(n);
        a.reasons.push_back("the page " + std::string(verb) + " more than " + count + " " + std::string(what) +
                            "; only the first " + count + " were " + std::string(done));
        raise(a.verdict, Verdict::Degraded);
    };
    limit(content.truncated, "paints", kMaxPageGlyphs, "glyphs", "read");
    limit(content.cut_short, "runs", kMaxPageOperations, "content operations", "run");
    limit(content.xobjects_dropped, "draws", kMaxPageXObjects, "XObjects", "kept");
    if (a.chars <= 1) {
        a.reasons.emplace_back("glyphs were painted but produced almost no text");
        a.verdict = Verdict::NeedsOcr;
        a.confidence = 0.0;
        return a;
    }

    if (a.verdict == Verdict::NeedsOcr) {
        a.confidence = 0.0;
        return a;
    }
    double c = resolved;
    c -= std::min(static_cast<double>(a.replacement_chars + a.presentation_forms) / static_cast<double>(a.chars), 0.5);
    if (a.fonts > 0) c -= 0.2 * static_cast<double>(a.unmapped_fonts) / static_cast<double>(a.fonts);
    if (invisible) c -= 0.1;
    a.confidence = std::clamp(c, 0.0, 1.0);
    return a;
}

}  // namespace inkra
