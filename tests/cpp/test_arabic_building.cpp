#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <functional>

#include "line_fixture.hpp"

using namespace inkra;
using inkra::testing::LineFixture;

namespace {

// Letters used below (base forms unless said otherwise).
constexpr const char* kBeh = "\u0628";
constexpr const char* kTeh = "\u062A";
constexpr const char* kKaf = "\u0643";
constexpr const char* kAlef = "\u0627";
constexpr const char* kAlefHamza = "\u0623";

struct LineCase {
    const char* what;
    std::function<void(LineFixture&)> paint;
    const char* text;
};

void expect_texts(const std::vector<LineCase>& cases) {
    for (const auto& c : cases) {
        LineFixture f;
        c.paint(f);
        auto line = f.build();
        ASSERT_TRUE(line.has_value()) << c.what;
        EXPECT_EQ(line->text, c.text) << c.what;
    }
}

struct DebugEnv {
    DebugEnv() { setenv("INKRA_DBG", "", 1); }
    ~DebugEnv() { unsetenv("INKRA_DBG"); }
};

}  // namespace

TEST(BuildLine, NothingToBuild) {
    LineFixture f;
    EXPECT_FALSE(f.build().has_value());
    f.add("", 0, 5);
    f.add("", 5, 5);
    EXPECT_FALSE(f.build().has_value());
}

TEST(BuildLine, UndecodableGlyphCountsAsUnresolved) {
    LineFixture f;
    f.add_unmapped(0, 5);
    auto line = f.build();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->text, "\uFFFD");
    EXPECT_EQ(line->unresolved, 1u);
    EXPECT_EQ(line->glyph_count, 1u);
    EXPECT_DOUBLE_EQ(line->confidence(), 0.0);
    EXPECT_FALSE(line->rtl);
}

TEST(BuildLine, SyntheticSpaces) {
    // Size 10: a word ending at x = 5 and the next one starting at 5 + gap.
    auto words = [](double gap, bool painted_space) {
        return [=](LineFixture& f) {
            f.add(kBeh, 0, 5);
            f.add(kKaf, 5 + gap, 5);
            if (painted_space) {
                f.add(" ", 20, 2.5);
                f.add(kTeh, 22.5, 5);
            }
        };
    };
    expect_texts({
        {"gap 0.2 x size", words(2, false), "\u0643 \u0628"},
        {"gap 0.1 x size", words(1, false), "\u0643\u0628"},
        {"gap 0.2 x size, line paints spaces", words(2, true), "\u062A \u0643\u0628"},
        {"gap 0.3 x size, line paints spaces", words(3, true), "\u062A \u0643 \u0628"},
        // a zero-advance glyph never opens a gap
        {"zero advance", [](LineFixture& f) { f.add(kBeh, 0, 5); f.add("\u064E", 9, 0); }, "\u0628\u064E"},
        {"ltr words", [](LineFixture& f) { f.add("a", 0, 5); f.add("b", 7, 5); }, "a b"},
    });
}

TEST(BuildLine, SpacePaintedOverALetterIsDropped) {
    expect_texts({
        {"space over the letter before it", [](LineFixture& f) { f.add(kBeh, 0, 5); f.add(" ", 0.5, 2); f.add(kKaf, 5, 5); },
         "\u0643\u0628"},
        {"space between the letters", [](LineFixture& f) { f.add(kBeh, 0, 5); f.add(" ", 5, 2); f.add(kKaf, 7, 5); },
         "\u0643 \u0628"},
    });
}

TEST(BuildLine, NoSpaceAfterADecodedSpaceButAfterAnActualTextSpace) {
    // The pieces are only visible in the diagnostic, which needs "إإ" in the text.
    DebugEnv env;
    auto pieces = [](bool actual) {
        LineFixture f;
        f.add("\u0625", 0, 5);
        f.add("\u0625", 5, 5);
        Placed& space = f.add(" ", 10, 2.5);
        if (actual) space.actual = " ";
        f.add(kBeh, 17, 5);
        ::testing::internal::CaptureStderr();
        auto line = f.build();
        std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_TRUE(line);
        return err;
    };
    EXPECT_EQ(pieces(false), "PIECES: [\"\u0625\", \"\u0625\", \" \", \"\u0628\"]\n");
    EXPECT_EQ(pieces(true), "PIECES: [\"\u0625\", \"\u0625\", \" \", \" \", \"\u0628\"]\n");
}

