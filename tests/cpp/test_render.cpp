#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "document.hpp"
#include "headings.hpp"
#include "html.hpp"
#include "json.hpp"

using namespace inkra;

namespace {

TextLine line(std::string text, double size = 12, bool rtl = false, Color color = Color::gray(0)) {
    TextLine l;
    l.text = std::move(text);
    l.font = "F1";
    l.size = size;
    l.color = color;
    l.rtl = rtl;
    l.baseline = 700;
    l.bbox = {72, 698, 200, 712};
    l.glyph_count = 4;
    return l;
}

Block text_block(std::vector<TextLine> lines, std::size_t index = 0, double confidence = 1.0) {
    TextBlock b;
    b.lines = std::move(lines);
    b.bbox = {72, 690, 300, 712};
    b.reading_index = index;
    b.confidence = confidence;
    return Block{std::move(b)};
}

Block table_block(const std::vector<std::vector<std::string>>& texts, std::size_t index = 0) {
    TableBlock t;
    t.bbox = {50, 100, 250, 200};
    t.confidence = 0.875;
    t.reading_index = index;
    for (std::size_t r = 0; r < texts.size(); ++r) {
        auto& row = t.rows.emplace_back();
        for (std::size_t c = 0; c < texts[r].size(); ++c) row.push_back(Cell{texts[r][c], {0, 0, 1, 1}, r, c});
    }
    return Block{std::move(t)};
}

Block picture(ExtractedImage image, std::optional<Rect> bbox, std::size_t index = 0, bool background = false) {
    return image_block(PlacedImage{bbox, std::move(image)}, index, background);
}

Image png(std::string name, std::string data) {
    Image i;
    i.name = std::move(name);
    i.data = ImageBytes(std::move(data));
    i.width = 2;
    i.height = 3;
    i.format = ImageFormat::Png;
    return i;
}

Page page(std::vector<Block> blocks, std::uint32_t number = 1, Verdict verdict = Verdict::Ok,
          double confidence = 1.0, std::vector<std::string> reasons = {}) {
    Page p;
    p.number = number;
    p.width = 612;
    p.height = 792;
    p.assessment.verdict = verdict;
    p.assessment.confidence = confidence;
    p.assessment.reasons = std::move(reasons);
    for (const Block& b : blocks)
        if (const auto* t = std::get_if<TextBlock>(&b.content))
            p.lines.insert(p.lines.end(), t->lines.begin(), t->lines.end());
    p.blocks = std::move(blocks);
    return p;
}

Document doc(std::vector<Page> pages) { return Document{std::move(pages)}; }

// The page body: everything between <body> and </body>.
std::string body(const Document& d, HtmlOptions o = {"t", true, true}) {
    std::string html = to_html(d, o);
    auto start = html.find("<body>\n") + 7;
    return html.substr(start, html.find("</body>") - start);
}

const std::string kAlef = "\u0627";

}  // namespace

// ---- headings ----

TEST(Headings, SizeKeysAreHalfPoints) {
    const std::pair<double, std::uint64_t> cases[] = {
        {11.9, 24}, {12.1, 24}, {12.2, 24}, {12.3, 25}, {0.25, 1}, {0.24, 0}, {-3, 0},
        {std::nan(""), 0}, {1e30, std::numeric_limits<std::uint64_t>::max()},
    };
    for (auto [size, key] : cases) EXPECT_EQ(size_key(size), key) << size;
}

TEST(Headings, LevelsAboveTheBodySize) {
    // The body is the size with the most characters; a big title of few
    // characters must not take its place.
    std::vector<TextLine> lines{line("Title", 24), line(std::string(200, 'x'), 12)};
    for (double s : {20.0, 18.0, 16.0, 15.0, 14.5, 14.0, 13.8, 13.5, 12.2, 10.0}) lines.push_back(line("h", s));
    Headings h = analyse(doc({page({text_block(lines)})}));
    EXPECT_EQ(h.body_size, 12.0);
    std::vector<std::pair<double, std::uint8_t>> want{{24, 1}, {20, 2}, {18, 3}, {16, 4},
                                                      {15, 5}, {14.5, 6}, {14, 6}};
    // 13.8 pt has key 28 (14.0 >= 13.8); 13.5 pt stays body text.
    EXPECT_EQ(inferred(h), want);
    EXPECT_EQ(heading_level(h, 13.8), 6);
    EXPECT_EQ(heading_level(h, 13.5), 0);
    EXPECT_EQ(heading_level(h, 12.0), 0);
}

