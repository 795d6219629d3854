#include <gtest/gtest.h>

#include <array>
#include <map>

#include "cff.hpp"
#include "font_testdata.hpp"
#include "truetype.hpp"

using namespace inkra;
using inkra::test::font_fixture;

namespace {

using Names = std::map<std::uint32_t, std::string>;
using Chars = std::map<std::uint16_t, char32_t>;

Names names_of(std::string_view program) {
    auto m = cff::glyph_names(program);
    return Names(m.begin(), m.end());
}

Chars chars_of(const truetype::GlyphUnicode& gu) { return Chars(gu.begin(), gu.end()); }

// Every prefix and a few byte mutations of a program: the readers must stay
// inside the data (the sanitizer build checks) and never invent entries
// beyond what the readers can produce.
template <typename Read>
void survives_damage(const std::string& data, Read read) {
    for (std::size_t n = 0; n < data.size(); ++n) read(std::string_view(data).substr(0, n));
    for (std::size_t i = 0; i < data.size(); ++i) {
        for (unsigned char v : {0x00, 0x7F, 0xFF}) {
            std::string copy = data;
            copy[i] = static_cast<char>(v);
            read(copy);
        }
    }
}

}  // namespace

TEST(CffGlyphNames, Fixtures) {
    struct Case { const char* file; Names names; };
    const Case cases[] = {
        {"cff_isoadobe.cff", {{0x41, "space"}, {0x42, "exclam"}}},
        {"cff_custom.cff", {{0x41, "uni0628"}, {0x42, "alef.fina"}, {0x2C, "uni066B"}}},
        {"cff_range250.cff", {{250, "g01"}, {251, "g02"}, {252, "g03"}, {253, "g04"}, {254, "g05"}, {255, "g06"}}},
        // Count-left 10 from code 250: codes past 255 are dropped, never wrapped to 0..4.
        {"cff_range250_overflow.cff", {{250, "g01"}, {251, "g02"}, {252, "g03"}, {253, "g04"}, {254, "g05"}, {255, "g06"}}},
        {"cffh_plain.cff", {{0x41, "space"}, {0x42, "exclam"}}},
        {"cffh_supplement_ok.cff", {{0x41, "space"}, {0x42, "exclam"}}},  // supplements are not applied
        {"cffh_supplement_lie.cff", {}},
        {"cffh_ros.cff", {}},
        {"cffh_standard_encoding.cff", {}},
        {"cffh_charset2.cff", {{0x61, "alef"}, {0x62, "beh"}, {0x63, "teh"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(names_of(font_fixture(c.file)), c.names) << c.file;
}

TEST(CffGlyphNames, RejectedHeaders) {
    std::string data = font_fixture("cff_isoadobe.cff");
    EXPECT_TRUE(names_of("").empty());
    EXPECT_TRUE(names_of("\x01\x00").empty());
    std::string v2 = data;
    v2[0] = 2;
    EXPECT_TRUE(names_of(v2).empty());
    // An OpenType wrapper is not a bare CFF table.
    EXPECT_TRUE(names_of(font_fixture("tt_prefer.ttf")).empty());
}

TEST(CffGlyphNames, SurvivesDamage) {
    for (const char* file : {"cff_arabic.cff", "cff_custom.cff", "cffh_charset2.cff", "cffh_supplement_ok.cff"}) {
        std::string data = font_fixture(file);
        std::size_t full = cff::glyph_names(data).size();
        survives_damage(data, [&](std::string_view d) {
            auto names = cff::glyph_names(d);
            for (const auto& [code, name] : names) ASSERT_LT(code, 256u);
            if (d.size() < data.size()) {
                ASSERT_LE(names.size(), full) << file << " prefix " << d.size();
            }
        });
    }
}

TEST(CffDict, Operands) {
    auto bytes = [](std::initializer_list<int> v) {
        std::string s;
        for (int b : v) s.push_back(static_cast<char>(b));
        return s;
    };
    struct Case { std::string dict; cff::Dict expect; };
    const Case cases[] = {
        {bytes({139, 17}), {{17, {0}}}},
        {bytes({32, 246, 15}), {{15, {-107, 107}}}},
        {bytes({247, 0, 250, 255, 16}), {{16, {108, 1131}}}},
        {bytes({251, 0, 254, 255, 16}), {{16, {-108, -1131}}}},
        {bytes({28, 0x80, 0x00, 29, 0x7F, 0xFF, 0xFF, 0xFF, 18}), {{18, {-32768, 2147483647}}}},
        // A real (1.5, then -2.25e-1 with the end nibble high) leaves no slot.
        {bytes({30, 0x1A, 0x5F, 140, 5}), {{5, {1}}}},
        {bytes({30, 0xE2, 0xA2, 0x5C, 0x1F, 140, 30, 0xF0, 5}), {{5, {1}}}},
        {bytes({139, 140, 141, 12, 30, 142, 17}), {{0x0C1E, {0, 1, 2}}, {17, {3}}}},
        // Reserved bytes are skipped; a later operator entry replaces an earlier one.
        {bytes({22, 139, 255, 15, 140, 15}), {{15, {1}}}},
        // An operand cut off by the end of the DICT is dropped.
        {bytes({140, 17, 29, 0, 1}), {{17, {1}}}},
        {bytes({140, 12}), {}},
    };
    for (const auto& c : cases) EXPECT_EQ(cff::parse_dict(c.dict), c.expect);
}

TEST(CffDict, StandardStrings) {
    EXPECT_EQ(cff::standard_string(0), ".notdef");
    EXPECT_EQ(cff::standard_string(1), "space");
    EXPECT_EQ(cff::standard_string(13), "comma");
    EXPECT_EQ(cff::standard_string(228), "zcaron");
    EXPECT_EQ(cff::standard_string(379), "001.000");
    EXPECT_EQ(cff::standard_string(390), "Semibold");
    EXPECT_EQ(cff::standard_string(391), std::nullopt);
}

TEST(TrueTypeCmap, SubtableChoiceAndPreference) {
    struct Case { const char* file; Chars chars; };
    const Case cases[] = {
        // alef from U+0627, U+FE8D and U+FE8E keeps FE8D; A/Alpha keeps A;
        // beh from U+0628 and U+FE8F keeps FE8F; the private-use glyph stays out.
        {"tt_prefer.ttf", {{1, 0xFE8D}, {2, 0x41}, {3, 0xFE8F}}},
        {"tt_format12.ttf", {{1, 0x41}, {2, 0x1EE00}}},
        // (3,10) format 12 beats (3,1) format 4 in either record order.
        {"cm_12_after_4.ttf", {{2, 0x41}}},
        {"cm_12_before_4.ttf", {{2, 0x41}}},
        {"cm_two_bmp.ttf", {{1, 0x41}}},  // the first (3,1) record
        {"cm_symbol_and_bmp.ttf", {{1, 0x41}}},
        {"cm_unicode_platform_only.ttf", {}},
        {"cm_mac_only.ttf", {}},
        {"cm_count_lies.ttf", {}},  // one record more than fits
    };
    for (const auto& c : cases) EXPECT_EQ(chars_of(truetype::glyph_unicode(font_fixture(c.file))), c.chars) << c.file;
}

TEST(TrueTypeCmap, StretchedTatweels) {
    // Glyphs: 1 tatweel, 2 and 3 wider copies, 4 taller, 5 beh with the tatweel's box.
    EXPECT_EQ(chars_of(truetype::glyph_unicode(font_fixture("tt_tatweel.ttf"))),
              (Chars{{1, 0x640}, {2, 0x640}, {3, 0x640}, {5, 0x628}}));
    EXPECT_EQ(chars_of(truetype::glyph_unicode(font_fixture("tt_tatweel_composite.ttf"))), (Chars{{2, 0x640}}));
    EXPECT_EQ(chars_of(truetype::glyph_unicode(font_fixture("tt_tatweel_empty.ttf"))), (Chars{{1, 0x640}}));
}

TEST(TrueTypeTables, DirectoryAndGlyphHeaders) {
    std::string font = font_fixture("tt_tatweel.ttf");
    ASSERT_TRUE(truetype::table(font, "cmap"));
    EXPECT_EQ(truetype::table(font, "CFF "), std::nullopt);
    EXPECT_EQ(truetype::table(font, "cma"), std::nullopt);
    EXPECT_EQ(truetype::glyph_outline(font, 1), (truetype::GlyphHeader{1, 0, -20, 60}));
    EXPECT_EQ(truetype::glyph_outline(font, 4), (truetype::GlyphHeader{1, 0, -20, 70}));
    EXPECT_EQ(truetype::glyph_outline(font, 6), std::nullopt);  // past loca
    EXPECT_EQ(truetype::glyph_outline(font_fixture("tt_tatweel_empty.ttf"), 1), std::nullopt);

    // A record whose length passes the end of the data hides its table.
    std::size_t count = static_cast<unsigned char>(font[4]) << 8 | static_cast<unsigned char>(font[5]);
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = 12 + 16 * i;
        if (font.compare(at, 4, "cmap") != 0) continue;
        std::string lying = font;
        for (int k = 0; k < 4; ++k) lying[at + 12 + k] = '\x7F';
        EXPECT_EQ(truetype::table(lying, "cmap"), std::nullopt);
        EXPECT_TRUE(truetype::glyph_unicode(lying).empty());
    }
}

TEST(TrueTypeCmap, SurvivesDamage) {
    for (const char* file : {"tt_prefer.ttf", "tt_tatweel.ttf", "tt_format12.ttf", "cm_12_before_4.ttf"}) {
        std::string data = font_fixture(file);
        survives_damage(data, [](std::string_view d) {
            auto gu = truetype::glyph_unicode(d);
            ASSERT_FALSE(gu.get(0) && *gu.get(0) != U'\u0640');
            for (const auto& [glyph, c] : gu) ASSERT_FALSE(c >= 0xE000 && c <= 0xF8FF);
            for (std::uint16_t g = 0; g < 8; ++g) (void)truetype::glyph_outline(d, g);
        });
    }
}

TEST(TrueTypeCmap, AmiriArabicLetters) {
    const std::array<const char*, 2> paths{"/usr/share/fonts/truetype/amiri/Amiri-Regular.ttf",
                                           "/usr/share/fonts/opentype/fonts-hosny-amiri/Amiri-Regular.ttf"};
    std::string font;
    for (const char* p : paths)
        if (font.empty()) font = inkra::test::read_file(p);
    if (font.empty()) GTEST_SKIP() << "Amiri is not installed";

    // What fontTools reads from the same file, written by make_fonts.py.
    std::istringstream expected(font_fixture("amiri_regular_arabic.txt"));
    std::string word, hash;
    std::size_t size = 0;
    expected >> word >> size >> word >> hash;
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (unsigned char b : font) h = (h ^ b) * 0x100000001B3ull;
    char mine[17];
    std::snprintf(mine, sizeof mine, "%016llx", static_cast<unsigned long long>(h));
    if (size != font.size() || hash != mine) GTEST_SKIP() << "another build of Amiri than the expectation's";

    truetype::GlyphUnicode gu = truetype::glyph_unicode(font);
    std::size_t checked = 0, bases = 0, forms = 0;
    unsigned glyph = 0;
    std::string code;
    while (expected >> glyph >> code) {
        char32_t c = static_cast<char32_t>(std::stoul(code, nullptr, 16));
        EXPECT_EQ(gu.get(static_cast<std::uint16_t>(glyph)), std::optional<char32_t>(c)) << glyph << " " << code;
        ++checked;
        bases += c >= 0x0621 && c <= 0x064A;
        forms += c >= 0xFE70;
    }
    EXPECT_GE(bases, 40u);   // every base letter
    EXPECT_GE(forms, 130u);  // and the presentation forms of Arabic Presentation Forms-B
    EXPECT_GT(checked, bases + forms);
}