TEST(BuildLine, MarksStayWithTheirLetters) {
    expect_texts({
        // right to left: teh (left), beh with its marks (right)
        {"one mark", [](LineFixture& f) { f.add(kTeh, 0, 5); f.add(kBeh, 5, 6); f.add("\u064E", 7, 0); },
         "\u0628\u064E\u062A"},
        // two marks of one combining class: their met order survives normalisation
        {"two marks", [](LineFixture& f) {
             f.add(kTeh, 0, 5); f.add(kBeh, 5, 6); f.add("\u0654", 7, 0); f.add("\u0653", 8, 0); },
         "\u0628\u0654\u0653\u062A"},
        {"isolated mark form", [](LineFixture& f) { f.add(kTeh, 0, 5); f.add(kBeh, 5, 6); f.add("\uFE76", 7, 0); },
         "\u0628\u064E\u062A"},
        // left to right: appended where met
        {"ltr mark", [](LineFixture& f) { f.add("a", 0, 5); f.add("\u0301", 2, 0); f.add("b", 5, 5); },
         "\u00E1b"},
    });
}

TEST(BuildLine, MarksPaintedBesideTheirLetters) {
    // Teh at [0, 5], beh at [5, 11]; the fatha belongs to beh but its origin
    // (x = 4) lies over teh, as shaped text often places it. Painted next to
    // beh, it follows beh whichever way the producer paints.
    auto paint = [](std::array<std::size_t, 3> order, double mark_x) {
        return [=](LineFixture& f) {
            f.add(kTeh, 0, 5).painted = order[0];
            f.add(kBeh, 5, 6).painted = order[1];
            f.add("\u064E", mark_x, 0).painted = order[2];
        };
    };
    expect_texts({
        {"logical order: beh, fatha, teh", paint({3, 1, 2}, 4), "\u0628\u064E\u062A"},
        {"visual order: teh, fatha, beh", paint({1, 3, 2}, 4), "\u0628\u064E\u062A"},
        {"painting order unknown: the origin decides", paint({0, 0, 0}, 4), "\u0628\u062A\u064E"},
        {"too far from its letter: the origin decides", paint({3, 1, 2}, -20), "\u0628\u062A\u064E"},
        {"left to right: the letter before it", [](LineFixture& f) {
             f.add("a", 0, 5).painted = 1; f.add("\u0301", 6, 0).painted = 2; f.add("b", 5, 5).painted = 3; },
         "\u00E1b"},
    });
}

TEST(BuildLine, HamzaMerge) {
    // beh on the left, then the overlaid composite and its host at one position
    // (zero-advance anchoring gives them the same run_x; the overlay is painted first).
    auto overlay = [](const char* host) {
        return [=](LineFixture& f) {
            f.add(kBeh, 0, 5);
            f.add(kAlefHamza, 5, 0);
            f.add(host, 5, 3);
        };
    };
    expect_texts({
        {"overlay before bare host", overlay(kAlef), "\u0623\u0628"},
        {"host already composite", overlay(kAlefHamza), "\u0623\u0628"},
        {"host with two alefs: no merge", overlay("\u0627\u0627"), "\u0627\u0627\u0623\u0628"},
        // a composite mark (U+0344 = U+0308 U+0301) slotted in front of its
        // letter, then merged into a host: the merge replaces the composite's
        // own piece (the merged piece goes last, in front of the letter in
        // logical order) and the letter survives
        {"composite mark merged", [](LineFixture& f) { f.add(kBeh, 0, 5); f.add("\u0344", 2, 0); f.add("\u0308", 2, 3); },
         "\u0308\u0301\u0628"},
        // a mark after the merged letter follows it
        {"mark on merged letter", [](LineFixture& f) {
             f.add(kBeh, 0, 5); f.add(kAlefHamza, 5, 0); f.add(kAlef, 5, 3); f.add("\u064E", 6, 0); },
         "\u0623\u064E\u0628"},
    });
}

