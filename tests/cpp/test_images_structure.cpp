#include <gtest/gtest.h>

#include "parser.hpp"
#include "parser_internal.hpp"
#include "pdf_builder.hpp"

using namespace inkra;
using inkra::test::PdfBuilder;

namespace {

const auto R = PdfBuilder::ref;
using K = ImageColorKind;

Pdf open_built(const PdfBuilder& b, const std::string& name) {
    auto pdf = Pdf::open(b.write(name));
    EXPECT_TRUE(pdf.has_value()) << (pdf ? "" : pdf.error().text());
    return std::move(*pdf);
}

std::vector<RawImage> images_of(const PdfBuilder& b, const std::string& file) {
    auto images = open_built(b, file).page_raw_images(1);
    EXPECT_TRUE(images.has_value());
    return images ? *images : std::vector<RawImage>{};
}

std::string image_dict(const std::string& extra) { return "/Type /XObject /Subtype /Image " + extra; }

}  // namespace

// ---- images ----

TEST(Images, SkippedEntries) {
    PdfBuilder b;
    std::vector<std::pair<std::string, int>> entries = {
        {"A", b.add_stream("\x01", image_dict("/Width 1 /Height 1"))},
        {"B", b.add_stream("", "/Subtype /Form /BBox [0 0 1 1]")},
        {"C", b.add_stream("\x01", image_dict("/Width 0 /Height 1"))},
        {"D", b.add_stream("\x01", image_dict("/Width 1"))},
        {"E", b.add_stream("\x01", image_dict("/Width 12.5 /Height 1"))},
        {"F", b.add("<< /Subtype /Image /Width 1 /Height 1 >>")},  // not a stream
        {"G", b.add_stream("\x01", image_dict("/Width 4294967296 /Height 1"))},
        {"H", b.add_stream("\x01", image_dict("/Width 2 /Height 3 /ImageMask true"))},
    };
    std::string xobjects;
    for (auto& [name, id] : entries) xobjects += "/" + name + " " + R(id) + " ";
    xobjects += "/Z 99 0 R";
    b.simple_document({{"/Resources << /XObject << " + xobjects + " >> >>", ""}});
    auto images = images_of(b, "skip.pdf");
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0].name, "A");
    EXPECT_EQ(images[1].name, "H");
    EXPECT_EQ(images[1].width, 2u);
    EXPECT_EQ(images[1].height, 3u);
    EXPECT_EQ(images[1].color_space, K::Unresolved);  // an image mask has no colour space
    EXPECT_FALSE(images[1].has_mask);
    EXPECT_EQ(images[1].bits_per_component, 8);
}

TEST(Images, CodecDataKeptAsStored) {
    const std::string jpeg = "\xFF\xD8\xFF\xE0 jpeg bytes \xFF\xD9";
    const std::string flated_jpeg = inkra::test::deflate(jpeg);
    PdfBuilder b;
    int dct = b.add_stream(jpeg, image_dict("/Width 1 /Height 1 /Filter /DCTDecode"));
    int layered = b.add_stream(flated_jpeg, image_dict("/Width 1 /Height 1 /Filter [/FlateDecode /DCTDecode]"));
    int flate = b.add_stream("\x10\x20\x30", image_dict("/Width 1 /Height 1 /DecodeParms << >>"), true);
    int broken = b.add("<< " + image_dict("/Width 1 /Height 1 /Filter [/FlateDecode] /Length 5") +
                       " >>\nstream\nnot z\nendstream");
    int jbig = b.add_stream("jbig2", image_dict("/Width 1 /Height 1 /Filter [/ASCIIHexDecode 99 0 R /JBIG2Decode]"));
    b.simple_document({{"/Resources << /XObject << /Im1 " + R(dct) + " /Im2 " + R(layered) + " /Im3 " + R(flate) +
                            " /Im4 " + R(broken) + " /Im5 " + R(jbig) + " >> >>",
                        ""}});
    auto images = images_of(b, "codecs.pdf");
    ASSERT_EQ(images.size(), 5u);
    EXPECT_EQ(images[0].data, jpeg);
    EXPECT_EQ(images[0].filters, std::vector<std::string>{"DCTDecode"});
    EXPECT_EQ(images[1].data, flated_jpeg);  // the Flate layer is left for the decoder
    EXPECT_EQ(images[1].filters, (std::vector<std::string>{"FlateDecode", "DCTDecode"}));
    EXPECT_EQ(images[2].data, "\x10\x20\x30");
    EXPECT_EQ(images[2].filters, std::vector<std::string>{"FlateDecode"});
    EXPECT_EQ(images[3].data, "not z");  // undecodable: the stored bytes
    EXPECT_EQ(images[4].data, "jbig2");
    EXPECT_EQ(images[4].filters, (std::vector<std::string>{"ASCIIHexDecode", "JBIG2Decode"}));
}

