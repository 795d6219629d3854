#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "content.hpp"
#include "graphics.hpp"

using namespace inkra;
using namespace std::string_literals;

namespace {

// Every glyph is half an em wide unless the test says otherwise.
struct StubWidths final : GlyphWidths {
    std::map<std::pair<std::string, std::uint32_t>, double> special;
    double width(std::string_view font, std::uint32_t code) const override {
        auto it = special.find({std::string(font), code});
        return it == special.end() ? 0.5 : it->second;
    }
};

const StubWidths kHalf;

PageGlyphs run(std::string_view content, std::vector<FontInfo> fonts = {}, std::vector<RawForm> forms = {},
               const GlyphWidths& widths = kHalf) {
    return interpret_with_forms(content, fonts, forms, widths);
}

FontInfo type0(std::string name) { return {std::move(name), "Type0", std::nullopt, std::nullopt}; }
FontInfo simple(std::string name) { return {std::move(name), "TrueType", std::nullopt, std::nullopt}; }

bool same_rule(const RuledLine& a, const RuledLine& b) {
    auto near = [](double x, double y) { return std::abs(x - y) < 1e-9; };
    return near(a.x0, b.x0) && near(a.y0, b.y0) && near(a.x1, b.x1) && near(a.y1, b.y1);
}

}  // namespace