TEST(Headings, CountsCharactersNotBytes) {
    // Ten Arabic letters (20 bytes) outweigh 15 Latin ones only if counted as bytes.
    std::string arabic;
    for (int i = 0; i < 10; ++i) arabic += kAlef;
    Headings h = analyse(doc({page({text_block({line(arabic, 20, true), line(std::string(15, 'a'), 12)})})}));
    EXPECT_EQ(h.body_size, 12.0);
    ASSERT_EQ(inferred(h).size(), 1u);
    EXPECT_EQ(inferred(h)[0].second, 1);
}

TEST(Headings, FlatAndEmptyDocuments) {
    Headings flat = analyse(doc({page({text_block({line("a", 12), line("bb", 12)})})}));
    EXPECT_EQ(flat.body_size, 12.0);
    EXPECT_TRUE(inferred(flat).empty());
    Headings none = analyse(doc({}));
    EXPECT_EQ(none.body_size, 0.0);
    EXPECT_TRUE(none.levels.empty());
}

// ---- HTML ----

TEST(Html, EmptyDocumentIsHeadAndTail) {
    std::string html = to_html(doc({}), {"A <b> & 'c'", true, true});
    std::string head = "<!DOCTYPE html>\n<html lang=\"en\" dir=\"ltr\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>A &lt;b&gt; &amp; &#39;c&#39;</title>\n<style>";
    ASSERT_EQ(html.substr(0, head.size()), head);
    auto style_end = html.find("</style>");
    EXPECT_EQ(style_end - head.size(), 1030u);
    EXPECT_EQ(html.substr(style_end), "</style>\n</head>\n<body>\n</body>\n</html>\n");
}

TEST(Html, EscapesAllFiveCharacters) {
    EXPECT_EQ(escape("a<b>&\"q\"'s' \u0627"), "a&lt;b&gt;&amp;&quot;q&quot;&#39;s&#39; \u0627");
}

TEST(Html, TwoDecimalsRoundTheExactValue) {
    const std::pair<double, const char*> cases[] = {{0.8734, "0.87"}, {0.125, "0.12"}, {0.875, "0.88"},
                                                    {1.0, "1.00"},    {0.0, "0.00"},   {0.375, "0.38"}};
    for (auto [v, s] : cases) EXPECT_EQ(two_decimals(v), s) << v;
}

TEST(Html, Base64Padding) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"M", "TQ=="}, {"Ma", "TWE="}, {"Man", "TWFu"}, {std::string("\xff\xfe\x00\x01", 4), "//4AAQ=="}};
    for (const auto& [in, out] : cases) EXPECT_EQ(base64(in), out);
}

TEST(Html, ArabicPageWithHeadingsColoursAndDirections) {
    std::string arabic;
    for (int i = 0; i < 10; ++i) arabic += kAlef;
    Document d = doc({page({
        text_block({line(kAlef + kAlef, 24, true, Color::rgb(1, 0, 0))}, 0),
        text_block({line(arabic, 12, true), line(arabic, 12, true)}, 1, 0.8734),
        text_block({line("A <b> & \"c\"", 12, false, Color::gray(0.95f))}, 2),
        text_block({line("grey", 12, false, Color::gray(0.5f))}, 3),
    })});
    std::string html = to_html(d, {"t", true, true});
    EXPECT_NE(html.find("<html lang=\"ar\" dir=\"rtl\">"), std::string::npos);
    EXPECT_EQ(body(d),
              "<section class=\"page\" id=\"page-1\" data-confidence=\"1.00\">\n<div class=\"page-number\">1</div>\n"
              "<h1 style=\"color:#ff0000\">" + kAlef + kAlef + "</h1>\n"
              "<p data-confidence=\"0.87\">" + arabic + " " + arabic + "</p>\n"
              "<p dir=\"ltr\">A &lt;b&gt; &amp; &quot;c&quot;</p>\n"
              "<p style=\"color:#808080\" dir=\"ltr\">grey</p>\n"
              "</section>\n");
    // Without colour the style attributes go, nothing else.
    std::string plain = body(d, {"t", true, false});
    EXPECT_EQ(plain.find("style="), std::string::npos);
    EXPECT_NE(plain.find("<h1>"), std::string::npos);
}