TEST(Images, BitDepthAndMasks) {
    struct Case { const char* extra; int bits; bool mask; };
    const Case cases[] = {
        {"/BitsPerComponent 0", 1, false},     {"/BitsPerComponent 32", 16, false},
        {"/BitsPerComponent 2.0", 8, false},   {"/BitsPerComponent -7", 1, false},
        {"/BitsPerComponent 4 /SMask 99 0 R", 4, true}, {"/Mask [0 0]", 8, true},
        {"/BitsPerComponent 1 0 R", 2, false},
    };
    PdfBuilder b;
    int two = b.add("2");
    EXPECT_EQ(two, 1);
    std::string xobjects;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        xobjects += "/I" + std::to_string(i) + " " +
                    R(b.add_stream("\x01", image_dict(std::string("/Width 1 /Height 1 ") + cases[i].extra))) + " ";
    b.simple_document({{"/Resources << /XObject << " + xobjects + " >> >>", ""}});
    auto images = images_of(b, "bits.pdf");
    ASSERT_EQ(images.size(), std::size(cases));
    for (std::size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].bits_per_component, cases[i].bits) << cases[i].extra;
        EXPECT_EQ(images[i].has_mask, cases[i].mask) << cases[i].extra;
    }
}

TEST(Images, ColourSpaces) {
    std::string rgb_lookup;
    for (int i = 0; i < 256; ++i) rgb_lookup += std::string{static_cast<char>(i), static_cast<char>(255 - i), '\x7f'};
    std::string hex;
    for (unsigned char c : rgb_lookup) {
        char buf[3];
        std::snprintf(buf, sizeof buf, "%02x", c);
        hex += buf;
    }
    struct Case { std::string space; K kind; std::optional<std::pair<std::string, K>> palette; };
    PdfBuilder b;
    int icc3 = b.add_stream("icc", "/N 3", true);
    int icc2 = b.add_stream("icc", "/N 2");
    int icc4 = b.add_stream("icc", "/N 4.0");
    int gray_table = b.add_stream(std::string("\x00\x80\xff", 3), "", true);
    int space_ref = b.add("[/ICCBased " + R(icc3) + "]");
    const Case cases[] = {
        {"/DeviceGray", K::Gray, {}},
        {"/CalRGB", K::Rgb, {}},
        {"[/CalRGB << /WhitePoint [1 1 1] >>]", K::Rgb, {}},
        {"[/ICCBased " + R(icc3) + "]", K::Rgb, {}},
        {"[/ICCBased " + R(icc2) + "]", K::Unresolved, {}},
        {"[/ICCBased " + R(icc4) + "]", K::Unresolved, {}},
        {"[/ICCBased]", K::Unresolved, {}},
        {R(space_ref), K::Rgb, {}},
        {"[/Indexed /DeviceRGB 255 <" + hex + ">]", K::Indexed, std::pair{rgb_lookup, K::Rgb}},
        {"[/I /G 2 " + R(gray_table) + "]", K::Indexed, std::pair{std::string("\x00\x80\xff", 3), K::Gray}},
        {"[/Indexed [/ICCBased " + R(icc3) + "] 0 <000000>]", K::Indexed, std::pair{std::string(3, '\0'), K::Rgb}},
        {"[/Indexed [/Separation /Gold /DeviceCMYK 5 0 R] 1 <0000>]", K::Indexed, {}},
        {"[/Indexed /DeviceRGB 1]", K::Indexed, {}},
        {"[/Indexed /DeviceRGB 1 7]", K::Indexed, {}},
        {"/Pattern", K::Unresolved, {}},
        {"[/Lab << /WhitePoint [1 1 1] >>]", K::Unresolved, {}},
        {"[/Separation /Gold /DeviceCMYK 5 0 R]", K::Unresolved, {}},
        {"[/DeviceN [/A /B] /DeviceCMYK 5 0 R]", K::Unresolved, {}},
        {"[]", K::Unresolved, {}},
        {"[(DeviceRGB)]", K::Unresolved, {}},
        {"(DeviceRGB)", K::Unresolved, {}},
        {"/CMYK", K::Cmyk, {}},
    };
    std::string xobjects;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        xobjects += "/I" + std::to_string(100 + i) + " " +
                    R(b.add_stream("\x01", image_dict("/Width 1 /Height 1 /ColorSpace " + cases[i].space))) + " ";
    b.simple_document({{"/Resources << /XObject << " + xobjects + " >> >>", ""}});
    auto images = images_of(b, "spaces.pdf");
    ASSERT_EQ(images.size(), std::size(cases));
    for (std::size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].color_space, cases[i].kind) << cases[i].space;
        EXPECT_EQ(images[i].palette, cases[i].palette) << cases[i].space;
    }
}

TEST(Images, ClassifiersByName) {
    for (auto n : {"DCTDecode", "DCT", "JPXDecode", "JBIG2Decode", "CCITTFaxDecode", "CCF"}) EXPECT_TRUE(is_image_codec(n));
    for (auto n : {"FlateDecode", "RunLengthDecode", "dct", ""}) EXPECT_FALSE(is_image_codec(n));
    EXPECT_EQ(classify_color_space("CalGray"), K::Gray);
    EXPECT_EQ(classify_color_space("RGB"), K::Rgb);
    EXPECT_EQ(classify_color_space("I"), K::Indexed);
    EXPECT_EQ(classify_color_space("ICCBased"), K::Unresolved);
    EXPECT_EQ(color_space_of_object(QPDFObjectHandle::parse("/DeviceRGB")), K::Unresolved);  // not an array
}