TEST(Interpreter, SizePositionAndRotationFromTheMatrices) {
    struct Case { std::string_view content; double size, x, y; int rotation; };
    const Case cases[] = {
        {"BT /F1 1 Tf 12 0 0 12 100 700 Tm (A) Tj ET", 12, 100, 700, 0},
        {"BT /F1 12 Tf 1 0 0 1 100 700 Tm (A) Tj ET", 12, 100, 700, 0},
        {"BT /F1 12 Tf 0 1 -1 0 300 100 Tm (A) Tj ET", 12, 300, 100, 1},
        {"BT /F1 12 Tf -1 0 0 -1 300 100 Tm (A) Tj ET", 12, 300, 100, 2},
        {"BT /F1 12 Tf 0 -1 1 0 300 100 Tm (A) Tj ET", 12, 300, 100, 3},
        // The CTM scales, translates and turns what the text matrix places.
        {"2 0 0 2 10 20 cm BT /F1 6 Tf 1 0 0 1 5 5 Tm (A) Tj ET", 12, 20, 30, 0},
        {"0 1 -1 0 0 0 cm BT /F1 10 Tf 1 0 0 1 50 0 Tm (A) Tj ET", 10, 0, 50, 1},
        // Horizontal scaling never changes the size; the rise moves the origin up.
        {"BT /F1 10 Tf 50 Tz 3 Ts 1 0 0 1 0 0 Tm (A) Tj ET", 10, 0, 3, 0},
        // Rotation rounds to the nearest quarter turn: 30 degrees is upright, 60 is a quarter.
        {"BT /F1 10 Tf 0.8660254 0.5 -0.5 0.8660254 0 0 Tm (A) Tj ET", 10, 0, 0, 0},
        {"BT /F1 10 Tf 0.5 0.8660254 -0.8660254 0.5 0 0 Tm (A) Tj ET", 10, 0, 0, 1},
        // A zero font size leaves no direction at all.
        {"BT /F1 0 Tf 0 1 -1 0 0 0 Tm (A) Tj ET", 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        auto out = run(c.content);
        ASSERT_EQ(out.glyphs.size(), 1u) << c.content;
        const Glyph& g = out.glyphs[0];
        EXPECT_NEAR(g.size, c.size, 1e-6) << c.content;
        EXPECT_NEAR(g.x, c.x, 1e-9) << c.content;
        EXPECT_NEAR(g.y, c.y, 1e-9) << c.content;
        EXPECT_EQ(g.rotation, c.rotation) << c.content;
        EXPECT_EQ(g.font, "F1");
        EXPECT_EQ(g.code, 'A');
    }
}

TEST(Interpreter, AdvanceAndTextMatrixMovement) {
    StubWidths w;
    w.special[{"F1", 'B'}] = -0.2;  // a negative width moves back but paints no advance
    struct Case { std::string_view content; std::vector<double> xs; std::vector<double> advances; };
    const Case cases[] = {
        // Tfs 1 under a 12-point text matrix: the matrix moves 0.5 units, 6 points.
        {"BT /F1 1 Tf 12 0 0 12 100 700 Tm (AA) Tj ET", {100, 106}, {6, 6}},
        {"BT /F1 10 Tf 2 Tc (AA) Tj ET", {0, 7}, {5, 5}},
        {"BT /F1 10 Tf 50 Tz 2 Tc (AA) Tj ET", {0, 3.5}, {2.5, 2.5}},
        {"BT /F1 10 Tf (BA) Tj ET", {0, -2}, {0, 5}},
        // Word spacing applies to the single byte 32 only.
        {"BT /F1 10 Tf 3 Tw (A A) Tj ET", {0, 5, 13}, {5, 5, 5}},
        // [(A) -500 (B)]: B starts 5 units after the end of A's advance.
        {"BT /F1 10 Tf [(A) -500 (A)] TJ ET", {0, 10}, {5, 5}},
        {"BT /F1 10 Tf 50 Tz [(A) 1000 /x (A)] TJ ET", {0, -2.5}, {2.5, 2.5}},
        // Td, TD with its leading, T*, ' and " move the line matrix.
        {"BT /F1 10 Tf 10 20 Td (A) Tj 5 -2 TD (A) Tj T* (A) Tj (A) ' 1 0 (A) \" ET", {10, 15, 15, 15, 15}, {5, 5, 5, 5, 5}},
    };
    for (const auto& c : cases) {
        auto out = run(c.content, {}, {}, w);
        ASSERT_EQ(out.glyphs.size(), c.xs.size()) << c.content;
        for (std::size_t i = 0; i < c.xs.size(); ++i) {
            EXPECT_NEAR(out.glyphs[i].x, c.xs[i], 1e-9) << c.content << " glyph " << i;
            EXPECT_NEAR(out.glyphs[i].advance, c.advances[i], 1e-9) << c.content << " glyph " << i;
        }
    }
    // The lines of the last case: 20, then 18 with leading 2, then 16, 14 and 12.
    auto out = run("BT /F1 10 Tf 10 20 Td (A) Tj 5 -2 TD (A) Tj T* (A) Tj (A) ' 1 0 (A) \" ET");
    const double ys[] = {20, 18, 16, 14, 12};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(out.glyphs[i].y, ys[i], 1e-9);
    // " sets word spacing 1 and character spacing 0 before it shows.
    out = run("BT /F1 10 Tf 7 Tc 1 0 (  ) \" ET");
    EXPECT_NEAR(out.glyphs[1].x - out.glyphs[0].x, 6, 1e-9);
}

TEST(Interpreter, Type0FontsReadTwoByteCodes) {
    auto out = run("BT /F0 10 Tf 3 Tw <0041002000> Tj /F1 10 Tf <0041> Tj ET", {simple("F1"), type0("F0")});
    ASSERT_EQ(out.glyphs.size(), 4u);
    EXPECT_EQ(out.glyphs[0].code, 0x41u);
    EXPECT_EQ(out.glyphs[1].code, 0x20u);
    // No word spacing for the two-byte 32: the next string starts after 2 × 5 units.
    EXPECT_NEAR(out.glyphs[2].x, 10, 1e-9);
    EXPECT_EQ(out.glyphs[2].code, 0u);
    EXPECT_EQ(out.glyphs[3].code, 0x41u);
    // Only the exact subtype counts, and a font not listed is simple.
    EXPECT_EQ(run("BT /F0 1 Tf <0041> Tj ET", {{"F0", "type0", {}, {}}}).glyphs.size(), 2u);
    EXPECT_EQ(run("BT /F9 1 Tf <0041> Tj ET", {type0("F0")}).glyphs.size(), 2u);
}

TEST(Interpreter, RenderModesAndColours) {
    struct Case { std::string_view ops; TextRender render; Color color; };
    const Case cases[] = {
        {"1 0 0 rg 0 0 1 RG", TextRender::Fill, Color::rgb(1, 0, 0)},
        {"1 0 0 rg 0 0 1 RG 1 Tr", TextRender::Stroke, Color::rgb(0, 0, 1)},
        {"1 0 0 rg 0 0 1 RG 2 Tr", TextRender::FillStroke, Color::rgb(1, 0, 0)},
        {"1 0 0 rg 0 0 1 RG 5 Tr", TextRender::StrokeClip, Color::rgb(0, 0, 1)},
        {"3 Tr", TextRender::Invisible, Color::gray(0)},
        {"7.9 Tr", TextRender::Clip, Color::gray(0)},
        {"2 Tr 9 Tr", TextRender::Fill, Color::gray(0)},
        {"2 Tr -1 Tr", TextRender::Fill, Color::gray(0)},
        {"2 Tr Tr", TextRender::Fill, Color::gray(0)},
        {"0.5 g", TextRender::Fill, Color::gray(0.5f)},
        {"0.5 0.2 g", TextRender::Fill, Color::unknown()},
        {"0.1 0.2 0.3 0.4 k", TextRender::Fill, Color::cmyk(0.1f, 0.2f, 0.3f, 0.4f)},
        {"1 1 k", TextRender::Fill, Color::unknown()},
        {"1 0 rg", TextRender::Fill, Color::unknown()},
        {"1.5 -2 0 rg", TextRender::Fill, Color::rgb(1.5f, -2, 0)},  // not clamped
        {"/CS0 cs 0.1 0.2 0.3 sc", TextRender::Fill, Color::unknown()},
        {"/DeviceRGB cs 0.1 0.2 0.3 sc", TextRender::Fill, Color::rgb(0.1f, 0.2f, 0.3f)},
        {"/DeviceRGB cs 0.1 0.2 sc", TextRender::Fill, Color::unknown()},
        {"/CalGray cs 0.3 /P0 scn", TextRender::Fill, Color::gray(0.3f)},
        {"/DeviceCMYK cs 0.1 0.2 0.3 0.4 scn", TextRender::Fill, Color::cmyk(0.1f, 0.2f, 0.3f, 0.4f)},
        {"/Lab cs 50 0 0 sc", TextRender::Fill, Color::rgb(50, 0, 0)},
        {"0.4 g /Pattern cs", TextRender::Fill, Color::gray(0.4f)},  // cs leaves the colour
        {"1 0 0 rg 0.5 sc", TextRender::Fill, Color::unknown()},     // rg made the space RGB
        {"/DeviceGray CS 0.25 SC 1 Tr", TextRender::Stroke, Color::gray(0.25f)},
        {"/DeviceCMYK CS 1 0 0 0 SCN 0 0 0 0 K 1 Tr", TextRender::Stroke, Color::cmyk(0, 0, 0, 0)},
        {"/X CS 1 SC 1 Tr", TextRender::Stroke, Color::unknown()},
    };
    for (const auto& c : cases) {
        std::string content = std::string(c.ops) + " BT /F1 10 Tf (A) Tj ET";
        auto out = run(content);
        ASSERT_EQ(out.glyphs.size(), 1u) << content;
        EXPECT_EQ(out.glyphs[0].render, c.render) << content;
        EXPECT_EQ(out.glyphs[0].color, c.color) << content;
    }
}

TEST(Interpreter, SaveAndRestore) {
    // Q restores the text state and colours; a Q with nothing saved changes nothing.
    auto out = run("Q 1 g /F1 10 Tf q 0 g /F2 20 Tf 2 Tr Q BT (A) Tj ET");
    ASSERT_EQ(out.glyphs.size(), 1u);
    EXPECT_EQ(out.glyphs[0].font, "F1");
    EXPECT_EQ(out.glyphs[0].size, 10);
    EXPECT_EQ(out.glyphs[0].color, Color::gray(1));
    EXPECT_EQ(out.glyphs[0].render, TextRender::Fill);

    // 70 nested q, each level with its own gray: states 65 to 70 are never
    // saved, so the 6 extra Q already restore outer states, and the last
    // Q leaves the initial state.
    std::string content;
    for (int i = 1; i <= 70; ++i) content.append("q ").append(std::to_string(i)).append(" g ");
    content += "BT /F1 1 Tf (A) Tj ET";
    for (int i = 1; i <= 70; ++i) content += " Q BT (A) Tj ET";
    out = run(content);
    ASSERT_EQ(out.glyphs.size(), 71u);
    EXPECT_EQ(out.glyphs[0].color, Color::gray(70));
    // The first Q pops the 64th save, taken when gray was 63.
    EXPECT_EQ(out.glyphs[1].color, Color::gray(63));
    EXPECT_EQ(out.glyphs[64].color, Color::gray(0));
    EXPECT_EQ(out.glyphs[70].color, Color::gray(0));
    EXPECT_EQ(out.glyphs[70].size, 0);  // the Tf of the innermost level was undone too
}

TEST(Interpreter, RuledLines) {
    struct Case { std::string_view content; std::vector<RuledLine> rules; };
    const Case cases[] = {
        {"100 100 m 300 100.4 l S", {{100, 100, 300, 100.4}}},
        {"100 100 m 300 101 l S", {}},
        {"100 100 m 102 100 l S", {}},
        {"300 100 m 100 100 l 100 300 l S", {{300, 100, 100, 100}, {100, 100, 100, 300}}},
        {"50 50 200 1 re f", {{50, 50.5, 250, 50.5}}},
        {"50 50 1 200 re f", {{50.5, 50, 50.5, 250}}},
        {"250 50 -200 1 re f", {{50, 50.5, 250, 50.5}}},
        {"50 50 200 100 re S", {}},
        {"50 50 2 2 re f", {}},
        {"50 50 3 3.5 re f", {}},  // thin enough, but only 3.5 long
        {"50 50 3.5 3 re f", {}},
        {"50 50 3.5 3.5 re f", {}},  // too thick both ways
        {"50 50 3 4 re f", {{51.5, 50, 51.5, 54}}},
        {"2 0 0 2 0 0 cm 0 0 m 3 0 l S", {{0, 0, 6, 0}}},
        // h closes back to the subpath start; after re it closes a zero-length line.
        {"0 0 m 100 0 l 100 50 l h S", {{0, 0, 100, 0}, {100, 0, 100, 50}}},
        {"0 0 100 1 re h f", {{0, 0.5, 100, 0.5}}},
        // Curves move the current point but are never rules.
        {"0 0 m 10 10 20 10 30 0 c 100 0 l S", {{30, 0, 100, 0}}},
        // n discards the path; painting keeps the current point.
        {"0 0 m 100 0 l n 0 10 m 100 10 l S 100 50 l B", {{0, 10, 100, 10}, {100, 10, 100, 50}}},
        {"0 0 m 100 0 l W n S", {}},
        {"0 0 m 100 0 l", {}},  // never painted
    };
    for (const auto& c : cases) {
        auto out = run(c.content);
        ASSERT_EQ(out.ruled_lines.size(), c.rules.size()) << c.content;
        for (std::size_t i = 0; i < c.rules.size(); ++i)
            EXPECT_TRUE(same_rule(out.ruled_lines[i], c.rules[i])) << c.content << " rule " << i;
    }
}

TEST(Interpreter, PathHoldsAtMost8192Segments) {
    std::string content = "0 0 m";
    for (int i = 1; i <= 9000; ++i) content.append(" ").append(std::to_string(i * 10)).append(" 0 l");
    content += " S 0 0 m 0 100 l S";
    auto out = run(content);
    ASSERT_EQ(out.ruled_lines.size(), 8193u);
    EXPECT_TRUE(same_rule(out.ruled_lines.back(), {0, 0, 0, 100}));  // the next path starts afresh
}

TEST(Interpreter, MarkedContent) {
    auto out = run("/P <</MCID 3>> BDC BT /F1 1 Tf (AB) Tj ET EMC /P <</MCID 4>> BDC EMC (C) Tj");
    ASSERT_EQ(out.mcid_spans.size(), 1u);
    EXPECT_EQ(out.mcid_spans[0].start, 0u);
    EXPECT_EQ(out.mcid_spans[0].end, 2u);
    EXPECT_EQ(out.mcid_spans[0].mcid, 3u);

    // Nesting: the inner section closes, and is listed, first.
    out = run("(x) Tj /Span <</ActualText <FEFF0644> /MCID 0>> BDC (a) Tj /X BMC /S <</MCID 7 /ActualText (\\351)>> BDC "
              "(bc) Tj EMC EMC EMC");
    ASSERT_EQ(out.mcid_spans.size(), 2u);
    EXPECT_EQ(out.mcid_spans[0].mcid, 7u);
    EXPECT_EQ(out.mcid_spans[0].start, 2u);
    EXPECT_EQ(out.mcid_spans[0].end, 4u);
    EXPECT_EQ(out.mcid_spans[1].mcid, 0u);
    EXPECT_EQ(out.mcid_spans[1].start, 1u);
    EXPECT_EQ(out.mcid_spans[1].end, 4u);
    ASSERT_EQ(out.actual_texts.size(), 2u);
    EXPECT_EQ(out.actual_texts[0].text, "\u00E9");
    EXPECT_EQ(out.actual_texts[1].text, "\u0644");
    EXPECT_EQ(out.actual_texts[1].start, 1u);

    // Properties by name, references, reals and out-of-range numbers give nothing;
    // a stray EMC and a section never closed leave nothing either.
    const std::string_view none[] = {
        "/P /MC0 BDC (a) Tj EMC",
        "/P <</MCID 1 0 R /ActualText 2 0 R>> BDC (a) Tj EMC",
        "/P <</MCID 3.0>> BDC (a) Tj EMC",
        "/P <</MCID -1>> BDC (a) Tj EMC",
        "/P <</MCID 4294967296>> BDC (a) Tj EMC",
        "/P <</ActualText /Name>> BDC (a) Tj EMC",
        "EMC /P <</MCID 1>> BDC (a) Tj",
        "/P BDC (a) Tj EMC",
    };
    for (auto c : none) {
        out = run(c);
        EXPECT_EQ(out.glyphs.size(), 1u) << c;
        EXPECT_TRUE(out.mcid_spans.empty()) << c;
        EXPECT_TRUE(out.actual_texts.empty()) << c;
    }
    out = run("/P <</MCID 4294967295>> BDC (a) Tj EMC");
    ASSERT_EQ(out.mcid_spans.size(), 1u);
    EXPECT_EQ(out.mcid_spans[0].mcid, 4294967295u);
}

TEST(Interpreter, MarkedSectionsOpenAtMost64) {
    // The outermost section carries an MCID; 70 BMC above it, then 70 EMC:
    // sections 65 to 71 were dropped, so the 64th EMC already closes it.
    std::string content = "/P <</MCID 9>> BDC";
    for (int i = 0; i < 70; ++i) content += " /X BMC";
    content += " (a) Tj";
    for (int i = 0; i < 63; ++i) content += " EMC";
    content += " (b) Tj EMC (c) Tj EMC EMC EMC";
    auto out = run(content);
    ASSERT_EQ(out.mcid_spans.size(), 1u);
    EXPECT_EQ(out.mcid_spans[0].start, 0u);
    EXPECT_EQ(out.mcid_spans[0].end, 2u);
}

TEST(PdfTextString, Forms) {
    struct Case { std::string bytes; std::string text; };
    const Case cases[] = {
        {"\xFE\xFF\x06\x44"s, "\u0644"},
        {"\xE9"s, "\u00E9"},
        {"abc"s, "abc"},
        {"\xFE\xFF\xD8\x3D\xDE\x00"s, "\U0001F600"},
        {"\xFE\xFF\xD8\x3D\x00\x41"s, "\uFFFD" "A"},   // unpaired high surrogate
        {"\xFE\xFF\xDE\x00"s, "\uFFFD"},            // lone low surrogate
        {"\xFE\xFF\x06\x44\x06"s, "\u0644"},        // the odd final byte is dropped
        {"\xEF\xBB\xBF\xD9\x84"s, "\u0644"},        // UTF-8 with its byte order mark
        {"\xEF\xBB\xBF\xFF"s, "\uFFFD"},
        {""s, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(pdf_text_string(c.bytes), c.text);
    EXPECT_EQ(pdf_text_string("\xFE\xFF\x00\x00"s), "\0"s);
}

TEST(Interpreter, FormsRunInPlace) {
    std::vector<RawForm> forms = {
        {"Fm0", "BT /F1 10 Tf (a) Tj ET /Fm1 Do /Im0 Do", {2, 0, 0, 2, 100, 0}},
        {"Fm0/Fm1", "BT /F1 10 Tf 1 0 0 1 5 0 Tm (b) Tj ET 0 0 m 10 0 l S", {1, 0, 0, 1, 0, 50}},
    };
    auto out = run("BT /F1 10 Tf 1 0 0 1 7 7 Tm (x) Tj 1 0 0 1 0 0 cm /Fm0 Do (y) Tj ET", {}, forms);
    ASSERT_EQ(out.glyphs.size(), 4u);
    EXPECT_EQ(out.glyphs[0].font, "F1");
    EXPECT_EQ(out.glyphs[1].font, "Fm0/F1");
    EXPECT_EQ(out.glyphs[1].size, 20);  // the form matrix scales by 2
    EXPECT_EQ(out.glyphs[1].x, 100);
    EXPECT_EQ(out.glyphs[2].font, "Fm0/Fm1/F1");
    EXPECT_EQ(out.glyphs[2].x, 110);  // (5, 0) through Fm1's matrix, then Fm0's
    EXPECT_EQ(out.glyphs[2].y, 100);
    // After the form the page's text matrix, CTM and font are back.
    EXPECT_EQ(out.glyphs[3].font, "F1");
    EXPECT_EQ(out.glyphs[3].x, 12);
    EXPECT_EQ(out.glyphs[3].size, 10);

    ASSERT_EQ(out.xobjects.size(), 3u);
    EXPECT_EQ(out.xobjects[0].name, "Fm0");
    EXPECT_EQ(out.xobjects[0].ctm, kIdentity);
    EXPECT_EQ(out.xobjects[1].name, "Fm0/Fm1");
    EXPECT_EQ(out.xobjects[1].ctm, (Matrix{2, 0, 0, 2, 100, 0}));
    EXPECT_EQ(out.xobjects[2].name, "Fm0/Im0");
    ASSERT_EQ(out.ruled_lines.size(), 1u);
    EXPECT_TRUE(same_rule(out.ruled_lines[0], {100, 100, 120, 100}));
}

TEST(Interpreter, FormSpansCountThePageGlyphs) {
    std::vector<RawForm> forms = {{"Fm0", "/P <</MCID 2>> BDC (ab) Tj EMC", kIdentity}};
    auto out = run("(x) Tj /Fm0 Do /Fm0 Do", {}, forms);
    ASSERT_EQ(out.mcid_spans.size(), 2u);
    EXPECT_EQ(out.mcid_spans[0].start, 1u);
    EXPECT_EQ(out.mcid_spans[0].end, 3u);
    EXPECT_EQ(out.mcid_spans[1].start, 3u);
    EXPECT_EQ(out.mcid_spans[1].end, 5u);
}

TEST(Interpreter, FormWithUnbalancedSave) {
    // The form leaves a q behind: the pop after the form restores that inner
    // state (red), not the page's state before the form (blue).
    std::vector<RawForm> forms = {{"Fm0", "1 0 0 rg q 0 1 0 rg", kIdentity}};
    auto out = run("0 0 1 rg /Fm0 Do BT (a) Tj ET Q BT (b) Tj ET", {}, forms);
    ASSERT_EQ(out.glyphs.size(), 2u);
    EXPECT_EQ(out.glyphs[0].color, Color::rgb(1, 0, 0));
    EXPECT_EQ(out.glyphs[1].color, Color::rgb(0, 0, 1));
}

TEST(Interpreter, FormsNestAtMostEightDeep) {
    // A chain of forms, each drawing one glyph and the next form.
    std::vector<RawForm> forms;
    std::string name = "Fm";
    for (int depth = 1; depth <= 10; ++depth) {
        forms.push_back({name, "(a) Tj /Fm Do", kIdentity});
        name += "/Fm";
    }
    auto out = run("/Fm Do", {}, forms);
    EXPECT_EQ(out.glyphs.size(), 8u);
    EXPECT_EQ(out.xobjects.size(), 9u);  // the ninth Do is recorded but not run
}

TEST(Interpreter, SyntaxErrorsYieldNothing) {
    auto out = run("BT /F1 10 Tf (a) Tj 0 0 m 100 0 l S /P <</MCID 1>> BDC (b) Tj EMC /Im0 Do ET (unterminated");
    EXPECT_TRUE(out.glyphs.empty());
    EXPECT_TRUE(out.xobjects.empty());
    EXPECT_TRUE(out.ruled_lines.empty());
    EXPECT_TRUE(out.mcid_spans.empty());
    EXPECT_TRUE(out.actual_texts.empty());

    // A broken form contributes nothing, and runs none of its operators, while the page goes on.
    std::vector<RawForm> forms = {{"Fm0", "1 0 0 rg (a) Tj 0 0 m 100 0 l S /Fm1 Do [", kIdentity},
                                  {"Fm0/Fm1", "(z) Tj", kIdentity}};
    out = run("(x) Tj /Fm0 Do (y) Tj", {}, forms);
    ASSERT_EQ(out.glyphs.size(), 2u);
    EXPECT_EQ(out.glyphs[1].color, Color::gray(0));
    EXPECT_TRUE(out.ruled_lines.empty());
    EXPECT_EQ(out.xobjects.size(), 1u);
}

TEST(Interpreter, OperandsOfTheWrongKind) {
    // Missing and mistyped operands are skipped, never fatal.
    auto out = run("1 2 cm 1 Tm (a) Td /F1 Tf 12 Tf (x) Tf 5 Tj /N TJ [1] Tj (A) Tj 1 2 3 m /x l 5 /Im Do (B) Tj 1 0 0 1 0 0 0 cm (C) Tj");
    ASSERT_EQ(out.glyphs.size(), 3u);
    EXPECT_EQ(out.glyphs[0].font, "F1");
    EXPECT_EQ(out.glyphs[0].size, 12);
    EXPECT_EQ(out.glyphs[0].x, 0);
    EXPECT_EQ(out.glyphs[2].x, 12);
    ASSERT_EQ(out.xobjects.size(), 0u);
    // A name with escapes and bytes that are not UTF-8 is read lossily.
    out = run("/F#231#FF 1 Tf (a) Tj");
    ASSERT_EQ(out.glyphs.size(), 1u);
    EXPECT_EQ(out.glyphs[0].font, "F#1\uFFFD");
}

TEST(Interpreter, PlacementFollowsEveryStateChange) {
    // Size, advance and rotation are derived once per change of matrices,
    // size or scaling; each change must show in the very next glyph.
    auto out = run("BT /F1 10 Tf (A) Tj 20 Tf (A) Tj 50 Tz (A) Tj ET 2 0 0 2 0 0 cm BT (A) Tj 0 1 -1 0 0 0 Tm (A) Tj ET"
                   " q 0 -1 1 0 0 0 cm BT (A) Tj ET Q");
    struct Want { double size, advance; int rotation; };
    const Want want[] = {{10, 5, 0}, {20, 10, 0}, {20, 5, 0}, {40, 10, 0}, {40, 10, 1}, {40, 10, 3}};
    ASSERT_EQ(out.glyphs.size(), std::size(want));
    for (std::size_t i = 0; i < std::size(want); ++i) {
        EXPECT_NEAR(out.glyphs[i].size, want[i].size, 1e-9) << i;
        EXPECT_NEAR(out.glyphs[i].advance, want[i].advance, 1e-9) << i;
        EXPECT_EQ(out.glyphs[i].rotation, want[i].rotation) << i;
    }
}

TEST(Interpreter, OverflowingMatricesStayDefined) {
    const std::string huge = "1" + std::string(300, '0');
    const std::string scale = huge + " 0 0 " + huge + " 0 0 cm ";
    auto out = run(scale + scale + "BT /F1 1 Tf 0 1 -1 0 0 0 Tm (A) Tj ET");
    ASSERT_EQ(out.glyphs.size(), 1u);
    EXPECT_EQ(out.glyphs[0].rotation, 0);
}
