#include <gtest/gtest.h>

#include "cmap.hpp"

using namespace inkra;

namespace {

const std::optional<std::string> none;

// A ToUnicode stream as producers write it, around the given sections.
std::string stream(std::string_view sections) {
    return "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
           "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
           "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
           "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n" +
           std::string(sections) +
           "\nendcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

}  // namespace

TEST(CMapParse, LookupsAndRanges) {
    struct Case { std::string text; std::uint32_t code; std::optional<std::string> expect; };
    const Case cases[] = {
        {stream("1 beginbfchar\n<0003> <0627>\nendbfchar"), 3, "\u0627"},
        {stream("1 beginbfchar\n<0003> <0627>\nendbfchar\n1 beginbfchar\n<0003> <0628>\nendbfchar"), 3, "\u0628"},
        {stream("1 beginbfrange\n<0010> <0012> <0041>\nendbfrange"), 0x10, "A"},
        {stream("1 beginbfrange\n<0010> <0012> <0041>\nendbfrange"), 0x12, "C"},
        {stream("1 beginbfrange\n<0010> <0012> <0041>\nendbfrange"), 0x13, none},
        {stream("1 beginbfrange\n<0010> <0012> <0041>\nendbfrange"), 0x0F, none},
        {stream("1 beginbfrange\n<0001> <0003> [<0041> <00660066>]\nendbfrange"), 1, "A"},
        {stream("1 beginbfrange\n<0001> <0003> [<0041> <00660066>]\nendbfrange"), 2, "ff"},
        {stream("1 beginbfrange\n<0001> <0003> [<0041> <00660066>]\nendbfrange"), 3, none},
        {stream("2 beginbfrange\n<0001> <0003> [<0041> <0042>]\n<0000> <0005> <0061>\nendbfrange"), 3, "d"},
        // The increase of the last character would pass U+10FFFF.
        {stream("1 beginbfrange\n<0000> <0001> <DBFFDFFF>\nendbfrange"), 1, "\U0010FFFF"},
        // ... or land on a surrogate.
        {stream("1 beginbfrange\n<0000> <0001> <D7FF>\nendbfrange"), 1, "\uD7FF"},
        // Only the last character of a multi-character base counts up.
        {stream("1 beginbfrange\n<0000> <0002> <06440627>\nendbfrange"), 2, "\u0644\u0629"},
        {stream("1 beginbfrange\n<0000> <0002> <>\nendbfrange"), 2, ""},
        {stream("1 beginbfchar\n<0001> <D800>\nendbfchar"), 1, "\uFFFD"},
        {stream("1 beginbfchar\n<0001> <004100>\nendbfchar"), 1, "A"},
        {stream("1 beginbfchar\n<0001> <>\nendbfchar"), 1, ""},
        {stream("1 beginbfchar\n<0001> <D83DDE00>\nendbfchar"), 1, "\U0001F600"},
        {stream("1 beginbfchar\n<06 27> <00\n41>\nendbfchar"), 0x0627, "A"},
        {stream("1 beginbfchar\n<123> <0041>\nendbfchar"), 0x1230, "A"},
        {stream("1 beginbfchar\n<01> <0041>\nendbfchar"), 1, "A"},  // one-byte codes
        {stream("1 beginbfchar\n<> <0041>\nendbfchar"), 0, "A"},
        {stream("1 beginbfchar\n<0102030405> <0041>\nendbfchar"), 0x01020304, "A"},  // bytes after the fourth ignored
        // Overlaps: the earlier range answers; single mappings win over both.
        {stream("2 beginbfrange\n<0000> <0010> <0041>\n<0005> <0006> <0061>\nendbfrange"), 5, "F"},
        {stream("1 beginbfrange\n<0000> <0010> <0041>\nendbfrange\n1 beginbfchar\n<0005> <0030>\nendbfchar"), 5, "0"},
        // Noise that must not disturb the mappings.
        {stream("% comment <0001> <0042>\n1 beginbfchar\n<0001> (x) ) <0041> % trailing\nendbfchar"), 1, "A"},
        {stream("(nested (paren) \\) string) 1 beginbfchar <0001> <0041> endbfchar"), 1, "A"},
        {stream(">> > 1 beginbfchar <0001> <0041> endbfchar"), 1, "A"},
        // A hex string followed by a non-hex token is skipped alone.
        {stream("2 beginbfchar\n<0001> /x <0002> <0042>\nendbfchar"), 2, "B"},
        {stream("2 beginbfchar\n<0001> /x <0002> <0042>\nendbfchar"), 1, none},
        // A bfrange whose third token is neither string nor array: the walk resumes there.
        {stream("2 beginbfrange\n<0001> <0002> /x <0005> <0006> <0061>\nendbfrange"), 6, "b"},
        // Unterminated hex string and section run to the end.
        {"beginbfchar <0001> <0041", 1, "A"},
        {"beginbfchar <0001> <0041>", 1, "A"},
        // A lone code before the closing word is skipped; the next section still reads.
        {"beginbfchar <0001> endbfchar beginbfrange <0001> <0002> <0041> endbfrange", 2, "B"},
    };
    for (const auto& c : cases) EXPECT_EQ(CMap::parse(c.text).get(c.code), c.expect) << c.text << " @" << c.code;
}

TEST(CMapParse, SectionsThatGiveNothing) {
    const std::string nothing[] = {
        "",
        stream(""),
        "1 begincodespacerange <0000> <FFFF> endcodespacerange",
        // A code space range without its closing word swallows everything after it.
        "1 begincodespacerange <0000> <FFFF> 1 beginbfchar <0001> <0041> endbfchar",
        std::string("\x00\xff\xfe garbage ]]][[[ <<>>", 23),
        "1 begincidrange <0000> <00FF> 0 endcidrange",
    };
    for (const auto& s : nothing) {
        CMap m = CMap::parse(s);
        EXPECT_TRUE(m.chars.empty()) << s;
        EXPECT_TRUE(m.empty()) << s;
    }
}

TEST(CMapParse, RealProducerStream) {
    // As a word processor writes a subset Arabic font's map.
    const std::string s =
        "/CIDInit/ProcSet findresource begin\n12 dict begin\nbegincmap\n/CIDSystemInfo<<\n/Registry (Adobe)\n"
        "/Ordering (UCS)\n/Supplement 0\n>> def\n/CMapName/Adobe-Identity-UCS def\n/CMapType 2 def\n"
        "1 begincodespacerange\n<0000><FFFF>\nendcodespacerange\n4 beginbfchar\n<0003><0020>\n<01BA><0627>\n"
        "<01BB><FE8E>\n<0241><06440627>\nendbfchar\n1 beginbfrange\n<0010><0019><0660>\nendbfrange\n"
        "endcmap\nCMapName currentdict/CMap defineresource pop\nend\nend\n";
    CMap m = CMap::parse(s);
    EXPECT_EQ(m.chars.size(), 4u);
    EXPECT_EQ(m.ranges.size(), 1u);
    EXPECT_EQ(m.get(3), " ");
    EXPECT_EQ(m.get(0x1BB), "\uFE8E");
    EXPECT_EQ(m.get(0x241), "\u0644\u0627");
    EXPECT_EQ(m.get(0x15), "\u0665");
    EXPECT_EQ(m.get(0x1A), none);
}