TEST(Html, NeedsOcrNoticeShowsTheFirstReason) {
    Document d = doc({page({text_block({line("x")})}, 1, Verdict::NeedsOcr, 0.0,
                           {"no text layer: the page paints no glyphs at all", "second"}),
                      page({}, 2, Verdict::NeedsOcr, 0.125)});
    EXPECT_EQ(body(d),
              "<section class=\"page\" id=\"page-1\" data-confidence=\"0.00\">\n<div class=\"page-number\">1</div>\n"
              "<p class=\"needs-ocr\">No text layer on this page \u2014 it needs OCR. (no text layer: the page "
              "paints no glyphs at all)</p>\n"
              "<p dir=\"ltr\">x</p>\n</section>\n"
              "<section class=\"page\" id=\"page-2\" data-confidence=\"0.12\">\n<div class=\"page-number\">2</div>\n"
              "<p class=\"needs-ocr\">No text layer on this page \u2014 it needs OCR.</p>\n</section>\n");
}

TEST(Html, TableHeaderRows) {
    const std::pair<std::vector<std::vector<std::string>>, std::string> cases[] = {
        {{{"a", "b"}, {"c", "d"}},
         "<thead>\n<tr><th>a</th><th>b</th></tr>\n</thead>\n<tbody>\n<tr><td>c</td><td>d</td></tr>\n</tbody>\n"},
        {{{"", "b"}, {"c", "d"}, {"e", "<f>"}},
         "<thead>\n<tr><th></th><th>b</th></tr>\n<tr><th>c</th><th>d</th></tr>\n</thead>\n<tbody>\n"
         "<tr><td>e</td><td>&lt;f&gt;</td></tr>\n</tbody>\n"},
        {{{"", "b"}, {"c", ""}}, "<tbody>\n<tr><td></td><td>b</td></tr>\n<tr><td>c</td><td></td></tr>\n</tbody>\n"},
        {{{"a"}}, "<thead>\n<tr><th>a</th></tr>\n</thead>\n"},
        {{{}, {"a"}}, "<thead>\n<tr></tr>\n<tr><th>a</th></tr>\n</thead>\n"},
        {{}, ""},
    };
    for (const auto& [rows, inner] : cases) {
        std::string b = body(doc({page({text_block({line(kAlef, 12, true)}), table_block(rows, 1)})}));
        auto start = b.find("<table");
        EXPECT_EQ(b.substr(start, b.find("</section>") - start),
                  "<table dir=\"rtl\" data-confidence=\"0.88\">\n" + inner + "</table>\n");
    }
}

TEST(Html, Images) {
    Document d = doc({page({
        picture(png("Im3", "abc"), Rect{0, 0, 10, 10}, 0),
        picture(png("Im<4>", "M"), std::nullopt, 1, true),
        picture(UndecodedImage{"Im5", "unsupported <filter>"}, Rect{0, 0, 1, 1}, 2),
    })});
    EXPECT_EQ(body(d),
              "<section class=\"page\" id=\"page-1\" data-confidence=\"1.00\">\n<div class=\"page-number\">1</div>\n"
              "<img alt=\"Im3.png\" width=\"2\" height=\"3\" src=\"data:image/png;base64,YWJj\">\n"
              "<img class=\"background\" alt=\"Im&lt;4&gt;.png\" width=\"2\" height=\"3\" "
              "src=\"data:image/png;base64,TQ==\">\n"
              "<p class=\"undecoded\">[image: unsupported &lt;filter&gt;]</p>\n"
              "</section>\n");
    std::string without = body(d, {"t", false, true});
    EXPECT_NE(without.find("<p class=\"undecoded\">[image: Im3.png]</p>\n"), std::string::npos);
    EXPECT_NE(without.find("<p class=\"undecoded\">[image: unsupported &lt;filter&gt;]</p>\n"), std::string::npos);
    EXPECT_EQ(without.find("<img"), std::string::npos);

    Image jpg = png("Im0", "x");
    jpg.format = ImageFormat::Jpg;
    Image jp2 = png("Im1", "x");
    jp2.format = ImageFormat::Jp2;
    std::string media = body(doc({page({picture(jpg, std::nullopt, 0), picture(jp2, std::nullopt, 1)})}));
    EXPECT_NE(media.find("alt=\"Im0.jpg\" width=\"2\" height=\"3\" src=\"data:image/jpeg;base64,"), std::string::npos);
    EXPECT_NE(media.find("alt=\"Im1.jp2\" width=\"2\" height=\"3\" src=\"data:image/jp2;base64,"), std::string::npos);
}

