// Image decoding and placement: samples to PNG (read back with libpng),
// codecs passed through or refused, and boxes from the drawing matrices.
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <span>

#include "document.hpp"
#include "images.hpp"
#include "pdf_builder.hpp"

using namespace inkra;
using inkra::test::PdfBuilder;

namespace {

using K = ImageColorKind;

struct Pixels {
    std::uint32_t width = 0, height = 0;
    int channels = 0;
    std::string samples;
};

// The PNG read back as written; nothing when it is not an 8-bit grey or RGB
// PNG. libpng's own reader, with its size limits lifted like the writer's.
struct PngSource {
    std::string_view bytes;
    std::size_t at = 0;
};

void read_from(png_structp png, png_bytep out, png_size_t n) {
    auto* src = static_cast<PngSource*>(png_get_io_ptr(png));
    if (src->bytes.size() - src->at < n) png_error(png, "short");
    std::memcpy(out, src->bytes.data() + src->at, n);
    src->at += n;
}

void quiet(png_structp, png_const_charp) {}

// Nothing with a destructor in this frame: libpng leaves it by longjmp.
bool read_rows(png_structp png, png_infop info, Pixels* out) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_read_info(png, info);
    const int type = png_get_color_type(png, info);
    if (png_get_bit_depth(png, info) != 8 || (type != PNG_COLOR_TYPE_GRAY && type != PNG_COLOR_TYPE_RGB)) return false;
    out->width = png_get_image_width(png, info);
    out->height = png_get_image_height(png, info);
    out->channels = type == PNG_COLOR_TYPE_GRAY ? 1 : 3;
    const std::size_t stride = std::size_t{out->width} * static_cast<std::size_t>(out->channels);
    out->samples.resize(stride * out->height);
    for (std::uint32_t y = 0; y < out->height; ++y)
        png_read_row(png, reinterpret_cast<png_bytep>(out->samples.data() + y * stride), nullptr);
    png_read_end(png, nullptr);
    return true;
}

std::optional<Pixels> read_png(std::string_view bytes) {
    PngSource src{bytes};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, quiet);
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &src, read_from);
    Pixels out;
    const bool ok = read_rows(png, info, &out);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!ok) return std::nullopt;
    return out;
}

RawImage raw(K kind, std::string data, std::uint32_t w, std::uint32_t h, std::uint8_t bits = 8) {
    RawImage r;
    r.name = "Im0";
    r.data = std::move(data);
    r.width = w;
    r.height = h;
    r.color_space = kind;
    r.bits_per_component = bits;
    return r;
}

RawImage indexed(std::string indices, std::uint32_t w, std::uint32_t h, std::string palette, K base) {
    RawImage r = raw(K::Indexed, std::move(indices), w, h);
    r.palette = {{std::move(palette), base}};
    return r;
}

RawImage with_bits(RawImage r, std::uint8_t bits) {
    r.bits_per_component = bits;
    return r;
}

std::string bytes(std::initializer_list<int> v) {
    std::string out;
    for (int b : v) out.push_back(static_cast<char>(b));
    return out;
}

// w × h × channels bytes of a pattern that no filter guesses.
std::string pattern(std::size_t n) {
    std::string out(n, '\0');
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>((i * 7919 + i / 13) & 0xff);
    return out;
}

const Image* decoded(const ExtractedImage& e) { return std::get_if<Image>(&e); }
std::string reason(const ExtractedImage& e) {
    const auto* u = std::get_if<UndecodedImage>(&e);
    return u ? u->reason : "(decoded)";
}

}  // namespace

// ---- samples to PNG ----

struct PngCase {
    const char* label;
    RawImage image;
    int channels;          // of the PNG written
    std::string expected;  // its samples, row after row
};

