// Built against the parser with a small decoded-stream ceiling, so that a
// Flate bomb of a few kilobytes shows the ceiling holding without the test
// itself needing hundreds of megabytes.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <zlib.h>

#include "parser.hpp"
#include "parser_internal.hpp"
#include "../pdf_builder.hpp"

using namespace inkra;
using inkra::test::PdfBuilder;

namespace {

// `total` zero bytes deflated, fed in small chunks so that building the
// bomb never holds its inflated size.
std::string deflate_zeros(std::size_t total) {
    z_stream z{};
    deflateInit(&z, 9);
    std::string out;
    std::vector<unsigned char> in(1 << 16, 0), buf(1 << 16);
    std::size_t left = total;
    int flush = Z_NO_FLUSH;
    do {
        std::size_t n = std::min(left, in.size());
        left -= n;
        flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        do {
            z.next_out = buf.data();
            z.avail_out = static_cast<uInt>(buf.size());
            deflate(&z, flush);
            out.append(reinterpret_cast<char*>(buf.data()), buf.size() - z.avail_out);
        } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
    deflateEnd(&z);
    return out;
}

long peak_rss_kib() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

// A page that uses the same doubly deflated stream as form content, ToUnicode
// map, font program and image samples.
std::string bomb_pdf(std::size_t inflated, std::size_t* fixture_size) {
    std::string twice = inkra::test::deflate(deflate_zeros(inflated));
    *fixture_size = twice.size();
    PdfBuilder b;
    std::string filters = "/Filter [/FlateDecode /FlateDecode] /Length " + std::to_string(twice.size());
    auto stream = [&](const std::string& dict) {
        return b.add("<< " + dict + " " + filters + " >>\nstream\n" + twice + "\nendstream");
    };
    int form = stream("/Subtype /Form /BBox [0 0 1 1]");
    int image = stream("/Subtype /Image /Width 1 /Height 1 /ColorSpace /DeviceGray");
    int cmap = stream("");
    int program = stream("");
    int font = b.add("<< /Subtype /Type1 /ToUnicode " + PdfBuilder::ref(cmap) + " /FontDescriptor << /FontFile3 " +
                     PdfBuilder::ref(program) + " >> >>");
    b.simple_document({{"/Resources << /Font << /F1 " + PdfBuilder::ref(font) + " >> /XObject << /Fm0 " +
                            PdfBuilder::ref(form) + " /Im0 " + PdfBuilder::ref(image) + " >> >>",
                        ""}});
    return PdfBuilder::write_file("bomb-" + std::to_string(inflated) + ".pdf", b.build());
}

}  // namespace

TEST(DecodeCeiling, FlateBombIsCutOffWhileInflating) {
    ASSERT_LE(kMaxDecodedStream, std::size_t{16} << 20) << "built without the small test ceiling";
    std::size_t fixture = 0;
    auto path = bomb_pdf(std::size_t{256} << 20, &fixture);  // 32 times the ceiling, in zeros
    EXPECT_LT(fixture, std::size_t{16} << 10);
    auto pdf = Pdf::open(path);
    ASSERT_TRUE(pdf.has_value());

    long before = peak_rss_kib();
    auto forms = pdf->page_forms(1);
    auto fonts = pdf->page_raw_fonts(1);
    auto images = pdf->page_raw_images(1);
    long grown_kib = peak_rss_kib() - before;

    ASSERT_TRUE(forms && fonts && images);
    ASSERT_EQ(forms->size(), 1u);
    EXPECT_EQ(forms->front().content.size(), fixture);  // undecodable: passed on as stored
    ASSERT_FALSE(fonts->empty());
    EXPECT_FALSE(fonts->front().to_unicode.has_value());
    EXPECT_FALSE(fonts->front().font_file3.has_value());
    ASSERT_EQ(images->size(), 1u);
    EXPECT_EQ(images->front().data.size(), fixture);
    // Each decode may hold up to the ceiling (and a string's growth slack)
    // at a time, never the 256 MiB the stream inflates to.
    EXPECT_LT(grown_kib * 1024, static_cast<long>(4 * kMaxDecodedStream)) << "peak RSS grew by " << grown_kib << " KiB";
}

TEST(DecodeCeiling, StreamsBelowTheCeilingDecode) {
    std::size_t fixture = 0;
    auto pdf = Pdf::open(bomb_pdf(kMaxDecodedStream / 2, &fixture));
    ASSERT_TRUE(pdf.has_value());
    auto forms = pdf->page_forms(1);
    ASSERT_TRUE(forms && forms->size() == 1);
    EXPECT_EQ(forms->front().content, std::string(kMaxDecodedStream / 2, '\0'));
    auto exact = Pdf::open(bomb_pdf(kMaxDecodedStream, &fixture));
    ASSERT_TRUE(exact.has_value());
    EXPECT_EQ(exact->page_forms(1)->front().content.size(), kMaxDecodedStream);
}