TEST(BuildLine, MergeDiagnostic) {
    auto build = [] {
        LineFixture f;
        f.add(kBeh, 0, 5);
        f.add(kAlefHamza, 5, 0);
        f.add(kAlef, 5, 3);
        ::testing::internal::CaptureStderr();
        auto line = f.build();
        EXPECT_TRUE(line);
        return ::testing::internal::GetCapturedStderr();
    };
    EXPECT_EQ(build(), "");
    DebugEnv env;
    EXPECT_EQ(build(), "MERGE slot=1 at_slot=Some(\"\u0623\") host=\"\u0627\" -> \"\u0623\" len=2\n");
}

TEST(BuildLine, ActualTextAndAnchoredSpaces) {
    expect_texts({
        {"actual text over three glyphs", [](LineFixture& f) {
             f.add(kBeh, 0, 5).actual = "\u0643\u062A\u0628";
             f.add(kTeh, 5, 5).actual = "";
             f.add(kKaf, 10, 5).actual = "";
             f.add(kBeh, 20, 5); },
         "\u0628 \u0643\u062A\u0628"},
        {"anchored space dropped", [](LineFixture& f) {
             f.add(kBeh, 0, 5); f.add(kTeh, 5, 5); f.add(" ", 5, 2.5).anchored = true; },
         "\u062A\u0628"},
        {"space in place kept", [](LineFixture& f) { f.add(kBeh, 0, 5); f.add(" ", 5, 2.5); f.add(kTeh, 7.5, 5); },
         "\u062A \u0628"},
    });
}

TEST(BuildLine, DirectionFollowsTheMajorityScript) {
    // "see بك now": an English line quoting one Arabic word keeps its order;
    // the Arabic word itself still comes out in logical order.
    auto paint = [](std::vector<const char*> glyphs) {
        return [=](LineFixture& f) {
            double x = 0;
            for (const char* g : glyphs) {
                f.add(g, x, 5);
                x += 5;
            }
        };
    };
    struct Case { const char* what; std::function<void(LineFixture&)> paint; const char* text; bool rtl; };
    const Case cases[] = {
        {"english around one arabic word", paint({"s", "e", "e", " ", kKaf, kBeh, " ", "n", "o", "w"}),
         "see \u0628\u0643 now", false},
        {"arabic around one english word", paint({kKaf, kBeh, " ", "o", "k", " ", kTeh, kBeh}),
         "\u0628\u062A ok \u0628\u0643", true},
    };
    for (const auto& c : cases) {
        LineFixture f;
        c.paint(f);
        auto line = f.build();
        ASSERT_TRUE(line) << c.what;
        EXPECT_EQ(line->text, c.text) << c.what;
        EXPECT_EQ(line->rtl, c.rtl) << c.what;
    }
}

TEST(BuildLine, ShapesAndNumbers) {
    expect_texts({
        // presentation forms of "سلام" painted left to right, lam-alef as one glyph
        {"presentation forms", [](LineFixture& f) { f.add("\uFEE1", 0, 5); f.add("\uFEFC", 5, 5); f.add("\uFEB3", 10, 5); },
         "\u0633\u0644\u0627\u0645"},
        {"lam-alef decoded to two letters", [](LineFixture& f) {
             f.add("\u0645", 0, 5); f.add("\u0644\u0627", 5, 5); f.add("\u0633", 10, 5); },
         "\u0633\u0644\u0627\u0645"},
        // "في 2024 ملف PDF" painted visually: PDF, the word reversed, 2024, the word reversed
        {"number and Latin in rtl", [](LineFixture& f) {
             double x = 0;
             auto word = [&](std::initializer_list<const char*> glyphs) {
                 for (const char* c : glyphs) { f.add(c, x, 5); x += 5; }
                 x += 3;
             };
             word({"P", "D", "F"});
             word({"\u0641", "\u0644", "\u0645"});
             word({"2", "0", "2", "4"});
             word({"\uFEF2", "\uFED3"}); },
         "\u0641\u064A 2024 \u0645\u0644\u0641 PDF"},
        {"mixed digit families unified", [](LineFixture& f) {
             f.add("\u0661", 0, 5); f.add("\u0662", 5, 5); f.add("3", 10, 5); f.add(kBeh, 18, 5); },
         "\u0628 \u0661\u0662\u0663"},
        {"kashida between letters dropped", [](LineFixture& f) { f.add(kTeh, 0, 5); f.add("\u0640", 5, 5); f.add(kBeh, 10, 5); },
         "\u0628\u062A"},
        {"kashida before a digit kept", [](LineFixture& f) { f.add("1", 0, 5); f.add("\u0640", 5, 5); f.add(kBeh, 10, 5); },
         "\u0628\u0640" "1"},
    });
}