// ---- JSON ----

TEST(Json, EmptyDocument) {
    EXPECT_EQ(to_json(doc({})).value(), "{\n  \"page_count\": 0,\n  \"pages\": []\n}");
}

TEST(Json, ExactPageWithEveryBlockKind) {
    TextLine l = line("\u0627\t\"x\"\\\x01", 12.5, true, Color::rgb(1, 0, 0));
    l.unresolved = 1;
    Page p = page({text_block({l}, 0, 0.75), table_block({{"a\tb", "c"}}, 1),
                   picture(png("Im0", "zz"), std::nullopt, 2, true),
                   picture(UndecodedImage{"Im1", "image dimensions overflow"}, Rect{1, 2, 3, 4.5}, 3)},
                  1, Verdict::NeedsOcr, 0.25, {"r1", "r2"});
    p.width = 595.276;
    p.height = static_cast<double>(595.276f);
    p.rotation = 1;
    p.tagged = true;
    const char* want = R"({
  "page_count": 1,
  "pages": [
    {
      "number": 1,
      "width": 595.276,
      "height": 595.2760009765625,
      "rotation": 90,
      "verdict": "needs_ocr",
      "confidence": 0.25,
      "reasons": [
        "r1",
        "r2"
      ],
      "tagged": true,
      "blocks": [
        {
          "reading_index": 0,
          "bbox": [
            72.0,
            690.0,
            300.0,
            712.0
          ],
          "type": "text",
          "text": "ا\t\"x\"\\\u0001",
          "confidence": 0.75,
          "lines": [
            {
              "text": "ا\t\"x\"\\\u0001",
              "bbox": [
                72.0,
                698.0,
                200.0,
                712.0
              ],
              "baseline": 700.0,
              "font": "F1",
              "size": 12.5,
              "color": "#ff0000",
              "direction": "rtl",
              "confidence": 0.75
            }
          ]
        },
        {
          "reading_index": 1,
          "bbox": [
            50.0,
            100.0,
            250.0,
            200.0
          ],
          "type": "table",
          "confidence": 0.875,
          "row_count": 1,
          "column_count": 2,
          "rows": [
            [
              {
                "text": "a\tb",
                "row": 0,
                "column": 0,
                "bbox": [
                  0.0,
                  0.0,
                  1.0,
                  1.0
                ]
              },
              {
                "text": "c",
                "row": 0,
                "column": 1,
                "bbox": [
                  0.0,
                  0.0,
                  1.0,
                  1.0
                ]
              }
            ]
          ]
        },
        {
          "reading_index": 2,
          "type": "image",
          "is_background": true,
          "width": 2,
          "height": 3,
          "format": "png",
          "file_name": "Im0.png",
          "dropped_transparency": false
        },
        {
          "reading_index": 3,
          "bbox": [
            1.0,
            2.0,
            3.0,
            4.5
          ],
          "type": "image",
          "is_background": false,
          "unsupported_reason": "image dimensions overflow"
        }
      ]
    }
  ]
})";
    EXPECT_EQ(to_json(doc({p})).value(), want);
}

TEST(Json, EmptyTableAndSpecialNumbers) {
    Page p = page({table_block({}, 0), text_block({line("b", 12)}, 1)});
    p.width = std::numeric_limits<double>::quiet_NaN();
    p.height = std::numeric_limits<double>::infinity();
    auto parsed = nlohmann::json::parse(to_json(doc({p})).value());
    const auto& page0 = parsed["pages"][0];
    EXPECT_TRUE(page0["width"].is_null());
    EXPECT_TRUE(page0["height"].is_null());
    const auto& table = page0["blocks"][0];
    EXPECT_EQ(table["row_count"], 0);
    EXPECT_EQ(table["column_count"], 0);
    EXPECT_EQ(table["rows"], nlohmann::json::array());
    EXPECT_EQ(page0["blocks"][1]["lines"][0]["color"], "#000000");
    EXPECT_EQ(page0["blocks"][1]["lines"][0]["direction"], "ltr");
}

TEST(Json, InvalidUtf8InAResourceNameDoesNotLoseTheDocument) {
    TextLine l = line("ok");
    l.font = "F\xe9";
    auto out = to_json(doc({page({text_block({l})})}));
    ASSERT_TRUE(out.has_value());
    EXPECT_NE(out->find("\"font\": \"F\xef\xbf\xbd\""), std::string::npos);
}
