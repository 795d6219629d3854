#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "detect.hpp"
#include "font.hpp"

using namespace inkra;

namespace {

const char* kNoGlyphs = "no text layer: the page paints no glyphs at all";
const char* kInvisible = "text is painted invisibly \u2014 this looks like an OCR layer over a scan";
const char* kSeparators =
    "digits are grouped with both `,` and `.` \u2014 some numbers may have the wrong separator, and so the wrong value";
const char* kNoText = "glyphs were painted but produced almost no text";

const char* kCMap =
    "/CIDInit /ProcSet findresource begin 12 dict begin begincmap\n"
    "1 begincodespacerange <00> <FF> endcodespacerange\n"
    "1 beginbfchar <41> <0628> endbfchar\n"
    "endcmap CMapName currentdict /CMap defineresource pop end end\n";

// `mapped` fonts alternate between a ToUnicode map and a base encoding.
FontMap font_map(int mapped, int unmapped) {
    std::vector<RawFont> raw;
    for (int i = 0; i < mapped; ++i) {
        RawFont f;
        f.info = {"M" + std::to_string(i), "Type1", "Helvetica", std::nullopt};
        if (i % 2 == 0)
            f.to_unicode = kCMap;
        else
            f.base_encoding = "WinAnsiEncoding";
        raw.push_back(f);
    }
    for (int i = 0; i < unmapped; ++i) {
        RawFont f;
        f.info = {"U" + std::to_string(i), "Type0", "Arial", "Identity-H"};
        raw.push_back(f);
    }
    return FontMap::from_raw(std::move(raw));
}

PageGlyphs glyphs(std::size_t n, std::size_t invisible = 0, TextRender mode = TextRender::Invisible) {
    PageGlyphs p;
    for (std::size_t i = 0; i < n; ++i) {
        Glyph g;
        g.font = "M0";
        g.size = 10;
        g.render = i < invisible ? mode : TextRender::Fill;
        p.glyphs.push_back(g);
    }
    return p;
}

TextLine line(std::string text, std::size_t unresolved = 0) {
    TextLine l;
    l.text = std::move(text);
    l.unresolved = unresolved;
    return l;
}

std::string repeat(std::string_view s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

}  // namespace

TEST(Assess, Verdicts) {
    struct Case {
        const char* name;
        PageGlyphs content;
        int mapped, unmapped;
        std::vector<TextLine> lines;
        Verdict verdict;
        std::vector<std::string> reasons;
        double confidence;
    };
    const std::string beh = repeat("\u0628", 50);  // 50 characters, 100 bytes
    const Case cases[] = {
        {"no glyphs", glyphs(0), 1, 0, {}, Verdict::NeedsOcr, {kNoGlyphs}, 0.0},
        {"no glyphs, whatever the lines say", glyphs(0), 0, 2, {line(beh)}, Verdict::NeedsOcr, {kNoGlyphs}, 0.0},
        {"clean", glyphs(100), 2, 0, {line(beh), line(beh)}, Verdict::Ok, {}, 1.0},
        {"60 of 100 unresolved", glyphs(100), 1, 0, {line(beh, 60), line(beh)}, Verdict::NeedsOcr,
         {"only 40% of glyph codes could be resolved"}, 0.0},
        {"875 of 1000 unresolved", glyphs(1000), 1, 0, {line(beh, 875)}, Verdict::NeedsOcr,
         {"only 12.5% of glyph codes could be resolved"}, 0.0},
        {"half resolved is only degraded", glyphs(100), 1, 0, {line(beh, 50)}, Verdict::Degraded,
         {"50 of 100 glyph codes unresolved"}, 0.5},
        {"10 of 100 unresolved as U+FFFD", glyphs(100), 2, 0,
         {line(repeat("\u0628", 45) + repeat("\uFFFD", 5), 5), line(repeat("\u0628", 45) + repeat("\uFFFD", 5), 5)},
         Verdict::Degraded, {"10 of 100 glyph codes unresolved"}, 0.8},
        {"one font of four unmapped", glyphs(100), 3, 1, {line(beh)}, Verdict::Degraded,
         {"1 of 4 fonts have neither /ToUnicode nor a usable /Encoding"}, 0.95},
        {"95 of 100 invisible", glyphs(100, 95), 1, 0, {line(beh)}, Verdict::Degraded, {kInvisible}, 0.9},
        {"95 of 100 clipped", glyphs(100, 95, TextRender::Clip), 1, 0, {line(beh)}, Verdict::Degraded,
         {kInvisible}, 0.9},
        {"90 of 100 invisible", glyphs(100, 90), 1, 0, {line(beh)}, Verdict::Ok, {}, 1.0},
        {"fill-clip is not invisible", glyphs(100, 100, TextRender::FillClip), 1, 0, {line(beh)}, Verdict::Ok, {},
         1.0},
        {"presentation forms", glyphs(100), 1, 0, {line(repeat("\u0628", 48) + "\uFEFB\uFB50")},
         Verdict::Degraded, {"2 presentation-form characters survived normalisation"}, 0.96},
        {"mixed separators", glyphs(20), 1, 0, {line("1,000 and 2.500 and more")}, Verdict::Degraded,
         {kSeparators}, 1.0},
        {"replacement share is capped at one half", glyphs(10), 1, 0, {line(repeat("\uFFFD", 10))}, Verdict::Ok, {},
         0.5},
        {"a single character", glyphs(5), 1, 0, {line("x")}, Verdict::NeedsOcr, {kNoText}, 0.0},
        {"no text after earlier reasons", glyphs(5), 0, 1, {line(""), line("\u0628", 1)}, Verdict::NeedsOcr,
         {"1 of 5 glyph codes unresolved", "1 of 1 fonts have neither /ToUnicode nor a usable /Encoding", kNoText},
         0.0},
        {"75% unresolved and an unmapped font", glyphs(100), 1, 1, {line(beh, 75)}, Verdict::NeedsOcr,
         {"only 25% of glyph codes could be resolved", "1 of 2 fonts have neither /ToUnicode nor a usable /Encoding"},
         0.0},
        {"every reason in order", glyphs(100, 100), 1, 1, {line("\uFEFB 1,000 2.500 " + beh, 20)},
         Verdict::Degraded,
         {"20 of 100 glyph codes unresolved", "1 of 2 fonts have neither /ToUnicode nor a usable /Encoding",
          "1 presentation-form characters survived normalisation", kInvisible, kSeparators},
         0.8 - 1.0 / 64 - 0.1 - 0.1},
        {"penalties clamp at zero", glyphs(100, 100), 0, 1, {line(repeat("\uFFFD", 10), 40)}, Verdict::Degraded,
         {"40 of 100 glyph codes unresolved", "1 of 1 fonts have neither /ToUnicode nor a usable /Encoding",
          kInvisible},
         0.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FontMap fonts = font_map(c.mapped, c.unmapped);
        Assessment a = assess(7, c.content, fonts, c.lines);
        EXPECT_EQ(a.page, 7u);
        EXPECT_EQ(a.verdict, c.verdict) << verdict_text(a.verdict);
        EXPECT_EQ(a.reasons, c.reasons);
        EXPECT_NEAR(a.confidence, c.confidence, 1e-12);
    }
}

TEST(Assess, Counts) {
    PageGlyphs content = glyphs(12, 3);
    content.glyphs[4].render = TextRender::Clip;
    FontMap fonts = font_map(2, 1);
    const std::vector<TextLine> lines{line("\u0628\uFEFB\uFFFD", 2), line("ab", 1), line("\xFF")};
    Assessment a = assess(3, content, fonts, lines);
    EXPECT_EQ(a.glyphs, 12u);
    EXPECT_EQ(a.unresolved, 3u);
    EXPECT_EQ(a.fonts, 3u);
    EXPECT_EQ(a.unmapped_fonts, 1u);
    EXPECT_EQ(a.invisible_glyphs, 4u);
    EXPECT_EQ(a.presentation_forms, 1u);
    EXPECT_EQ(a.replacement_chars, 2u);  // an ill-formed byte reads as U+FFFD
    EXPECT_EQ(a.chars, 6u);
    EXPECT_FALSE(a.mixed_separators);
}

TEST(Assess, MixedSeparators) {
    struct Case { std::vector<std::string> lines; bool mixed; };
    const Case cases[] = {
        {{"1,000 and 2.500"}, true},
        {{"1,000.500"}, true},
        {{"1,000"}, false},
        {{"1,000 with 2,500"}, false},
        {{"3.14 with 1,5"}, false},
        {{"1,0000 and 2.500"}, false},           // four digits are no group
        {{"1,000 and .500"}, false},             // no digit before
        {{"12\u066C345 and 6,789"}, true},       // Arabic thousands separator
        {{"12\u066B345 and 6\u060C789"}, true},  // Arabic decimal separator and comma
        {{"\u0661,\u0660\u0660\u0660 and 2.500"}, false},  // only ASCII digits count
        {{"1", ",000 and 2", ".500"}, true},     // lines are joined with nothing between
    };
    FontMap fonts = font_map(1, 0);
    for (const auto& c : cases) {
        std::vector<TextLine> lines;
        std::string all;
        for (const auto& t : c.lines) {
            lines.push_back(line(t));
            all += t;
        }
        Assessment a = assess(1, glyphs(10), fonts, lines);
        EXPECT_EQ(a.mixed_separators, c.mixed) << all;
        EXPECT_EQ(a.verdict, c.mixed ? Verdict::Degraded : Verdict::Ok) << all;
    }
}
