#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "error.hpp"
#include "types.hpp"

using namespace inkra;

TEST(Color, ToRgb8) {
    struct Case { Color c; std::array<std::uint8_t, 3> rgb; };
    const Case cases[] = {
        {Color::gray(0.5f), {128, 128, 128}},
        {Color::gray(1.7f), {255, 255, 255}},
        {Color::gray(-0.2f), {0, 0, 0}},
        {Color::rgb(0.0157f, 0.408f, 0.294f), {4, 104, 75}},
        {Color::cmyk(0, 0, 0, 0), {255, 255, 255}},
        {Color::cmyk(0, 0, 0, 1), {0, 0, 0}},
        {Color::cmyk(1, 0, 0, 0), {0, 255, 255}},
        {Color::unknown(), {0, 0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(c.c.to_rgb8(), c.rgb);
}

TEST(Color, CssHex) {
    EXPECT_EQ(Color::rgb(4 / 255.f, 104 / 255.f, 75 / 255.f).to_css_hex(), "#04684b");
    EXPECT_EQ(Color::unknown().to_css_hex(), "#000000");
}

TEST(Style, MergesWith) {
    Style a{"F1", 12.0, Color::gray(0), TextRender::Fill};
    Style b = a;
    b.size = 12.009;
    EXPECT_TRUE(a.merges_with(b));
    b.size = 12.02;
    EXPECT_FALSE(a.merges_with(b));
    b = a;
    b.color = Color::rgb(0, 0, 0);  // same RGB, different variant
    EXPECT_FALSE(a.merges_with(b));
    b = a;
    b.font = "F2";
    EXPECT_FALSE(a.merges_with(b));
    b = a;
    b.render = TextRender::Invisible;
    EXPECT_FALSE(a.merges_with(b));
    Style u{"F1", 10, Color::unknown(), TextRender::Fill};
    EXPECT_TRUE(u.merges_with(u));
}

TEST(Glyph, RotationOfBaseline) {
    auto dir = [](double deg) {
        double r = deg * M_PI / 180.0;
        return rotation_of(std::cos(r), std::sin(r));
    };
    EXPECT_EQ(dir(0), 0);
    EXPECT_EQ(dir(30), 0);
    EXPECT_EQ(dir(60), 1);
    EXPECT_EQ(dir(45), 1);  // exactly half a quarter rounds up
    EXPECT_EQ(dir(-90), 3);
    EXPECT_EQ(dir(180), 2);
    EXPECT_EQ(dir(-135), 2);
    EXPECT_EQ(rotation_of(0, 0), 0);
}

TEST(Error, DisplayTexts) {
    EXPECT_EQ(Error::page_not_found(7).text(), "page 7 does not exist in this document");
    EXPECT_EQ(Error::malformed("bad xref").text(), "malformed PDF: bad xref");
    auto io = Error::io("/no/such", std::make_error_code(std::errc::no_such_file_or_directory));
    EXPECT_EQ(io.text().rfind("could not read `/no/such`: ", 0), 0u);
    EXPECT_TRUE(io.is_not_found());
    EXPECT_EQ(Error::io("a\xff" "b", std::make_error_code(std::errc::io_error)).text().rfind("could not read `a\xEF\xBF\xBD" "b`: ", 0), 0u);
}

TEST(Utf8Lossy, ReplacesInvalidSequences) {
    EXPECT_EQ(utf8_lossy("abc"), "abc");
    EXPECT_EQ(utf8_lossy("\xD8\xB3"), "\xD8\xB3");
    EXPECT_EQ(utf8_lossy("a\x80z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(utf8_lossy("\xE2\x82"), "\xEF\xBF\xBD");           // truncated: one replacement
    EXPECT_EQ(utf8_lossy("\xED\xA0\x80"), "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");  // surrogate
}
