// A tagged Arabic PDF written by LibreOffice Writer (tests/data/arabic_tagged.*).
#include <gtest/gtest.h>

#include <cstdlib>

#include "parser.hpp"
#include "parser_internal.hpp"

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
