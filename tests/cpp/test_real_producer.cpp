// PDFs from real producers: a tagged Arabic document written by LibreOffice
// Writer (tests/data/arabic_tagged.*) and one printed by Chromium.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "parser.hpp"
#include "parser_internal.hpp"
#include "truetype.hpp"

using namespace inkra;

namespace {

std::optional<Pdf> open_fixture() {
    const char* dir = std::getenv("INKRA_TESTDATA");
    if (!dir) return std::nullopt;
    auto pdf = Pdf::open(std::string(dir) + "/arabic_tagged.pdf");
    EXPECT_TRUE(pdf.has_value()) << (pdf ? "" : pdf.error().text());
    if (!pdf) return std::nullopt;
    return std::move(*pdf);
}

}  // namespace

TEST(RealProducer, FontsCarryToUnicodeAndEmbeddedProgram) {
    auto pdf = open_fixture();
    if (!pdf) GTEST_SKIP() << "INKRA_TESTDATA not set";
    auto fonts = pdf->page_raw_fonts(1);
    ASSERT_TRUE(fonts.has_value());
    ASSERT_FALSE(fonts->empty());
    auto resources = pdf->impl().page_resources(pdf->impl().page_ids[0]);
    ASSERT_TRUE(resources.has_value());
    for (const auto& font : *fonts) {
        ASSERT_TRUE(font.to_unicode.has_value()) << font.info.name;
        EXPECT_NE(font.to_unicode->find("begincmap"), std::string::npos);
        EXPECT_NE(font.to_unicode->find("bf"), std::string::npos);  // bfchar or bfrange mappings
        EXPECT_NE(font.info.base_font.value_or("").find("Amiri"), std::string::npos);
        EXPECT_FALSE(font.widths.empty());

        // The writer embeds a TrueType subset as a simple font; the reader
        // keeps such programs out of RawFont, so look at the descriptor.
        auto dict = lookup(*lookup(*resources, "Font"), font.info.name);
        ASSERT_TRUE(dict.has_value());
        auto descriptor = lookup(*dict, "FontDescriptor");
        ASSERT_TRUE(descriptor.has_value());
        auto program = decode_stream(*lookup(*descriptor, "FontFile2"));
        ASSERT_TRUE(program.has_value());
        auto tag = program->substr(0, 4);
        EXPECT_TRUE(tag == std::string("\x00\x01\x00\x00", 4) || tag == "true") << tag;
        EXPECT_FALSE(font.font_file2.has_value());
    }
}

TEST(RealProducer, StructureTreeGivesElementsWithMcidsAndPages) {
    auto pdf = open_fixture();
    if (!pdf) GTEST_SKIP() << "INKRA_TESTDATA not set";
    auto s = pdf->structure();
    EXPECT_TRUE(s.marked);
    ASSERT_FALSE(s.elements.empty());
    std::size_t with_mcids = 0;
    bool heading = false, paragraph = false;
    for (const auto& e : s.elements) {
        if (!e.mcids.empty()) {
            ++with_mcids;
            EXPECT_EQ(e.page, 1u) << e.role;
        }
        EXPECT_GE(e.depth, 1u);
        heading = heading || e.role == "H1";
        paragraph = paragraph || e.role == "P";  // the writer's /Standard, through its role map
    }
    EXPECT_GE(with_mcids, 3u);  // the heading and both paragraphs
    EXPECT_TRUE(heading);
    EXPECT_TRUE(paragraph);
}

// Chromium embeds its fonts as Identity-H composite fonts: the reader hands
// on both the ToUnicode map and the TrueType program, and the font model
// decodes the page's codes to Arabic letters.
TEST(RealProducer, ChromiumCompositeFontCarriesProgram) {
    const char* dir = std::getenv("INKRA_TESTDATA");
    if (!dir) GTEST_SKIP() << "INKRA_TESTDATA not set";
    auto pdf = Pdf::open(std::string(dir) + "/e2e/chromium-columns.pdf");
    ASSERT_TRUE(pdf.has_value()) << pdf.error().text();
    auto fonts = pdf->page_raw_fonts(1);
    ASSERT_TRUE(fonts.has_value());
    auto type0 = std::find_if(fonts->begin(), fonts->end(), [](const RawFont& f) { return f.info.subtype == "Type0"; });
    ASSERT_NE(type0, fonts->end());
    EXPECT_EQ(type0->info.encoding.value_or(""), "Identity-H");
    ASSERT_TRUE(type0->to_unicode.has_value());
    ASSERT_TRUE(type0->font_file2.has_value());
    EXPECT_FALSE(truetype::glyph_unicode(*type0->font_file2).empty());
}
