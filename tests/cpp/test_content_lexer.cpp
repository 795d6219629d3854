#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content.hpp"

using namespace inkra;
using Kind = Operand::Kind;

namespace {

// An operation copied out of the reader, with its operands' decoded bytes.
struct Seen {
    std::string op;
    std::vector<Operand> operands;
    std::vector<std::string> bytes;  // decoded string / name bytes per operand
    std::vector<Operand> elements;
};

std::vector<Seen> read_all(std::string_view content, bool* failed = nullptr) {
    ContentReader reader(content);
    Operation op;
    std::vector<Seen> seen;
    std::string scratch;
    while (reader.next(op)) {
        Seen s{std::string(op.op), {op.operands.begin(), op.operands.end()}, {}, {op.elements.begin(), op.elements.end()}};
        for (const Operand& o : op.operands)
            s.bytes.emplace_back(o.kind == Kind::Name ? name_bytes(o, scratch) : operand_bytes(o, scratch));
        seen.push_back(std::move(s));
    }
    if (failed) *failed = reader.failed();
    return seen;
}

}  // namespace

TEST(ContentLexer, EveryTokenKind) {
    auto ops = read_all("1 -.5 +3 4. -0.25 /Na#20me#4 (str) <41 4> [1 (a) [2]] <</K 7 /R 3 0 R>> true false null op");
    ASSERT_EQ(ops.size(), 1u);
    const Seen& s = ops[0];
    EXPECT_EQ(s.op, "op");
    ASSERT_EQ(s.operands.size(), 13u);
    struct Num { double v; bool integer; };
    const Num nums[] = {{1, true}, {-0.5, false}, {3, true}, {4, false}, {-0.25, false}};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(s.operands[i].kind, Kind::Number) << i;
        EXPECT_DOUBLE_EQ(s.operands[i].number, nums[i].v) << i;
        EXPECT_EQ(s.operands[i].integer, nums[i].integer) << i;
    }
    EXPECT_EQ(s.operands[5].kind, Kind::Name);
    EXPECT_EQ(s.bytes[5], "Na me#4");  // a # without two hex digits stays as written
    EXPECT_EQ(s.operands[6].kind, Kind::String);
    EXPECT_EQ(s.bytes[6], "str");
    EXPECT_EQ(s.operands[7].kind, Kind::HexString);
    EXPECT_EQ(s.bytes[7], "A@");  // the odd final digit is followed by 0

    const Operand& array = s.operands[8];
    ASSERT_EQ(array.kind, Kind::Array);
    ASSERT_EQ(array.count, 3u);
    const Operand* a = &s.elements[array.first];
    EXPECT_EQ(a[0].kind, Kind::Number);
    EXPECT_EQ(a[1].kind, Kind::String);
    ASSERT_EQ(a[2].kind, Kind::Array);
    ASSERT_EQ(a[2].count, 1u);
    EXPECT_EQ(s.elements[a[2].first].number, 2);

    const Operand& dict = s.operands[9];
    ASSERT_EQ(dict.kind, Kind::Dict);
    ASSERT_EQ(dict.count, 4u);  // /K 7 /R <ref>
    const Operand* d = &s.elements[dict.first];
    EXPECT_EQ(d[0].raw, "K");
    EXPECT_EQ(d[1].number, 7);
    EXPECT_EQ(d[3].kind, Kind::Ref);

    EXPECT_EQ(s.operands[10].kind, Kind::Bool);
    EXPECT_TRUE(s.operands[10].integer);
    EXPECT_EQ(s.operands[11].kind, Kind::Bool);
    EXPECT_FALSE(s.operands[11].integer);
    EXPECT_EQ(s.operands[12].kind, Kind::Null);
}

