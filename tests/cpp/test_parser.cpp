#include <gtest/gtest.h>

#include "parser.hpp"
#include "parser_internal.hpp"
#include "pdf_builder.hpp"

using namespace inkra;
using inkra::test::PdfBuilder;

namespace {

Pdf open_ok(const std::string& path) {
    auto pdf = Pdf::open(path);
    EXPECT_TRUE(pdf.has_value()) << (pdf ? "" : pdf.error().text());
    return std::move(*pdf);
}

PageInfo single_page(const std::string& page_extra, const std::string& root_extra = "") {
    PdfBuilder b;
    b.simple_document({{page_extra, ""}}, root_extra);
    auto pages = open_ok(b.write("single.pdf")).pages();
    EXPECT_EQ(pages.size(), 1u);
    return pages.empty() ? PageInfo{} : pages[0];
}

const Rect kA4{0, 0, 595.276, 841.89};

}  // namespace

TEST(PageGeometry, MediaBox) {
    struct Case { const char* page; const char* root; Rect box; };
    const Case cases[] = {
        {"/MediaBox [0 0 612 792]", "", {0, 0, 612, 792}},
        {"/MediaBox [612 792 0 0]", "", {0, 0, 612, 792}},
        {"", "/MediaBox [0 0 300 400]", {0, 0, 300, 400}},  // inherited from the root
        {"/MediaBox [0 0 612]", "", kA4},
        {"/MediaBox [0 0 (x) 792]", "", kA4},
        {"/MediaBox 5", "", kA4},
        {"", "", kA4},
        {"/MediaBox [0.5 -10 100.25 50]", "", {0.5, -10, 100.25, 50}},
    };
    for (const auto& c : cases) {
        auto info = single_page(c.page, c.root);
        EXPECT_EQ(info.media_box, c.box) << c.page << " | " << c.root;
        EXPECT_EQ(info.number, 1u);
    }
}

TEST(PageGeometry, NumbersAreThirtyTwoBitFloats) {
    auto info = single_page("/MediaBox [0 0 595.276 841.89]");
    EXPECT_EQ(info.media_box.x1, static_cast<double>(595.276f));
    EXPECT_EQ(info.media_box.y1, static_cast<double>(841.89f));
    info = single_page("/MediaBox [0 0 16777217 1]");  // not representable in a float
    EXPECT_EQ(info.media_box.x1, 16777216.0);
}

TEST(PageGeometry, MediaBoxElementByReference) {
    PdfBuilder b;
    int n = b.add("612");
    int s = b.add("(x)");
    b.simple_document({{"/MediaBox [0 0 " + PdfBuilder::ref(n) + " 792]", ""},
                       {"/MediaBox [0 0 " + PdfBuilder::ref(s) + " 792]", ""}});
    auto pages = open_ok(b.write("refbox.pdf")).pages();
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(pages[0].media_box, (Rect{0, 0, 612, 792}));
    EXPECT_EQ(pages[1].media_box, kA4);
}

