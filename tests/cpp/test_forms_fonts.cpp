#include <gtest/gtest.h>

#include "parser.hpp"
#include "parser_internal.hpp"
#include "pdf_builder.hpp"

using namespace inkra;
using inkra::test::PdfBuilder;

namespace {

const auto R = PdfBuilder::ref;

Pdf open_built(const PdfBuilder& b, const std::string& name) {
    auto pdf = Pdf::open(b.write(name));
    EXPECT_TRUE(pdf.has_value()) << (pdf ? "" : pdf.error().text());
    return std::move(*pdf);
}

int add_form(PdfBuilder& b, const std::string& content, const std::string& dict = "", bool flate = false) {
    return b.add_stream(content, "/Type /XObject /Subtype /Form /BBox [0 0 100 100] " + dict, flate);
}

std::vector<std::string> names_of(const std::vector<RawForm>& forms) {
    std::vector<std::string> out;
    for (const auto& f : forms) out.push_back(f.name);
    return out;
}

std::vector<RawForm> forms_of(const PdfBuilder& b, const std::string& file) {
    auto forms = open_built(b, file).page_forms(1);
    EXPECT_TRUE(forms.has_value());
    return forms ? *forms : std::vector<RawForm>{};
}

// One page whose /Font resources map F1 to the given font dictionary.
RawFont read_font(const std::string& font, const std::vector<std::string>& extra_objects = {}) {
    PdfBuilder b;
    for (const auto& o : extra_objects) b.add(o);
    int f = b.add(font);
    b.simple_document({{"/Resources << /Font << /F1 " + R(f) + " >> >>", ""}});
    auto fonts = open_built(b, "font.pdf").page_raw_fonts(1);
    EXPECT_TRUE(fonts.has_value());
    EXPECT_EQ(fonts->size(), 1u);
    return fonts && !fonts->empty() ? fonts->front() : RawFont{};
}

bool same_widths(const std::vector<CidWidth>& got, const std::vector<CidWidth>& want) {
    if (got.size() != want.size()) return false;
    for (std::size_t i = 0; i < got.size(); ++i)
        if (got[i].first != want[i].first || got[i].last != want[i].last || got[i].width != want[i].width) return false;
    return true;
}

}  // namespace

// ---- form XObjects ----

TEST(Forms, NestedNamesContentAndMatrix) {
    PdfBuilder b;
    int inner = add_form(b, "0 0 m 5 5 l S", "/Matrix [1 0 0 1]");
    int image = b.add_stream("\xff", "/Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceGray /BitsPerComponent 8");
    int outer = add_form(b, "q /Fm1 Do Q",
                         "/Matrix [0.5 0 0 0.5 10 20] /Resources << /XObject << /Fm1 " + R(inner) + " >> >>", true);
    b.simple_document({{"/Resources << /XObject << /Fm0 " + R(outer) + " /Im0 " + R(image) + " >> >>", ""}});
    auto forms = forms_of(b, "nested.pdf");
    ASSERT_EQ(names_of(forms), (std::vector<std::string>{"Fm0", "Fm0/Fm1"}));
    EXPECT_EQ(forms[0].content, "q /Fm1 Do Q");  // Flate undone
    EXPECT_EQ(forms[0].matrix, (Matrix{0.5, 0, 0, 0.5, 10, 20}));
    EXPECT_EQ(forms[1].matrix, kIdentity);  // four numbers are not a matrix
}

