#include <gtest/gtest.h>

#include "font.hpp"
#include "type1.hpp"

using namespace inkra;

namespace {

// The clear-text head of a subset Type 1 program as TeX embeds it, followed
// by bytes of the encrypted part that must not be read.
const std::string kProgram =
    "%!PS-AdobeFont-1.0: CMR10 003.002\n"
    "/FontName /ABCDEF+CMR10 def\n"
    "/Encoding 256 array\n"
    "0 1 255 {1 index exch /.notdef put} for\n"
    "dup 12 /fi put\n"
    "dup 65 /A put\n"
    "dup 123 /endash put % a comment\n"
    "dup 300 /B put\n"
    "readonly def\n"
    "currentfile eexec\n"
    "dup 66 /Z put\n";

}  // namespace

TEST(Type1, BuiltinEncoding) {
    Encoding e = type1::builtin_encoding(kProgram);
    EXPECT_EQ(e.decode(65), "A");
    EXPECT_EQ(e.decode(12), "\uFB01");
    EXPECT_EQ(e.decode(123), "\u2013");
    EXPECT_FALSE(e.decode(66).has_value());  // past eexec
    EXPECT_FALSE(e.decode(44).has_value());  // .notdef

    EXPECT_EQ(type1::builtin_encoding("/Encoding StandardEncoding def\n").decode(0x27), "\u2019");
    EXPECT_TRUE(type1::builtin_encoding("no encoding here").empty());
    EXPECT_TRUE(type1::builtin_encoding("/Encoding 256 array dup").empty());
}

TEST(Type1, FontFallsBackOnTheProgramsEncoding) {
    RawFont raw;
    raw.info = {"F1", "Type1", "ABCDEF+CMR10", std::nullopt};
    raw.font_file = kProgram;
    raw.differences = {{65, "B"}};  // the PDF's own differences still come first
    auto fonts = FontMap::from_raw({raw});
    EXPECT_EQ(fonts.decode("F1", 65), "B");
    EXPECT_EQ(fonts.decode("F1", 12), "\uFB01");
    EXPECT_FALSE(fonts.decode("F1", 40).has_value());
}