TEST(ImageDecoding, SamplesBecomePngWithTheRightPixels) {
    const std::string rgb = pattern(100 * 50 * 3);
    const std::string palette = bytes({10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120});  // 4 RGB entries
    const std::vector<PngCase> cases = {
        {"gray", raw(K::Gray, bytes({0, 64, 128, 255, 1, 2}), 3, 2), 1, bytes({0, 64, 128, 255, 1, 2})},
        {"rgb exact", raw(K::Rgb, rgb, 100, 50), 3, rgb},
        {"rgb with a spare byte", raw(K::Rgb, rgb + "x", 100, 50), 3, rgb},
        // Wider than libpng accepts by default, yet a valid PNG.
        {"very wide gray", raw(K::Gray, pattern(1100000), 1100000, 1), 1, pattern(1100000)},
        {"cmyk", raw(K::Cmyk, bytes({0, 0, 0, 0, 0, 0, 0, 255, 255, 0, 0, 0, 10, 20, 30, 40}), 2, 2), 3,
         bytes({255, 255, 255, 0, 0, 0, 0, 255, 255, 245 * 215 / 255, 235 * 215 / 255, 225 * 215 / 255})},
        // Indices 4 and 255 lie beyond the 4 entries given and read as black.
        {"indexed rgb", indexed(bytes({0, 1, 2, 3, 4, 255}), 3, 2, palette, K::Rgb), 3,
         palette + std::string(6, '\0')},
        {"indexed gray", indexed(bytes({2, 0, 1, 3}), 2, 2, bytes({0, 128, 255}), K::Gray), 1,
         bytes({255, 0, 128, 0})},
        // A missing CMYK entry is zero ink, which is white once converted.
        {"indexed cmyk", indexed(bytes({0, 1}), 2, 1, bytes({0, 0, 0, 255}), K::Cmyk), 3,
         bytes({0, 0, 0, 255, 255, 255})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto encoded = encode_samples(c.image);
        ASSERT_TRUE(encoded.has_value()) << encoded.error();
        EXPECT_EQ(encoded->format, ImageFormat::Png);
        EXPECT_EQ(encoded->width, c.image.width);
        EXPECT_EQ(encoded->height, c.image.height);
        EXPECT_EQ(encoded->name, "Im0");
        auto px = read_png(encoded->data);
        ASSERT_TRUE(px.has_value());
        EXPECT_EQ(px->width, c.image.width);
        EXPECT_EQ(px->height, c.image.height);
        EXPECT_EQ(px->channels, c.channels);
        EXPECT_TRUE(px->samples == c.expected);
    }
}

TEST(ImageDecoding, UndecodableSamplesKeepTheirReason) {
    struct Case {
        const char* label;
        RawImage image;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"truncated rgb", raw(K::Rgb, pattern(14999), 100, 50),
         "truncated: 14999 sample bytes for a 100x50 image needing 15000"},
        {"truncated gray", raw(K::Gray, "abc", 2, 2), "truncated: 3 sample bytes for a 2x2 image needing 4"},
        {"truncated cmyk", raw(K::Cmyk, pattern(15), 2, 2),
         "truncated: 15 sample bytes for a 2x2 CMYK image needing 16"},
        {"truncated indices", indexed("abc", 2, 2, "xyz", K::Rgb), "truncated: 3 index bytes for a 2x2 image"},
        // A declared size that the data cannot back is refused before any allocation.
        {"huge gray", raw(K::Gray, pattern(1024), 100000, 100000),
         "truncated: 1024 sample bytes for a 100000x100000 image needing 10000000000"},
        {"huge indexed", indexed(pattern(1024), 100000, 100000, "abc", K::Rgb),
         "truncated: 1024 index bytes for a 100000x100000 image"},
        {"rgb overflow", raw(K::Rgb, "x", 0xffffffffu, 0xffffffffu), "image dimensions overflow"},
        {"cmyk overflow", raw(K::Cmyk, "x", 0xffffffffu, 0xffffffffu), "image dimensions overflow"},
        {"1-bit", raw(K::Gray, "x", 8, 1, 1), "1-bit samples are not yet unpacked"},
        {"2-bit", raw(K::Rgb, "x", 1, 1, 2), "2-bit samples are not yet unpacked"},
        {"4-bit indexed", with_bits(indexed("x", 2, 1, "abc", K::Rgb), 4), "4-bit samples are not yet unpacked"},
        {"16-bit", raw(K::Rgb, pattern(12), 1, 1, 16), "16-bit samples are not yet unpacked"},
        // The bit depth is judged before the colour space.
        {"16-bit unresolved", raw(K::Unresolved, "x", 1, 1, 16), "16-bit samples are not yet unpacked"},
        {"unresolved", raw(K::Unresolved, "xyz", 1, 1), "unresolved colour space"},
        {"no palette", raw(K::Indexed, "x", 1, 1), "indexed image with no palette"},
        {"unresolved palette", indexed("x", 1, 1, "abc", K::Unresolved), "palette in an unresolved colour space"},
        // Indices into an indexed base expand to indices again, without a palette.
        {"indexed base", indexed("x", 1, 1, "abc", K::Indexed), "indexed image with no palette"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto encoded = encode_samples(c.image);
        ASSERT_FALSE(encoded.has_value());
        EXPECT_EQ(encoded.error(), c.reason);
        EXPECT_EQ(reason(extract_one(c.image)), c.reason);
    }
}

TEST(ImageDecoding, MaskIsNotedAndNamesCarryTheFormat) {
    RawImage masked = raw(K::Gray, "ab", 2, 1);
    masked.has_mask = true;
    auto png = encode_samples(masked);
    ASSERT_TRUE(png.has_value());
    EXPECT_TRUE(png->dropped_transparency);
    EXPECT_EQ(png->file_name(), "Im0.png");
    EXPECT_FALSE(encode_samples(raw(K::Gray, "ab", 2, 1))->dropped_transparency);
}

// ---- choosing the path by the last filter ----

TEST(ImageDecoding, CodecsPassThroughOrAreRefused) {
    const std::string jpeg = bytes({0xff, 0xd8, 0xff, 0xe0, 1, 2, 3, 0xff, 0xd9});
    struct Case {
        std::vector<std::string> filters;
        std::uint8_t bits;
        std::optional<ImageFormat> format;  // passed through as this, else refused
        std::string reason;
    };
    const std::vector<Case> cases = {
        {{"DCTDecode"}, 8, ImageFormat::Jpg, ""},
        {{"DCT"}, 8, ImageFormat::Jpg, ""},
        // The Flate layer stays on the stored bytes.
        {{"FlateDecode", "DCTDecode"}, 8, ImageFormat::Jpg, ""},
        {{"JPXDecode"}, 8, ImageFormat::Jp2, ""},
        // A codec's colour space and depth do not matter.
        {{"DCTDecode"}, 16, ImageFormat::Jpg, ""},
        {{"CCITTFaxDecode"}, 1, std::nullopt, "CCITTFaxDecode is not decoded"},
        {{"CCF"}, 1, std::nullopt, "CCF is not decoded"},
        {{"FlateDecode", "JBIG2Decode"}, 1, std::nullopt, "JBIG2Decode is not decoded"},
        // Only the last filter decides: samples after a codec are samples.
        {{"DCTDecode", "FlateDecode"}, 1, std::nullopt, "1-bit samples are not yet unpacked"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.filters.back());
        RawImage r = raw(K::Unresolved, jpeg, 10, 10, c.bits);
        r.filters = c.filters;
        r.has_mask = true;
        ExtractedImage e = extract_one(r);
        if (!c.format) {
            EXPECT_EQ(reason(e), c.reason);
            EXPECT_EQ(std::get<UndecodedImage>(e).name, "Im0");
            continue;
        }
        const Image* image = decoded(e);
        ASSERT_NE(image, nullptr) << reason(e);
        EXPECT_EQ(image->format, *c.format);
        EXPECT_TRUE(image->data == jpeg);
        EXPECT_TRUE(image->dropped_transparency);
        EXPECT_EQ(image->width, 10u);
        EXPECT_EQ(image->file_name(), "Im0." + std::string(extension(*c.format)));
    }
    RawImage flate = raw(K::Gray, "ab", 2, 1);
    flate.filters = {"FlateDecode"};
    ASSERT_NE(decoded(extract_one(flate)), nullptr);
    EXPECT_EQ(decoded(extract_one(flate))->format, ImageFormat::Png);
}

// ---- placement ----

TEST(ImagePlacement, BoxesFromTheMatrixOfEachDraw) {
    struct Case {
        const char* label;
        Matrix ctm;
        Rect bbox;
    };
    const std::vector<Case> cases = {
        {"scaled", {200, 0, 0, 100, 50, 60}, {50, 60, 250, 160}},
        {"flipped vertically", {200, 0, 0, -100, 50, 160}, {50, 60, 250, 160}},
        {"flipped horizontally", {-200, 0, 0, 100, 250, 60}, {50, 60, 250, 160}},
        {"rotated a quarter turn", {0, 100, -200, 0, 300, 50}, {100, 50, 300, 150}},
        {"rotated half a turn", {-200, 0, 0, -100, 250, 160}, {50, 60, 250, 160}},
        {"sheared", {100, 0, 50, 100, 0, 0}, {0, 0, 150, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto placed = extract_placed({raw(K::Gray, "a", 1, 1)}, std::vector<XObjectUse>{{"Im0", c.ctm}});
        ASSERT_EQ(placed.size(), 1u);
        ASSERT_TRUE(placed[0].bbox.has_value());
        EXPECT_EQ(*placed[0].bbox, c.bbox);
    }
}

TEST(ImagePlacement, OnePlacementPerDrawAndOneForANeverDrawnImage) {
    RawImage jpeg = raw(K::Rgb, "\xff\xd8jpeg", 4, 4);
    jpeg.filters = {"DCTDecode"};
    RawImage gray = raw(K::Gray, "ab", 2, 1);
    gray.name = "Im1";
    RawImage formed = raw(K::Gray, "ab", 2, 1);
    formed.name = "Im2";
    const std::vector<XObjectUse> uses = {
        {"Im0", {10, 0, 0, 10, 0, 0}},
        {"Fm0", kIdentity},
        {"Fm0/Im2", {5, 0, 0, 5, 1, 1}},  // drawn inside a form only: never seen drawn
        {"Im0", {20, 0, 0, 20, 100, 100}},
        {"im0", {30, 0, 0, 30, 0, 0}},  // names match byte for byte
    };
    auto placed = extract_placed({jpeg, gray, formed}, uses);
    ASSERT_EQ(placed.size(), 4u);
    // Raw image order first, then use order.
    EXPECT_EQ(placed[0].bbox, (Rect{0, 0, 10, 10}));
    EXPECT_EQ(placed[1].bbox, (Rect{100, 100, 120, 120}));
    EXPECT_FALSE(placed[2].bbox.has_value());
    EXPECT_FALSE(placed[3].bbox.has_value());
    const Image* first = decoded(placed[0].image);
    const Image* second = decoded(placed[1].image);
    ASSERT_TRUE(first && second);
    EXPECT_TRUE(first->data == second->data);
    EXPECT_EQ(first->data.data(), second->data.data());  // one copy of the bytes for both draws
    EXPECT_TRUE(first->data == std::string_view("\xff\xd8jpeg"));
    EXPECT_EQ(first->file_name(), "Im0.jpg");
    EXPECT_EQ(second->file_name(), "Im0.jpg");
    EXPECT_EQ(decoded(placed[2].image)->name, "Im1");
    EXPECT_EQ(decoded(placed[3].image)->name, "Im2");
    EXPECT_TRUE(extract_placed({}, uses).empty());
}

// ---- through the whole pipeline ----

namespace {

std::vector<const ImageBlock*> image_blocks(const Page& page) {
    std::vector<const ImageBlock*> out;
    for (const auto& b : page.blocks)
        if (const auto* ib = std::get_if<ImageBlock>(&b.content)) out.push_back(ib);
    return out;
}

}  // namespace

TEST(ImagePipeline, PageImagesAreDecodedAndPlaced) {
    PdfBuilder b;
    const std::string rgb = pattern(4 * 3 * 3);
    int drawn = b.add_stream(rgb, "/Type /XObject /Subtype /Image /Width 4 /Height 3 /ColorSpace /DeviceRGB "
                                  "/BitsPerComponent 8",
                             true);
    int fax = b.add_stream("fax", "/Type /XObject /Subtype /Image /Width 8 /Height 8 /ColorSpace /DeviceGray "
                                  "/BitsPerComponent 1 /Filter /CCITTFaxDecode");
    b.simple_document({{"/MediaBox [0 0 600 800] /Resources << /XObject << /Im0 " + PdfBuilder::ref(drawn) +
                            " /Im1 " + PdfBuilder::ref(fax) + " >> >>",
                        "q 120 0 0 90 40 500 cm /Im0 Do Q q 0 -60 80 0 300 200 cm /Im0 Do Q"}});
    auto doc = Document::open(b.write("images-pipeline.pdf"));
    ASSERT_TRUE(doc.has_value()) << doc.error().text();
    ASSERT_EQ(doc->pages.size(), 1u);
    auto images = image_blocks(doc->pages[0]);
    ASSERT_EQ(images.size(), 3u);
    std::vector<Rect> boxes;
    for (const auto* ib : std::span(images).first(2)) {
        ASSERT_TRUE(ib->image.bbox.has_value());
        boxes.push_back(*ib->image.bbox);
        const Image* image = decoded(ib->image.image);
        ASSERT_NE(image, nullptr);
        auto px = read_png(image->data);
        ASSERT_TRUE(px.has_value());
        EXPECT_EQ(px->samples, rgb);
    }
    std::sort(boxes.begin(), boxes.end(), [](const Rect& a, const Rect& b) { return a.x0 < b.x0; });
    EXPECT_EQ(boxes[0], (Rect{40, 500, 160, 590}));
    EXPECT_EQ(boxes[1], (Rect{300, 140, 380, 200}));
    // The fax image was never drawn: last, without a box, with its reason.
    EXPECT_FALSE(images[2]->image.bbox.has_value());
    EXPECT_EQ(reason(images[2]->image.image), "CCITTFaxDecode is not decoded");
    EXPECT_EQ(&images[2]->image, &std::get<ImageBlock>(doc->pages[0].blocks.back().content).image);
}

// Chromium's print of an Arabic page with a PNG drawing (64x48) and a JPEG
// photo (100x141), made by tests/data/images/make.sh.
TEST(ImagePipeline, RealProducerImagesReachTheBlocks) {
    const char* dir = std::getenv("INKRA_TESTDATA");
    if (!dir) GTEST_SKIP() << "INKRA_TESTDATA not set";
    auto doc = Document::open(std::string(dir) + "/images/photo.pdf");
    ASSERT_TRUE(doc.has_value()) << doc.error().text();
    ASSERT_EQ(doc->pages.size(), 1u);
    const Page& page = doc->pages[0];
    auto images = image_blocks(page);
    ASSERT_EQ(images.size(), 2u);
    int pngs = 0, jpegs = 0;
    for (const auto* ib : images) {
        const Image* image = decoded(ib->image.image);
        ASSERT_NE(image, nullptr) << reason(ib->image.image);
        ASSERT_TRUE(ib->image.bbox.has_value());
        const Rect box = *ib->image.bbox;
        // On the page, in its upper part, and drawn at the CSS size (px = 0.75 pt).
        EXPECT_GE(box.x0, 0);
        EXPECT_LE(box.x1, page.width);
        EXPECT_GT(box.y0, page.height / 3);
        EXPECT_LE(box.y1, page.height);
        EXPECT_FALSE(ib->is_background);
        if (image->format == ImageFormat::Png) {
            ++pngs;
            auto px = read_png(image->data);
            ASSERT_TRUE(px.has_value());
            EXPECT_EQ(px->width, 64u);
            EXPECT_EQ(px->height, 48u);
            EXPECT_NEAR(box.x1 - box.x0, 144, 1);
            EXPECT_NEAR(box.y1 - box.y0, 108, 1);
            // The top-left pixel of the drawing is (0, 0, 255).
            EXPECT_EQ(px->samples.substr(0, 3), bytes({0, 0, 255}));
        } else {
            ++jpegs;
            EXPECT_EQ(image->format, ImageFormat::Jpg);
            EXPECT_EQ(image->width, 100u);
            EXPECT_EQ(image->height, 141u);
            EXPECT_TRUE(image->data.view().starts_with("\xff\xd8"));
            EXPECT_TRUE(image->data.view().ends_with("\xff\xd9"));
            EXPECT_NEAR(box.x1 - box.x0, 75, 1);
        }
    }
    EXPECT_EQ(pngs, 1);
    EXPECT_EQ(jpegs, 1);
    EXPECT_FALSE(page.text().empty());
}
