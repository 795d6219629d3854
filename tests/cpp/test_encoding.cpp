#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "encoding.hpp"

using namespace inkra;

namespace {

using Diffs = std::vector<std::pair<std::uint8_t, std::string>>;

std::optional<std::string> dec(std::optional<std::string_view> base, const Diffs& diffs, std::uint32_t code) {
    return Encoding::create(base, diffs).decode(code);
}

const std::optional<std::string> none;

}  // namespace

TEST(Encoding, BaseTables) {
    struct Case { std::optional<std::string_view> base; std::uint32_t code; std::optional<std::string> text; };
    const Case cases[] = {
        {"WinAnsiEncoding", 0x41, "A"},
        {"WinAnsiEncoding", 0x80, "\u20AC"},
        {"WinAnsiEncoding", 0x81, none},
        {"WinAnsiEncoding", 0x8D, none},
        {"WinAnsiEncoding", 0x9D, none},
        {"WinAnsiEncoding", 0x9F, "\u0178"},
        {"WinAnsiEncoding", 0xA0, "\u00A0"},
        {"WinAnsiEncoding", 0xE9, "\u00E9"},
        {"WinAnsiEncoding", 0x09, none},
        {"WinAnsiEncoding", 0x7F, none},
        {"WinAnsiEncoding", 0x27, "'"},
        {"WinAnsiEncoding", 256, none},
        {"MacRomanEncoding", 0xDB, "\u20AC"},
        {"MacRomanEncoding", 0xCA, "\u00A0"},
        {"MacRomanEncoding", 0xDE, "\uFB01"},
        {"MacRomanEncoding", 0xDF, "\uFB02"},
        {"MacRomanEncoding", 0xF0, "\uF8FF"},
        {"MacRomanEncoding", 0x80, "\u00C4"},
        {"MacRomanEncoding", 0xFF, "\u02C7"},
        {"MacRomanEncoding", 0x1F, none},
        {"MacRomanEncoding", 0x61, "a"},
        {"StandardEncoding", 0x27, "\u2019"},
        {"StandardEncoding", 0x60, "\u2018"},
        {"StandardEncoding", 0x41, "A"},
        {"StandardEncoding", 0xA1, none},
        {"StandardEncoding", 0x7F, none},
        {"PDFDocEncoding", 0x27, "\u2019"},
        {"PDFDocEncoding", 0xA1, none},
        {"MacExpertEncoding", 0x41, none},
        {"Identity-H", 0x41, none},
        {"winansiencoding", 0x41, none},  // names compare case-sensitively
        {std::nullopt, 0x41, none},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dec(c.base, {}, c.code), c.text) << (c.base ? *c.base : "(none)") << " " << c.code;
}

TEST(Encoding, DifferencesOverBase) {
    struct Case { std::optional<std::string_view> base; Diffs diffs; std::uint32_t code; std::optional<std::string> text; };
    const Case cases[] = {
        {"WinAnsiEncoding", {{65, "uni0628"}}, 65, "\u0628"},
        {"WinAnsiEncoding", {{65, "uni0628"}}, 66, "B"},
        {"WinAnsiEncoding", {{65, "foo"}}, 65, none},  // no fallback to the base
        {std::nullopt, {{65, "alef"}, {65, "beharabic"}}, 65, "\u0628"},  // the last pair wins
        {std::nullopt, {{200, "lamarabic_alefarabic"}}, 200, "\u0644\u0627"},
        {std::nullopt, {{200, "lam_alef"}}, 200, none},  // lam and alef are not list names
        {std::nullopt, {{200, "lamarabic_alefarabic"}}, 201, none},
    };
    for (const auto& c : cases) EXPECT_EQ(dec(c.base, c.diffs, c.code), c.text) << c.code;
    EXPECT_TRUE(Encoding::create(std::nullopt, {}).empty());
    EXPECT_FALSE(Encoding::create("WinAnsiEncoding", {}).empty());
    EXPECT_FALSE(Encoding::create("Bogus", Diffs{{1, "a"}}).empty());
    for (std::uint32_t code = 0; code < 300; ++code) EXPECT_EQ(dec(std::nullopt, {}, code), none);
}

TEST(GlyphNames, Rules) {
    struct Case { const char* name; std::optional<std::string> text; };
    const Case cases[] = {
        {"alefarabic", "\u0627"},
        {"uni0627.fina", "\u0627"},
        {"uni06440627", "\u0644\u0627"},
        {"uni0644_uni0627", "\u0644\u0627"},
        {"uni0627uni0644", "\u0627\u0644"},
        {"uniFEFB", "\uFEFB"},
        {"uni066b", "\u066B"},  // lower-case hex
        {"uniD83DDE00", "\U0001F600"},  // a surrogate pair
        {"u1EE00", "\U0001EE00"},
        {"u0627", "\u0627"},
        {"u10FFFF", "\U0010FFFF"},
        {"uniD800", "\uFFFD"},
        {"uD800", none},
        {"u110000", none},
        {"u12345678", none},  // too long for the u rule
        {"uni062", none},
        {"uni", none},
        {"uniXYZW", none},
        {"hyphenminus", "-"},
        {"f_f_i", "ffi"},
        {"a_zz", none},
        {"a__b", none},
        {"_a", none},
        {".notdef", none},
        {"", none},
        {"union", "\u222A"},  // the glyph list wins over the uni rule
        {"alef-ar", none},
        {"dalethatafpatah", "\u05D3\u05B2"},  // multi-character entry kept whole
        {"A", "A"},                            // first entry of the list
        {"zukatakana", "\u30BA"},              // last entry of the list
        {"Alpha.sc", "\u0391"},
    };
    for (const auto& c : cases) EXPECT_EQ(glyph_name_to_string(c.name), c.text) << c.name;
}

TEST(GlyphNames, ListBuiltOnceAcrossThreads) {
    std::vector<std::thread> threads;
    std::vector<int> ok(8, 0);
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&ok, i] { ok[i] = glyph_name_to_string("beharabic") == "\u0628"; });
    for (auto& t : threads) t.join();
    for (int v : ok) EXPECT_EQ(v, 1);
}

TEST(Utf16, Decoding) {
    const std::vector<std::uint16_t> pair{0xD83D, 0xDE00, 0x0041}, lone_high{0xD800, 0x0041}, lone_low{0xDC00};
    EXPECT_EQ(utf16_to_string(pair), "\U0001F600A");
    EXPECT_EQ(utf16_to_string(lone_high), "\uFFFDA");
    EXPECT_EQ(utf16_to_string(lone_low), "\uFFFD");
}
