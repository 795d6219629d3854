// Real sentences shaped with HarfBuzz and Amiri and painted as a word
// processor would: visual order, contextual forms, zero-advance marks
// (tests/data/gen_shaped_lines.py writes the fixture).
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "arabic.hpp"
#include "font.hpp"
#include "unicode.hpp"

using namespace inkra;

namespace {

struct ShapedLine {
    std::string name;
    std::string expect;
    bool exact = true;  // marks expected on their letters
    std::map<std::uint32_t, std::string> to_unicode;
    std::vector<Glyph> glyphs;
};

std::string from_hex(std::istringstream& in) {
    std::string out, h;
    while (in >> h)
        if (h != "-") append_utf8(out, static_cast<char32_t>(std::stoul(h, nullptr, 16)));
    return out;
}

std::vector<ShapedLine> load_fixture() {
    const char* dir = std::getenv("INKRA_TESTDATA");
    std::ifstream file(std::string(dir ? dir : "tests/data") + "/shaped_lines.txt");
    std::vector<ShapedLine> lines;
    double size = 0;
    std::string row;
    while (std::getline(file, row)) {
        std::istringstream in(row);
        std::string tag;
        in >> tag;
        if (tag == "line") {
            lines.emplace_back();
            in >> lines.back().name >> size;
        } else if (tag == "expect") {
            lines.back().expect = from_hex(in);
        } else if (tag == "check") {
            std::string check;
            in >> check;
            lines.back().exact = check == "exact";
        } else if (tag == "map") {
            std::uint32_t code;
            in >> code;
            lines.back().to_unicode[code] = from_hex(in);
        } else if (tag == "g") {
            Glyph g;
            g.font = "F1";
            g.size = size;
            in >> g.code >> g.x >> g.y >> g.advance;
            lines.back().glyphs.push_back(g);
        }
    }
    return lines;
}

// The font of one line: a Type0 font whose ToUnicode maps glyph ids as a
// producer writes it, in bfchar sections of at most 100 entries.
FontMap font_of(const ShapedLine& line) {
    std::string cmap = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<std::uint32_t, std::string>> entries(line.to_unicode.begin(), line.to_unicode.end());
    char buf[16];
    for (std::size_t i = 0; i < entries.size(); i += 100) {
        std::size_t n = std::min<std::size_t>(100, entries.size() - i);
        cmap += std::to_string(n) + " beginbfchar\n";
        for (std::size_t k = i; k < i + n; ++k) {
            std::snprintf(buf, sizeof buf, "<%04X> <", entries[k].first);
            cmap += buf;
            for (char32_t c : to_code_points(entries[k].second)) {
                std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
                cmap += buf;
            }
            cmap += ">\n";
        }
        cmap += "endbfchar\n";
    }
    cmap += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    RawFont raw;
    raw.info.name = "F1";
    raw.info.subtype = "Type0";
    raw.to_unicode = cmap;
    return FontMap::from_raw({raw});
}

std::vector<Placed> placed_glyphs(const ShapedLine& line, bool keep_spaces) {
    std::vector<Placed> placed;
    for (const auto& g : line.glyphs) {
        auto text = line.to_unicode.find(g.code);
        if (!keep_spaces && text != line.to_unicode.end() && text->second == " ") continue;
        placed.emplace_back(g);
    }
    return placed;
}

std::string without_marks(std::string_view text, std::size_t* marks = nullptr) {
    std::u32string out;
    for (char32_t c : to_code_points(text)) {
        if (is_combining_mark(c)) {
            if (marks) ++*marks;
        } else {
            out.push_back(c);
        }
    }
    return to_utf8(out);
}

}  // namespace

TEST(ShapedArabic, SentencesComeOutInLogicalOrder) {
    auto fixture = load_fixture();
    ASSERT_GE(fixture.size(), 5u);
    for (const auto& line : fixture) {
        FontMap fonts = font_of(line);
        // painted with space glyphs, and as generators that only move the pen
        for (bool keep_spaces : {true, false}) {
            std::string what = line.name + (keep_spaces ? " (painted spaces)" : " (no space glyphs)");
            auto placed = placed_glyphs(line, keep_spaces);
            auto built = build_line(placed, fonts);
            ASSERT_TRUE(built) << what;
            EXPECT_TRUE(built->rtl) << what;
            EXPECT_EQ(built->unresolved, 0u) << what;
            EXPECT_EQ(built->glyph_count, placed.size()) << what;
            if (line.exact) {
                EXPECT_EQ(built->text, line.expect) << what;
            } else {
                std::size_t got = 0, want = 0;
                EXPECT_EQ(without_marks(built->text, &got), without_marks(line.expect, &want)) << what;
                EXPECT_EQ(got, want) << what;
            }
        }
    }
}

TEST(ShapedArabic, LinesWithoutMarkOffsetsGroupAsOne) {
    // Marks shaped below the baseline (kasra) drop further than the grouping
    // tolerance below the marks above; lines painted on one baseline stay whole.
    for (const auto& line : load_fixture()) {
        bool flat = true;
        for (const auto& g : line.glyphs) flat = flat && g.y == line.glyphs.front().y;
        if (!flat) continue;
        auto lines = group_into_lines(placed_glyphs(line, true));
        ASSERT_EQ(lines.size(), 1u) << line.name;
        EXPECT_EQ(build_line(lines[0], font_of(line))->text, line.expect) << line.name;
    }
}
