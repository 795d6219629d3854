#include <gtest/gtest.h>

#include "arabic.hpp"
#include "unicode.hpp"

using namespace inkra;

namespace {

// One piece per character, so only the line's own reordering applies.
std::string finish_visual(std::string_view visual, bool rtl) {
    std::vector<Piece> pieces;
    for (char32_t c : to_code_points(visual)) {
        std::string s;
        append_utf8(s, c);
        pieces.push_back({Piece::Kind::Decoded, s});
    }
    return finish_line_text(pieces, rtl);
}

}  // namespace

TEST(CharacterClasses, RangeEdges) {
    struct Case { char32_t c; bool rtl; bool mark; };
    const Case cases[] = {
        {0x058F, false, false}, {0x0590, true, false}, {0x0627, true, false}, {0x064B, true, true},
        {0x065F, true, true},   {0x0660, true, false}, {0x0670, true, true},  {0x06D5, true, false},
        {0x06D6, true, true},   {0x06ED, true, true},  {0x06EE, true, false}, {0x07BF, true, false},
        {0x07C0, false, false}, {0x0860, true, false}, {0x08D2, true, false}, {0x08D3, true, true},
        {0x0300, false, true},  {0x036F, false, true}, {0xFB50, true, false}, {0xFE70, true, true},
        {0xFE7F, true, true},   {0xFE80, true, false}, {0xFEFF, true, false}, {0xFF00, false, false},
        {U'a', false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(is_rtl_char(c.c), c.rtl) << std::hex << static_cast<unsigned>(c.c);
        EXPECT_EQ(is_combining_mark(c.c), c.mark) << std::hex << static_cast<unsigned>(c.c);
    }
}

TEST(IsMarkGlyph, Cases) {
    struct Case { const char* text; bool mark; };
    const Case cases[] = {
        {"", false},
        {"\u064E", true},
        {"\u0651\u064E", true},
        {"\uFE76", true},          // isolated fatha: a space and the mark after NFKC
        {"  \u064E", true},
        {" ", false},
        {"\u064E \u064E", false},  // a space after the first mark
        {"\u0628\u064E", false},
        {"\u0301", true},
    };
    for (const auto& c : cases) EXPECT_EQ(is_mark_glyph(c.text), c.mark) << c.text;
}

TEST(UnifyDigitRuns, MixedRunsTakeTheMajorityFamily) {
    struct Case { const char* in; const char* out; };
    const Case cases[] = {
        {"\u0661\u0662" "3", "\u0661\u0662\u0663"},
        {"1\u0661", "11"},                        // tie: European wins
        {"\u0661\u06F2", "\u0661\u0662"},          // tie: Arabic-Indic beats Extended
        {"\u06F1\u06F2" "3", "\u06F1\u06F2\u06F3"},
        {"\u0661\u0662 3", "\u0661\u0662 3"},      // separate runs are left alone
        {"\u0661\u0662\u0663", "\u0661\u0662\u0663"},
        {"2024", "2024"},
        {"a1\u0662b", "a12b"},
    };
    for (const auto& c : cases) EXPECT_EQ(unify_digit_runs(c.in), c.out) << c.in;
}

TEST(StripMarkBases, OnlySpacesBeforeMarks) {
    EXPECT_EQ(strip_mark_bases("\u0628 \u064E"), "\u0628\u064E");
    EXPECT_EQ(strip_mark_bases("\u0628 \u062A"), "\u0628 \u062A");
    EXPECT_EQ(strip_mark_bases("  \u064E"), " \u064E");
}

TEST(FinishLineText, VisualCharactersToLogicalText) {
    struct Case { const char* visual; bool rtl; const char* text; };
    const Case cases[] = {
        // a word painted from its last letter to its first
        {"\u0628\u062A\u0643", true, "\u0643\u062A\u0628"},
        // a number keeps its digit order and moves to the end
        {"12 \u0646\u0645", true, "\u0645\u0646 12"},
        // presentation forms become base letters, lam-alef two letters
        {"\uFEE1\uFEFC\uFEB3", true, "\u0633\u0644\u0627\u0645"},
        {"\uFEDF", true, "\u0644"},
        // kashida between letters goes; at the end or before a digit it stays
        {"\u062A\u0640\u0640\u0628", true, "\u0628\u062A"},
        {"\u0640\u0628", true, "\u0628\u0640"},
        {"1\u0640\u0628", true, "\u0628\u0640" "1"},
        {"\u062A \u0640\u0628", true, "\u0628\u0640 \u062A"},
        // the isolated fatha loses its carrier space
        {"\uFE76\u0628", true, "\u0628\u064E"},
        // white space collapses
        {"a  b ", false, "a b"},
        {" \t\n ", false, ""},
        {"ab c", false, "ab c"},
        {"", true, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(finish_visual(c.visual, c.rtl), c.text) << c.visual;
}

TEST(FinishLineText, MultiCharacterPiecesKeepTheirLogicalOrder) {
    using K = Piece::Kind;
    struct Case { std::vector<Piece> pieces; const char* text; };
    const Case cases[] = {
        // ligature decoded to lam, alef between its visual neighbours
        {{{K::Decoded, "\u0645"}, {K::Decoded, "\u0644\u0627"}, {K::Decoded, "\u0633"}}, "\u0633\u0644\u0627\u0645"},
        // an ActualText word next to a painted letter
        {{{K::Actual, "\u0643\u062A\u0628"}, {K::Decoded, " "}, {K::Decoded, "\u0628"}}, "\u0628 \u0643\u062A\u0628"},
        // Arabic-Indic digits only: not reversed
        {{{K::Actual, "\u0661\u0662"}, {K::Decoded, " "}, {K::Decoded, "\u0628"}}, "\u0628 \u0661\u0662"},
    };
    for (const auto& c : cases) EXPECT_EQ(finish_line_text(c.pieces, true), c.text);
}

TEST(FinishLineText, BracketsMappedByTheirShapeAreTurnedBack) {
    // Visual strings, leftmost glyph first; the word is "بك".
    struct Case { const char* what; const char* visual; bool rtl; const char* text; };
    const Case cases[] = {
        {"mapped by shape", "(\u0643\u0628)", true, "(\u0628\u0643)"},
        {"mapped by character", ")\u0643\u0628(", true, "(\u0628\u0643)"},
        {"guillemets by shape", "\u00AB\u0643\u0628\u00BB", true, "\u00AB\u0628\u0643\u00BB"},
        {"a lone bracket stays as it is", "\u0643\u0628)", true, ")\u0628\u0643"},
        {"left to right lines are never touched", ")ab(", false, ")ab("},
    };
    for (const auto& c : cases) EXPECT_EQ(finish_visual(c.visual, c.rtl), c.text) << c.what;
}