TEST(BuildLine, DominantStyle) {
    auto font_of = [](std::vector<const char*> fonts) {
        LineFixture f;
        double x = 0;
        for (const char* name : fonts) {
            f.add("a", x, 5, name);
            x += 5;
        }
        auto line = build_line(f.glyphs(), f.fonts({"A", "B"}));
        return line ? line->font : std::string("none");
    };
    EXPECT_EQ(font_of({"B", "B", "B", "A", "A", "A", "A", "A", "A", "A"}), "A");
    EXPECT_EQ(font_of({"B", "A", "B", "A", "B", "A", "B", "A", "B", "A"}), "B");
    EXPECT_EQ(font_of({"A", "B", "A", "B", "A", "B", "A", "B", "A", "B"}), "A");

    // sizes within 0.01 pt merge; the first glyph's size is taken
    LineFixture f(10);
    f.add("a", 0, 5);
    f.glyphs().back().glyph.size = 10.005;
    f.add("b", 5, 5);
    f.add("c", 10, 5);
    f.glyphs().back().glyph.color = Color::rgb(1, 0, 0);
    auto line = f.build();
    ASSERT_TRUE(line);
    EXPECT_DOUBLE_EQ(line->size, 10.005);
    EXPECT_EQ(line->color, Color::gray(0));
}

TEST(BuildLine, DominantStyleOfAVeryLongLine) {
    // Past a few hundred glyphs the count is taken by grouping styles; it
    // must pick the same glyph as the pairwise count would.
    LineFixture f;
    for (int i = 0; i < 900; ++i) {
        Placed& p = f.add("a", i * 5.0, 5);
        if (i % 3 == 0) {  // 300 glyphs in red at 12 pt
            p.glyph.size = 12;
            p.glyph.color = Color::rgb(1, 0, 0);
        } else if (i % 3 == 1) {  // 300 at 10 pt and 300 at 10.009 pt, which merge
            p.glyph.size = 10;
        } else {
            p.glyph.size = 10.009;
        }
    }
    auto line = f.build();
    ASSERT_TRUE(line);
    EXPECT_DOUBLE_EQ(line->size, 10.0);  // glyph 1: the earliest of the 600 that merge
    EXPECT_EQ(line->color, Color::gray(0));
}

TEST(BuildLine, Geometry) {
    LineFixture f(10, 700);
    f.add("a", 20, 6);
    f.add("b", 10, 5);
    f.glyphs().back().glyph.y = 701;
    auto line = f.build();
    ASSERT_TRUE(line);
    EXPECT_EQ(line->baseline, 700);  // the first glyph as given, not the leftmost
    EXPECT_EQ(line->bbox, (Rect{10, 697.5, 26, 708.5}));
    EXPECT_EQ(line->text, "b a");
    EXPECT_EQ(line->glyph_count, 2u);

    // the advance turns with the glyph, the vertical extent does not
    LineFixture r(10, 20);
    r.add("a", 10, 5);
    r.glyphs().back() = Placed([&] { Glyph g = r.glyphs().back().glyph; g.rotation = 1; return g; }());
    auto up = r.build();
    ASSERT_TRUE(up);
    EXPECT_EQ(up->bbox, (Rect{10, 17.5, 10, 27.5}));

    // dropped glyphs still count and still cover the box
    LineFixture d(10, 0);
    d.add("a", 0, 5);
    d.add("", 40, 5);
    auto dl = d.build();
    ASSERT_TRUE(dl);
    EXPECT_EQ(dl->bbox.x1, 45);
    EXPECT_EQ(dl->glyph_count, 2u);
    EXPECT_EQ(dl->unresolved, 0u);
}