TEST(ContentLexer, NumbersAndWordsThatAreNot) {
    // A word that is not a well-formed number is an operator, never a number.
    auto ops = read_all("1.2.3 - . 123456789012345678901 0.0000000000000000000001 x");
    ASSERT_EQ(ops.size(), 4u);
    EXPECT_EQ(ops[0].op, "1.2.3");
    EXPECT_EQ(ops[1].op, "-");
    EXPECT_EQ(ops[2].op, ".");
    ASSERT_EQ(ops[3].operands.size(), 2u);
    EXPECT_DOUBLE_EQ(ops[3].operands[0].number, 123456789012345678901.0);
    EXPECT_DOUBLE_EQ(ops[3].operands[1].number, 1e-22);

    // Numbers round exactly as the compiler rounds the same literal.
    ops = read_all("0.1 -3.14159 595.276 1234567890123.5 12345678901234567.25 x");
    ASSERT_EQ(ops.size(), 1u);
    const double want[] = {0.1, -3.14159, 595.276, 1234567890123.5, 12345678901234567.25};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ops[0].operands[i].number, want[i]) << i;
}

TEST(ContentLexer, LiteralStringEscapes) {
    struct Case { std::string_view content; std::string bytes; };
    const Case cases[] = {
        {"(a(b)c) Tj", "a(b)c"},
        {"(a\\)b\\(c) Tj", "a)b(c"},
        {"(\\n\\r\\t\\b\\f\\\\\\q) Tj", "\n\r\t\b\f\\q"},
        {"(\\101\\60\\0610\\777) Tj", std::string("A01" "0\xFF", 5)},
        {"(one\\\ntwo\\\r\nthree) Tj", "onetwothree"},
        {"(a\r\nb\rc\nd) Tj", "a\nb\nc\nd"},
        {"((())) Tj", "(())"},
        {"() Tj", ""},
        {"<48 65\n6C6c 6f> Tj", "Hello"},
        {"<> Tj", ""},
    };
    for (const auto& c : cases) {
        auto ops = read_all(c.content);
        ASSERT_EQ(ops.size(), 1u) << c.content;
        EXPECT_EQ(ops[0].op, "Tj");
        EXPECT_EQ(ops[0].bytes.at(0), c.bytes) << c.content;
    }
}

TEST(ContentLexer, CommentsAndLeftoverOperands) {
    auto ops = read_all("% q\n1 0 0 1 0 0 cm %(unterminated\r(a%b) Tj 5 6");
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].op, "cm");
    EXPECT_EQ(ops[0].operands.size(), 6u);
    EXPECT_EQ(ops[1].bytes.at(0), "a%b");
}

TEST(ContentLexer, InlineImagesAreSkippedWhole) {
    // The data holds words that look like operators, and EIs that are not words of their own.
    static const char raw[] = "(x) Tj EIx ]) >> <<\xFF\x00" "aEI BT";
    const std::string data(raw, sizeof raw - 1);
    std::string content = "q BI /W 4 /H 1 /F [/AHx] /D <</K 1>> ID " + data + "\nEI Q";
    auto ops = read_all(content);
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0].op, "q");
    EXPECT_EQ(ops[1].op, "Q");

    // EI straight after the separator (no data) and at the very end of the content.
    ops = read_all("BI /W 0 ID EI");
    EXPECT_TRUE(ops.empty());
    ops = read_all("BI ID \x01\x02\nEI/Fm0 Do");
    ASSERT_EQ(ops.size(), 1u);
    EXPECT_EQ(ops[0].op, "Do");
}

TEST(ContentLexer, SyntaxErrors) {
    const std::string_view bad[] = {
        "(abc",          "(a\\)",         "<41",          "<4G> Tj",     "[1 2",        "<< /A 1",
        "]",             ">> q",          "> q",          "[1 >>",       "<< /A [1] ]", "BI /W 1 ID data",
        "BI /W 1 ID xEI", "BI /W 1",      "q [(a) Tj",
    };
    for (auto content : bad) {
        bool failed = false;
        read_all(content, &failed);
        EXPECT_TRUE(failed) << content;
        EXPECT_FALSE(content_is_well_formed(content)) << content;
    }
    const std::string_view good[] = {"", "q Q", "{ } ) q", "[/a /b] x", "<< >> BDC", "1 2 R", "%(\n"};
    for (auto content : good) EXPECT_TRUE(content_is_well_formed(content)) << content;
}
