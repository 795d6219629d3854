#include <gtest/gtest.h>

#include "bidi.hpp"

using namespace inkra;

TEST(VisualToLogical, Reorders) {
    struct Case { const char* visual; bool rtl; const char* logical; };
    const Case cases[] = {
        {"", true, ""},
        {"\u05D2\u05D1\u05D0", true, "\u05D0\u05D1\u05D2"},
        // numbers and Latin keep their own order and move as a whole
        {"12 \u05D1\u05D0", true, "\u05D0\u05D1 12"},
        {"PDF \u0628\u0627", true, "\u0627\u0628 PDF"},
        // the level is given, never detected: Hebrew inside a left-to-right line
        {"ab \u05D1\u05D0", false, "ab \u05D0\u05D1"},
        {"abc", true, "abc"},
        // no mirroring: the bracket characters only change places
        {"(\u05D0)", true, ")\u05D0("},
        // nothing removed: marks and controls stay
        {"\u05D1\u200F\u05D0", true, "\u05D0\u200F\u05D1"},
    };
    for (const auto& c : cases) EXPECT_EQ(visual_to_logical(c.visual, c.rtl), c.logical) << c.visual;
}

TEST(VisualToLogical, EachParagraphIsReorderedOnItsOwn) {
    // Two paragraphs: each is reversed as one line and they keep their order.
    std::string out = visual_to_logical("\u05D1\u05D0 12 \u2029\u05D3\u05D2 xy", true);
    EXPECT_EQ(out, "\u2029 12 \u05D0\u05D1xy \u05D2\u05D3");
    EXPECT_LT(out.find("\u05D0"), out.find("\u05D2"));
    EXPECT_EQ(visual_to_logical("ab\ncd", false), "ab\ncd");
}