TEST(Forms, MatrixElements) {
    struct Case { std::string matrix; Matrix want; };
    PdfBuilder b;
    int num = b.add("2");
    const Case cases[] = {
        {"[1 /x 0 0 1 3 4]", {1, 0, 0, 1, 3, 4}},  // a name is skipped, six numbers remain
        {"[" + R(num) + " 0 0 2 0 0]", {2, 0, 0, 2, 0, 0}},
        {"[0.1 0 0 1 0 0]", {static_cast<double>(0.1f), 0, 0, 1, 0, 0}},
        {"[1 0 0 1 0 0 7]", kIdentity},
        {"(x)", kIdentity},
        {"99 0 R", kIdentity},
    };
    std::string xobjects;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        xobjects += "/F" + std::to_string(i) + " " + R(add_form(b, "", "/Matrix " + cases[i].matrix)) + " ";
    b.simple_document({{"/Resources << /XObject << " + xobjects + " >> >>", ""}});
    auto forms = forms_of(b, "matrix.pdf");
    ASSERT_EQ(forms.size(), std::size(cases));
    for (std::size_t i = 0; i < forms.size(); ++i) EXPECT_EQ(forms[i].matrix, cases[i].want) << cases[i].matrix;
}

TEST(Forms, DepthLimitSelfReferenceAndSharedObject) {
    // A chain of nine nested forms: only the first eight are found.
    PdfBuilder b;
    int next = add_form(b, "");
    for (int level = 7; level >= 0; --level)
        next = add_form(b, "", "/Resources << /XObject << /X" + std::to_string(level + 1) + " " + R(next) + " >> >>");
    b.simple_document({{"/Resources << /XObject << /X0 " + R(next) + " >> >>", ""}});
    auto forms = forms_of(b, "deep.pdf");
    ASSERT_EQ(forms.size(), 8u);
    EXPECT_EQ(forms.back().name, "X0/X1/X2/X3/X4/X5/X6/X7");

    // A form listing itself, and a second name for the same object.
    PdfBuilder c;
    int self = c.reserve();
    c.set(self, "<< /Subtype /Form /BBox [0 0 1 1] /Resources << /XObject << /Me " + R(self) +
                    " >> >> /Length 0 >>\nstream\n\nendstream");
    c.simple_document({{"/Resources << /XObject << /A " + R(self) + " /B " + R(self) + " >> >>", ""}});
    EXPECT_EQ(names_of(forms_of(c, "self.pdf")), std::vector<std::string>{"A"});
}