TEST(PageGeometry, Rotation) {
    struct Case { const char* page; const char* root; int rotation; };
    const Case cases[] = {
        {"/Rotate 90", "", 1}, {"/Rotate 180", "", 2}, {"/Rotate 270", "", 3}, {"/Rotate -90", "", 3},
        {"/Rotate 450", "", 1}, {"/Rotate 45", "", 0}, {"/Rotate 90.0", "", 0}, {"/Rotate /x", "", 0},
        {"", "/Rotate 180", 2}, {"/Rotate 0", "/Rotate 180", 0}, {"/Rotate -720", "", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(single_page(c.page, c.root).rotation, c.rotation) << c.page << c.root;
}

TEST(PageTree, ParentLoopEndsWithoutAnswer) {
    // The page's /Parent chain loops between two intermediate nodes that are
    // not the page tree's listed parents; qpdf lists the page, and the walk
    // must give up after 64 nodes.
    PdfBuilder b;
    auto ids = b.simple_document({{"", ""}});
    auto pdf = open_ok(b.write("loop.pdf"));
    ASSERT_EQ(pdf.pages().size(), 1u);
    // Rewire /Parent into a loop in memory: a -> b -> a.
    auto& impl = pdf.impl();
    auto a = impl.qpdf->makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Pages >>"));
    auto c = impl.qpdf->makeIndirectObject(QPDFObjectHandle::parse("<< /Type /Pages >>"));
    a.replaceKey("/Parent", c);
    c.replaceKey("/Parent", a);
    auto page = impl.qpdf->getObject(impl.page_ids[0]);
    page.replaceKey("/Parent", a);
    EXPECT_FALSE(impl.inherited(impl.page_ids[0], "Nowhere").has_value());
    EXPECT_EQ(impl.page_info(1, impl.page_ids[0]).media_box, kA4);
    (void)ids;
}

TEST(PageTree, InheritanceThroughIntermediateNode) {
    PdfBuilder b;
    int root = b.reserve();
    int mid = b.reserve();
    int content = b.add_stream("");
    int page = b.add("<< /Type /Page /Parent " + PdfBuilder::ref(mid) + " /Contents " + PdfBuilder::ref(content) + " >>");
    b.set(mid, "<< /Type /Pages /Parent " + PdfBuilder::ref(root) + " /Kids [" + PdfBuilder::ref(page) +
                   "] /Count 1 /Rotate 270 >>");
    b.set(root, "<< /Type /Pages /Kids [" + PdfBuilder::ref(mid) + "] /Count 1 /MediaBox [0 0 200 100] >>");
    b.set_catalog(b.add("<< /Type /Catalog /Pages " + PdfBuilder::ref(root) + " >>"));
    auto pages = open_ok(b.write("mid.pdf")).pages();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(pages[0].media_box, (Rect{0, 0, 200, 100}));
    EXPECT_EQ(pages[0].rotation, 3);
}

TEST(PageContent, StreamsJoinedWithLineFeed) {
    PdfBuilder b;
    int root = b.reserve();
    int c1 = b.add_stream("BT /F1 12 Tf", "", true);
    int c2 = b.add_stream("(x) Tj ET");
    int page = b.add("<< /Type /Page /Parent " + PdfBuilder::ref(root) + " /Contents [" + PdfBuilder::ref(c1) + " " +
                     PdfBuilder::ref(c2) + "] >>");
    b.set(root, "<< /Type /Pages /Kids [" + PdfBuilder::ref(page) + "] /Count 1 >>");
    b.set_catalog(b.add("<< /Type /Catalog /Pages " + PdfBuilder::ref(root) + " >>"));
    auto pdf = open_ok(b.write("join.pdf"));
    auto content = pdf.page_content(1);
    ASSERT_TRUE(content.has_value());
    EXPECT_EQ(*content, "BT /F1 12 Tf\n(x) Tj ET");
}

TEST(PageContent, Errors) {
    PdfBuilder b;
    b.simple_document({{"", "q Q"}});
    auto pdf = open_ok(b.write("one.pdf"));
    for (std::uint32_t n : {0u, 2u}) {
        auto content = pdf.page_content(n);
        ASSERT_FALSE(content.has_value());
        EXPECT_EQ(content.error().kind, Error::Kind::PageNotFound);
        EXPECT_EQ(content.error().page, n);
    }
}

TEST(PageContent, UndecodableStreamIsMalformed) {
    PdfBuilder b;
    int root = b.reserve();
    int c = b.add("<< /Length 5 /Filter /FlateDecode >>\nstream\nnot z\nendstream");
    int page = b.add("<< /Type /Page /Parent " + PdfBuilder::ref(root) + " /Contents " + PdfBuilder::ref(c) + " >>");
    b.set(root, "<< /Type /Pages /Kids [" + PdfBuilder::ref(page) + "] /Count 1 >>");
    b.set_catalog(b.add("<< /Type /Catalog /Pages " + PdfBuilder::ref(root) + " >>"));
    auto content = open_ok(b.write("badflate.pdf")).page_content(1);
    ASSERT_FALSE(content.has_value());
    EXPECT_EQ(content.error().kind, Error::Kind::MalformedPdf);
}

TEST(Open, Errors) {
    auto missing = Pdf::open("/nonexistent/inkra.pdf");
    ASSERT_FALSE(missing.has_value());
    EXPECT_TRUE(missing.error().is_not_found());

    auto text = Pdf::open(PdfBuilder::write_file("notes.txt", "just some text\n"));
    ASSERT_FALSE(text.has_value());
    EXPECT_EQ(text.error().kind, Error::Kind::MalformedPdf);
    EXPECT_EQ(text.error().text().rfind("malformed PDF: ", 0), 0u);

    auto dir = Pdf::open(std::filesystem::temp_directory_path().string());
    ASSERT_FALSE(dir.has_value());
    EXPECT_EQ(dir.error().kind, Error::Kind::Io);
    EXPECT_FALSE(dir.error().is_not_found());
}

TEST(ObjectHelpers, LookupNamesFilters) {
    PdfBuilder b;
    int name = b.add("/Indirect");
    int filt = b.add("/ASCIIHexDecode");
    int dict = b.add("<< /N /Direct /R " + PdfBuilder::ref(name) + " /Bad <ff> /U /A#C3#A9 /F [/FlateDecode " +
                     PdfBuilder::ref(filt) + " 5] /G /LZWDecode /Dangling 99 0 R >>");
    b.simple_document({{"/Extra " + PdfBuilder::ref(dict), ""}});
    auto pdf = open_ok(b.write("helpers.pdf"));
    auto d = pdf.impl().qpdf->getObject(dict, 0);

    EXPECT_EQ(name_of(d, "N"), "Direct");
    EXPECT_EQ(name_of(d, "R"), std::nullopt);  // references are not followed
    EXPECT_EQ(name_of(d, "Bad"), std::nullopt);
    EXPECT_EQ(name_of(d, "U"), "A\xC3\xA9");
    EXPECT_EQ(name_of(d, "Missing"), std::nullopt);

    auto r = lookup(d, "R");
    ASSERT_TRUE(r.has_value());
    EXPECT_TRUE(r->isName());
    EXPECT_FALSE(lookup(d, "Missing").has_value());
    EXPECT_FALSE(lookup(d, "Dangling").has_value());

    auto fd = QPDFObjectHandle::parse("<< /Filter [/FlateDecode 5 /DCTDecode] >>");
    EXPECT_EQ(filters_of(fd), (std::vector<std::string>{"FlateDecode", "DCTDecode"}));
    EXPECT_EQ(filters_of(QPDFObjectHandle::parse("<< /Filter /LZWDecode >>")), std::vector<std::string>{"LZWDecode"});
    EXPECT_TRUE(filters_of(QPDFObjectHandle::parse("<< /Filter 3 >>")).empty());
    EXPECT_TRUE(filters_of(QPDFObjectHandle::parse("<< >>")).empty());
    auto via_ref = filters_of(d.getKey("/F").isArray() ? QPDFObjectHandle::parse("<< >>") : d);
    EXPECT_TRUE(via_ref.empty());

    auto resolved = pdf.impl().resolve(d.getKey("/R"));
    ASSERT_TRUE(resolved.has_value());
    EXPECT_EQ(resolved->getName(), "/Indirect");
}