// ---- structure tree ----

namespace {

RawStructure structure_of(const std::function<std::string(PdfBuilder&, const std::vector<int>& pages)>& make_root,
                          const std::string& catalog_extra = "", int page_count = 2) {
    PdfBuilder b;
    int root = b.reserve();
    std::vector<std::pair<std::string, std::string>> pages(static_cast<std::size_t>(page_count), {"", ""});
    auto ids = b.simple_document(pages, "", "/StructTreeRoot " + R(root) + " " + catalog_extra);
    b.set(root, make_root(b, ids));
    return open_built(b, "struct.pdf").structure();
}

}  // namespace

TEST(Structure, MarkedWithoutTreeAndWrongKinds) {
    PdfBuilder b;
    b.simple_document({{"", ""}}, "", "/MarkInfo << /Marked true >>");
    auto s = open_built(b, "marked.pdf").structure();
    EXPECT_TRUE(s.marked);
    EXPECT_TRUE(s.elements.empty());

    PdfBuilder c;
    c.simple_document({{"", ""}}, "", "/StructTreeRoot 5 /MarkInfo << /Marked 1 >>");
    s = open_built(c, "introot.pdf").structure();
    EXPECT_FALSE(s.marked);
    EXPECT_TRUE(s.elements.empty());
}

TEST(Structure, McidsRolesAndPages) {
    auto s = structure_of([](PdfBuilder& b, const std::vector<int>& pages) {
        int not_page = b.add("<< /Type /Annot >>");
        int mcr = b.add("<< /Type /MCR /MCID 5 /Pg " + R(pages[0]) + " >>");
        int leaf = b.add("<< /S /Custom /K [3 " + R(mcr) + " 7 -1 4294967296 (x) /N] >>");
        int kid = b.add("<< /S /Span /Pg " + R(not_page) + " /K << /Type /MCR /MCID 9 /Pg " + R(pages[1]) + " >> >>");
        int doc = b.add("<< /S /First /Pg " + R(pages[1]) + " /K [" + R(leaf) + " " + R(kid) +
                        " << /S /P /Pg " + R(pages[0]) + " /K 2 >> << /Type /OBJR /Obj 1 0 R >>] >>");
        return "<< /Type /StructTreeRoot /RoleMap << /Custom /P /First /Second /Second /P /Bad 1 >> /K " + R(doc) +
               " >>";
    });
    struct Want { std::string role; std::vector<std::uint32_t> mcids; std::optional<std::uint32_t> page; unsigned depth; };
    const std::vector<Want> want = {
        {"Second", {}, 2, 1},    // one role-map step only
        {"P", {3, 5, 7}, 2, 2},  // page inherited from the parent
        {"Span", {9}, 2, 2},     // a /Pg that is no page keeps the parent's
        {"P", {2}, 1, 2},
    };
    ASSERT_EQ(s.elements.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(s.elements[i].role, want[i].role) << i;
        EXPECT_EQ(s.elements[i].mcids, want[i].mcids) << i;
        EXPECT_EQ(s.elements[i].page, want[i].page) << i;
        EXPECT_EQ(s.elements[i].depth, want[i].depth) << i;
    }
}

TEST(Structure, SingleKidNoPageAndCycles) {
    auto s = structure_of([](PdfBuilder& b, const std::vector<int>&) {
        int a = b.reserve();
        int c = b.add("<< /S /Span /K [" + R(a) + " 4] >>");  // back to its parent
        b.set(a, "<< /S /Sect /K [" + R(c) + " " + R(c) + "] >>");
        int self = b.reserve();
        b.set(self, "<< /S /Note /K " + R(self) + " >>");
        return "<< /Type /StructTreeRoot /K << /S /Document /K [" + R(a) + " " + R(self) + "] >> >>";
    });
    std::vector<std::string> roles;
    for (const auto& e : s.elements) roles.push_back(e.role);
    EXPECT_EQ(roles, (std::vector<std::string>{"Document", "Sect", "Span", "Note"}));
    for (const auto& e : s.elements) EXPECT_FALSE(e.page.has_value());
    EXPECT_EQ(s.elements[2].mcids, std::vector<std::uint32_t>{4});
}

TEST(Structure, DepthLimit) {
    auto s = structure_of([](PdfBuilder& b, const std::vector<int>&) {
        int next = b.add("<< /S /Leaf /K 0 >>");
        for (int level = 69; level >= 1; --level) next = b.add("<< /S /L" + std::to_string(level) + " /K " + R(next) + " >>");
        return "<< /Type /StructTreeRoot /K [" + R(next) + "] >>";
    });
    ASSERT_EQ(s.elements.size(), 64u);  // depths 1 to 64; the 65th level is not read
    EXPECT_EQ(s.elements.front().role, "L1");
    EXPECT_EQ(s.elements.back().role, "L64");
    EXPECT_EQ(s.elements.back().depth, 64u);
}