TEST(Forms, ResourcesInheritedAndUndecodableContent) {
    // A form without /Resources walks the page's resources again, which list
    // the form itself: it must be found once, and its content kept raw when
    // it cannot be inflated.
    PdfBuilder b;
    int bad = b.add("<< /Subtype /Form /BBox [0 0 1 1] /Filter /FlateDecode /Length 5 >>\nstream\nnot z\nendstream");
    int font = b.add("<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    b.simple_document({{"/Resources << /Font << /F1 " + R(font) + " >> /XObject << /Fm0 " + R(bad) + " >> >>", ""}});
    auto pdf = open_built(b, "inherit.pdf");
    auto forms = pdf.page_forms(1);
    ASSERT_TRUE(forms.has_value());
    ASSERT_EQ(names_of(*forms), std::vector<std::string>{"Fm0"});
    EXPECT_EQ(forms->front().content, "not z");

    auto fonts = pdf.page_raw_fonts(1);
    ASSERT_TRUE(fonts.has_value());
    ASSERT_EQ(fonts->size(), 2u);
    EXPECT_EQ((*fonts)[0].info.name, "F1");
    EXPECT_EQ((*fonts)[1].info.name, "Fm0/F1");
    EXPECT_EQ((*fonts)[1].info.base_font, "Helvetica");

    for (std::uint32_t n : {0u, 2u}) {
        EXPECT_EQ(pdf.page_forms(n).error().kind, Error::Kind::PageNotFound);
        EXPECT_EQ(pdf.page_raw_fonts(n).error().kind, Error::Kind::PageNotFound);
    }
}

TEST(Forms, PageWithoutResources) {
    PdfBuilder b;
    b.simple_document({{"", ""}, {"/Resources 5", ""}});
    auto pdf = open_built(b, "nores.pdf");
    for (std::uint32_t n : {1u, 2u}) {
        EXPECT_TRUE(pdf.page_forms(n)->empty());
        EXPECT_TRUE(pdf.page_raw_fonts(n)->empty());
        EXPECT_TRUE(pdf.page_raw_images(n)->empty());
    }
}

// ---- fonts ----

TEST(Fonts, SummaryNamesAreNotFollowed) {
    auto f = read_font("<< /Type /Font /Subtype 1 0 R /BaseFont /Amiri#2DRegular /Encoding << /Differences [] >> >>",
                       {"/Type1"});
    EXPECT_EQ(f.info.name, "F1");
    EXPECT_EQ(f.info.subtype, "");  // a reference counts as absent
    EXPECT_EQ(f.info.base_font, "Amiri-Regular");
    EXPECT_EQ(f.info.encoding, std::nullopt);
    EXPECT_TRUE(f.widths.empty());
    EXPECT_EQ(f.default_width, 1000);

    auto g = read_font("<< /Subtype /TrueType /Encoding /WinAnsiEncoding >>");
    EXPECT_EQ(g.info.subtype, "TrueType");
    EXPECT_EQ(g.info.encoding, "WinAnsiEncoding");
    EXPECT_EQ(g.base_encoding, "WinAnsiEncoding");
    EXPECT_EQ(g.info.base_font, std::nullopt);
}

TEST(Fonts, SimpleWidthsAndFirstChar) {
    struct Case { const char* entries; std::uint32_t first; std::vector<double> widths; double missing; };
    const Case cases[] = {
        {"/FirstChar 32 /Widths [500 /x 600]", 32, {500, 600}, 0},
        {"/FirstChar -4 /Widths [250.5 (s) 1 0 R]", 0, {250.5, 700}, 0},
        {"/FirstChar 3.0 /Widths 7 /FontDescriptor << /MissingWidth 333 >>", 0, {}, 333},
        {"/Widths [0.1] /FontDescriptor << /MissingWidth /x >>", 0, {static_cast<double>(0.1f)}, 0},
    };
    for (const auto& c : cases) {
        auto f = read_font(std::string("<< /Type /Font /Subtype /Type1 ") + c.entries + " >>", {"700"});
        EXPECT_EQ(f.first_char, c.first) << c.entries;
        EXPECT_EQ(f.widths, c.widths) << c.entries;
        EXPECT_EQ(f.missing_width, c.missing) << c.entries;
    }
}

TEST(Fonts, Differences) {
    using Diffs = std::vector<std::pair<std::uint8_t, std::string>>;
    struct Case { const char* array; const char* base; Diffs want; };
    const Case cases[] = {
        {"[65 /A /B 300 /C -5 /D]", "/MacRomanEncoding", {{65, "A"}, {66, "B"}, {0, "D"}}},
        {"[/space 32 /a]", "", {{0, "space"}, {32, "a"}}},
        {"[254 /y /z /over 66.9 /B (x) /C 1 0 R /D]", "", {{254, "y"}, {255, "z"}, {66, "B"}, {67, "C"}, {68, "D"}}},
        {"[10 /a 10 /b]", "", {{10, "a"}, {10, "b"}}},  // duplicates kept in order
        {"[4294967296 /a -1.5 /b]", "", {{0, "b"}}},
    };
    for (const auto& c : cases) {
        std::string enc = std::string("<< /Type /Encoding ") + (*c.base ? std::string("/BaseEncoding ") + c.base : "") +
                          " /Differences " + c.array + " >>";
        auto f = read_font("<< /Subtype /Type1 /Encoding " + enc + " >>", {"/Q"});
        EXPECT_EQ(f.differences, c.want) << c.array;
        EXPECT_EQ(f.base_encoding.has_value(), *c.base != 0) << c.array;
        EXPECT_EQ(f.info.encoding, std::nullopt);
    }
}

TEST(Fonts, CidWidths) {
    struct Case { const char* w; std::vector<CidWidth> want; };
    const Case cases[] = {
        {"[1 [500 /x 700] 10 12 300]", {{1, 1, 500}, {3, 3, 700}, {10, 12, 300}}},
        {"[1 [500] /bad 5 5 100]", {{1, 1, 500}}},
        {"[5 6]", {}},                    // a range without its width
        {"[5 6 /w 8 8 80]", {{8, 8, 80}}},  // no entry, but the position still advances by three
        {"[-3 [10] 2.7 4 40 7]", {{0, 0, 10}, {2, 4, 40}}},
        {"[4294967040 [1 2]]", {{4294967040u, 4294967040u, 1}, {4294967041u, 4294967041u, 2}}},
        {"[4294967295 [1 2 3]]", {{4294967295u, 4294967295u, 1}}},  // counting stops at the top
        {"[1 0 R [250]]", {{16777216u, 16777216u, 250}}},  // a first CID through a 32-bit float
    };
    for (const auto& c : cases) {
        auto f = read_font(std::string("<< /Subtype /Type0 /Encoding /UniJIS-UCS2-H /DescendantFonts [<< /Subtype "
                                       "/CIDFontType0 /DW 600 /W ") +
                               c.w + " >>] /FirstChar 5 /Widths [1] >>",
                           {"16777217"});
        EXPECT_TRUE(same_widths(f.cid_widths, c.want)) << c.w;
        EXPECT_EQ(f.default_width, 600);
        EXPECT_EQ(f.first_char, 0u);  // simple fields stay empty on a Type0 font
        EXPECT_TRUE(f.widths.empty());
        EXPECT_FALSE(f.font_file2.has_value());
    }
}

TEST(Fonts, Type0ProgramOnlyForIdentityEncodings) {
    struct Case { const char* encoding; const char* map; bool program; bool map_kept; };
    const Case cases[] = {
        {"/Identity-H", "/CIDToGIDMap /Identity", true, false},
        {"/Identity-V", "", true, false},
        {"/Identity-H", "/CIDToGIDMap 5", false, false},
        {"/Identity-H", "/CIDToGIDMap 3 0 R", true, true},
        {"/UniGB-UCS2-H", "/CIDToGIDMap 3 0 R", false, false},
        {"4 0 R", "", false, false},  // an embedded CMap stream
    };
    for (const auto& c : cases) {
        PdfBuilder b;
        int program = b.add_stream(std::string("\x00\x01\x00\x00 truetype", 13), "", true);
        int unicode = b.add_stream("begincmap endcmap");
        int map = b.add_stream(std::string("\x00\x00\x00\x05", 4), "", true);
        int cmap = b.add_stream("/CIDInit /ProcSet findresource", "/Type /CMap /CMapName /X");
        (void)unicode;
        EXPECT_EQ(map, 3);
        EXPECT_EQ(cmap, 4);
        int font = b.add(std::string("<< /Subtype /Type0 /ToUnicode 2 0 R /Encoding ") + c.encoding +
                         " /DescendantFonts [<< /Subtype /CIDFontType2 /W [0 [600]] " + c.map +
                         " /FontDescriptor << /FontFile2 " + R(program) + " /FontFile3 " + R(program) + " >> >>] >>");
        b.simple_document({{"/Resources << /Font << /F0 " + R(font) + " >> >>", ""}});
        auto fonts = open_built(b, "type0.pdf").page_raw_fonts(1);
        ASSERT_TRUE(fonts.has_value());
        ASSERT_EQ(fonts->size(), 1u);
        const auto& f = fonts->front();
        EXPECT_EQ(f.to_unicode, "begincmap endcmap") << c.encoding << c.map;
        EXPECT_EQ(f.cid_widths.size(), 1u);
        EXPECT_EQ(f.font_file2.has_value(), c.program) << c.encoding << c.map;
        if (f.font_file2) { EXPECT_EQ(*f.font_file2, std::string("\x00\x01\x00\x00 truetype", 13)); }
        EXPECT_EQ(f.cid_to_gid_map.has_value(), c.map_kept) << c.encoding << c.map;
        if (f.cid_to_gid_map) { EXPECT_EQ(*f.cid_to_gid_map, std::string("\x00\x00\x00\x05", 4)); }
        EXPECT_FALSE(f.font_file3.has_value());
    }
}

TEST(Fonts, SimpleFontPrograms) {
    PdfBuilder b;
    int cff = b.add_stream(std::string("\x01\x00\x04\x02 cff", 8), "/Subtype /Type1C", true);
    int tt = b.add_stream(std::string("\x00\x01\x00\x00", 4), "", true);
    int broken = b.add("<< /Filter /FlateDecode /Length 5 >>\nstream\nnot z\nendstream");
    int unknown = b.add_stream("begincmap", "/Filter /BrotliDecode");  // a filter the reader lacks
    int f1 = b.add("<< /Subtype /Type1 /FontDescriptor << /FontFile3 " + R(cff) + " >> >>");
    int f2 = b.add("<< /Subtype /TrueType /FontDescriptor << /FontFile2 " + R(tt) + " >> >>");
    int f3 = b.add("<< /FontDescriptor << /FontFile3 " + R(broken) + " >> /ToUnicode " + R(unknown) + " >>");
    b.simple_document({{"/Resources << /Font << /F1 " + R(f1) + " /F2 " + R(f2) + " /F3 " + R(f3) + " >> >>", ""}});
    auto fonts = open_built(b, "simple-programs.pdf").page_raw_fonts(1);
    ASSERT_TRUE(fonts.has_value());
    ASSERT_EQ(fonts->size(), 3u);
    EXPECT_EQ((*fonts)[0].font_file3, std::string("\x01\x00\x04\x02 cff", 8));
    EXPECT_FALSE((*fonts)[1].font_file3.has_value());
    EXPECT_FALSE((*fonts)[1].font_file2.has_value());  // simple fonts carry no TrueType program
    EXPECT_EQ((*fonts)[2].info.subtype, "");           // no /Subtype: read as a simple font
    EXPECT_FALSE((*fonts)[2].font_file3.has_value());  // undecodable: absent, not raw
    EXPECT_FALSE((*fonts)[2].to_unicode.has_value());
}

TEST(Fonts, PageFontsMergedUpTheTreeThenFormFonts) {
    PdfBuilder b;
    int root = b.reserve();
    int near = b.add("<< /Subtype /Type1 /BaseFont /Near >>");
    int far = b.add("<< /Subtype /Type1 /BaseFont /Far >>");
    int only_far = b.add("<< /Subtype /Type1 /BaseFont /OnlyFar >>");
    int form_font = b.add("<< /Subtype /Type1 /BaseFont /InForm >>");
    int form = add_form(b, "", "/Resources << /Font << /F1 " + R(form_font) + " /Z 7 >> >>");
    int content = b.add_stream("");
    int page = b.add("<< /Type /Page /Parent " + R(root) + " /Contents " + R(content) + " /Resources << /Font << /F1 " +
                     R(near) + " /F9 (not a font) >> /XObject << /Fm0 " + R(form) + " >> >> >>");
    b.set(root, "<< /Type /Pages /Kids [" + R(page) + "] /Count 1 /Resources << /Font << /F1 " + R(far) + " /Ab " +
                    R(only_far) + " >> >> >>");
    b.set_catalog(b.add("<< /Type /Catalog /Pages " + R(root) + " >>"));
    auto fonts = open_built(b, "tree-fonts.pdf").page_raw_fonts(1);
    ASSERT_TRUE(fonts.has_value());
    std::vector<std::pair<std::string, std::string>> got;
    for (const auto& f : *fonts) got.emplace_back(f.info.name, f.info.base_font.value_or("?"));
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                       {"Ab", "OnlyFar"}, {"F1", "Near"}, {"Fm0/F1", "InForm"}}));
}
