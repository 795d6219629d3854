// Tables found and filled inside page assembly: synthetic pages, and real
// producers' right-to-left documents opened end to end.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "blocks.hpp"
#include "document.hpp"
#include "font.hpp"
#include "text_page.hpp"

using namespace inkra;
using namespace inkra::fixture;

namespace {

const FontMap kNoFonts = FontMap::from_raw({});
const Rect kPage{0, 0, 600, 800};

using Rows = std::vector<std::vector<std::string>>;

std::vector<const TableBlock*> tables_of(const std::vector<Block>& blocks) {
    std::vector<const TableBlock*> out;
    for (const Block& b : blocks)
        if (const auto* t = std::get_if<TableBlock>(&b.content)) out.push_back(t);
    return out;
}

Rows texts_of(const TableBlock& t) {
    Rows out;
    for (const auto& row : t.rows) {
        out.emplace_back();
        for (const Cell& c : row) out.back().push_back(c.text);
    }
    return out;
}

}  // namespace

TEST(TablesInAssembly, RuledGridsAreFilled) {
    struct Case {
        const char* what;
        std::vector<std::vector<GlyphAt>> words;
        std::vector<double> ys;        // row rules, top first, drawn from x 0 to 200
        double middle_rule_top;        // the rule at x 100 runs from 0 up to here
        Rows expected;
    };
    const std::vector<Case> cases = {
        // Each cell's word is its own line.
        {"lines inside cells",
         {row(10, 40, "abcdef"), row(110, 40, "mnopqr"), row(10, 10, "ghijkl"), row(110, 10, "stuvwx")},
         {60, 30, 0},
         60,
         {{"abcdef", "mnopqr"}, {"ghijkl", "stuvwx"}}},
        // Words too narrow to be columns of their own make one line per
        // row, across the column rule; the cells still hold their own words.
        {"lines across the column rule",
         {row(10, 40, "ab"), row(110, 40, "cd"), row(10, 10, "ef"), row(110, 10, "gh")},
         {60, 30, 0},
         60,
         {{"ab", "cd"}, {"ef", "gh"}}},
        // The top row is one cell across both columns: no rule divides it,
        // so its line stays whole, in the cell holding its centre.
        {"a cell across the columns",
         {row(20, 70, "spanningacrossall"), row(10, 45, "aaaaaa"), row(10, 33, "bbbbbb"), row(110, 45, "cccccc"),
          row(110, 33, "dddddd"), row(10, 15, "eeeeee"), row(10, 3, "ffffff"), row(110, 15, "gggggg"),
          row(110, 3, "hhhhhh")},
         {90, 60, 30, 0},
         60,
         {{"", "spanningacrossall"}, {"aaaaaa bbbbbb", "cccccc dddddd"}, {"eeeeee ffffff", "gggggg hhhhhh"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<GlyphAt> glyphs;
        for (const auto& w : c.words) append(glyphs, w);
        PageGlyphs page = page_of(glyphs);
        for (double y : c.ys) page.ruled_lines.push_back({0, y, 200, y});
        page.ruled_lines.push_back({0, 0, 0, c.ys.front()});
        page.ruled_lines.push_back({100, 0, 100, c.middle_rule_top});
        page.ruled_lines.push_back({200, 0, 200, c.ys.front()});
        const PageBlocks pb = assemble(page, kNoFonts, {}, kPage, std::nullopt);
        const auto tables = tables_of(pb.blocks);
        ASSERT_EQ(tables.size(), 1u);
        EXPECT_EQ(texts_of(*tables[0]), c.expected);
        EXPECT_EQ(tables[0]->bbox, (Rect{0, 0, 200, c.ys.front()}));
        // Every line went into the table.
        EXPECT_EQ(pb.blocks.size(), 1u);
    }
}

TEST(TablesInAssembly, BorderlessGridIsFilledFromGlyphs) {
    std::vector<GlyphAt> glyphs;
    const std::vector<std::string> words = {"abcde", "fghij", "klmno", "pqrst"};
    Rows expected;
    for (int r = 0; r < 5; ++r) {
        expected.emplace_back();
        for (int c = 0; c < 4; ++c) {
            std::string w = words[std::size_t(c)];
            w[0] = char('0' + r);
            append(glyphs, row(100.0 * c, 700 - 15.0 * r, w));
            expected.back().push_back(w);
        }
    }
    append(glyphs, row(0, 740, "atitlelinethatrunsacrossthecolumns"));
    const PageBlocks pb = assemble(page_of(glyphs), kNoFonts, {}, kPage, std::nullopt);
    const auto tables = tables_of(pb.blocks);
    ASSERT_EQ(tables.size(), 1u);
    EXPECT_EQ(texts_of(*tables[0]), expected);
    EXPECT_EQ(tables[0]->confidence, 0.5);
    ASSERT_FALSE(pb.blocks.empty());
    EXPECT_EQ(pb.blocks.front().text(), "atitlelinethatrunsacrossthecolumns");
}

namespace {

struct RealTable {
    const char* file;
    Rows cells;
    std::string page_text;
};

}  // namespace

// The first column of a right-to-left table is its rightmost one.
TEST(TablesInAssembly, RealProducersRightToLeft) {
    const char* dir = std::getenv("INKRA_TESTDATA");
    if (!dir) GTEST_SKIP() << "INKRA_TESTDATA not set";
    const std::vector<RealTable> cases = {
        {"libreoffice-ruled.pdf",
         {{"اسم الطالب", "المدينة الأصلية", "الدرجة النهائية"},
          {"أحمد محمود علي", "القاهرة الجديدة", "85 درجة من 100"},
          {"فاطمة حسن سالم", "دمشق القديمة", "92 درجة من 100"},
          {"خالد يوسف عمر", "بغداد الرصافة", "78 درجة من 100"}},
         "جدول درجات الطلاب في الفصل الأول\n"
         "اسم الطالب\tالمدينة الأصلية\tالدرجة النهائية\n"
         "أحمد محمود علي\tالقاهرة الجديدة\t85 درجة من 100\n"
         "فاطمة حسن سالم\tدمشق القديمة\t92 درجة من 100\n"
         "خالد يوسف عمر\tبغداد الرصافة\t78 درجة من 100\n"
         "انتهى الجدول وبدأ النص بعده."},
        {"chromium-borderless.pdf",
         {{"الفاكهة", "المدينة", "السعر", "الكمية"},
          {"تفاح", "الرياض", "12", "300"},
          {"برتقال", "جدة", "8", "450"},
          {"موز", "الدمام", "6", "120"},
          {"عنب", "مكة", "15", "80"},
          {"رمان", "المدينة", "20", "95"}},
         "أسعار الفاكهة في السوق هذا الأسبوع حسب المدينة والنوع\n"
         "الفاكهة\tالمدينة\tالسعر\tالكمية\n"
         "تفاح\tالرياض\t12\t300\n"
         "برتقال\tجدة\t8\t450\n"
         "موز\tالدمام\t6\t120\n"
         "عنب\tمكة\t15\t80\n"
         "رمان\tالمدينة\t20\t95\n"
         "تتغير الأسعار كل أسبوع بحسب العرض والطلب في الأسواق."},
    };
    for (const RealTable& c : cases) {
        SCOPED_TRACE(c.file);
        const auto doc = Document::open(std::string(dir) + "/tables/" + c.file);
        ASSERT_TRUE(doc) << doc.error().text();
        ASSERT_EQ(doc->pages.size(), 1u);
        const Page& page = doc->pages[0];
        const auto tables = tables_of(page.blocks);
        ASSERT_EQ(tables.size(), 1u);
        EXPECT_EQ(texts_of(*tables[0]), c.cells);
        // Column 0 lies right of column 1 on this right-to-left page.
        EXPECT_GT(tables[0]->rows[0][0].bbox.x0, tables[0]->rows[0][1].bbox.x0);
        // The table stands between the text before it and the text after it.
        ASSERT_EQ(page.blocks.size(), 3u);
        EXPECT_TRUE(std::holds_alternative<TableBlock>(page.blocks[1].content));
        EXPECT_EQ(page.text(), c.page_text);
    }
}
