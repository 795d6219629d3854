#include "images.hpp"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <limits>

namespace inkra {

namespace {

std::string num(std::uint64_t v) { return std::to_string(v); }

// a × b, or nothing when the product does not fit in 64 bits.
std::optional<std::uint64_t> times(std::uint64_t a, std::uint64_t b) {
    std::uint64_t out = 0;
    if (__builtin_mul_overflow(a, b, &out)) return std::nullopt;
    return out;
}

// ---- PNG writing ----
//
// libpng reports errors by calling back and expecting the callback never to
// return; it leaves through longjmp. The frame that calls setjmp therefore
// holds nothing with a destructor, and the sink it writes to lives in the
// caller's frame.

struct PngSink {
    std::string out;
    bool out_of_memory = false;
    char error[200] = {};
};

void png_fail(png_structp png, png_const_charp message) {
    auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
    std::size_t n = message ? std::strlen(message) : 0;
    n = std::min(n, sizeof sink->error - 1);
    if (n) std::memcpy(sink->error, message, n);
    sink->error[n] = '\0';
    png_longjmp(png, 1);
}

// The library never prints.
void png_ignore_warning(png_structp, png_const_charp) {}

void png_append(png_structp png, png_bytep bytes, png_size_t length) {
    auto* sink = static_cast<PngSink*>(png_get_io_ptr(png));
    try {
        sink->out.append(reinterpret_cast<const char*>(bytes), length);
    } catch (...) {
        sink->out_of_memory = true;
    }
    if (sink->out_of_memory) png_error(png, "out of memory");
}

void png_no_flush(png_structp) {}

bool write_rows(png_structp png, png_infop info, const unsigned char* samples, std::uint32_t width,
                std::uint32_t height, int channels) {
    if (setjmp(png_jmpbuf(png))) return false;
    // Any size a PNG can carry; the caller has already checked the samples exist.
    png_set_user_limits(png, PNG_UINT_31_MAX, PNG_UINT_31_MAX);
    png_set_IHDR(png, info, width, height, 8, channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_ALL_FILTERS);
    png_write_info(png, info);
    const std::size_t stride = std::size_t{width} * static_cast<std::size_t>(channels);
    for (std::uint32_t y = 0; y < height; ++y)
        png_write_row(png, const_cast<png_bytep>(samples + std::size_t{y} * stride));
    png_write_end(png, nullptr);
    return true;
}

// `samples` holds exactly width × height × channels bytes.
std::expected<std::string, std::string> encode_png(const unsigned char* samples, std::uint32_t width,
                                                   std::uint32_t height, int channels) {
    PngSink sink;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, png_fail, png_ignore_warning);
    if (!png) return std::unexpected("PNG encoding failed: out of memory");
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return std::unexpected("PNG encoding failed: out of memory");
    }
    png_set_write_fn(png, &sink, png_append, png_no_flush);
    const bool ok = write_rows(png, info, samples, width, height, channels);
    png_destroy_write_struct(&png, &info);
    if (!ok) return std::unexpected("PNG encoding failed: " + std::string(sink.error));
    return std::move(sink.out);
}

// ---- sample paths ----

Encoded encode_direct(const RawImage& raw, int channels) {
    const auto n = times(std::uint64_t{raw.width} * raw.height, static_cast<std::uint64_t>(channels));
    if (!n) return std::unexpected("image dimensions overflow");
    if (raw.data.size() < *n)
        return std::unexpected("truncated: " + num(raw.data.size()) + " sample bytes for a " + num(raw.width) + "x" +
                               num(raw.height) + " image needing " + num(*n));
    auto png = encode_png(reinterpret_cast<const unsigned char*>(raw.data.data()), raw.width, raw.height, channels);
    if (!png) return std::unexpected(std::move(png.error()));
    return Image{raw.name, ImageBytes(std::move(*png)), raw.width, raw.height, raw.has_mask, ImageFormat::Png};
}

// The same image with other samples of another colour kind.
RawImage with_samples(const RawImage& raw, std::string data, ImageColorKind kind) {
    RawImage out;
    out.name = raw.name;
    out.data = std::move(data);
    out.width = raw.width;
    out.height = raw.height;
    out.has_mask = raw.has_mask;
    out.color_space = kind;
    out.bits_per_component = raw.bits_per_component;
    return out;
}

std::size_t entry_size(ImageColorKind base) {
    switch (base) {
    case ImageColorKind::Rgb: return 3;
    case ImageColorKind::Cmyk: return 4;
    default: return 1;
    }
}

}  // namespace

// ---- records ----

ImageBytes::ImageBytes(std::string bytes) : bytes_(std::make_shared<const std::string>(std::move(bytes))) {}

std::string_view extension(ImageFormat format) {
    switch (format) {
    case ImageFormat::Jpg: return "jpg";
    case ImageFormat::Jp2: return "jp2";
    case ImageFormat::Png: return "png";
    }
    return "png";
}

std::string Image::file_name() const { return name + "." + std::string(extension(format)); }

// ---- operations ----

Encoded encode_cmyk(const RawImage& raw) {
    const std::uint64_t pixels = std::uint64_t{raw.width} * raw.height;
    const auto n = times(pixels, 4);
    if (!n) return std::unexpected("image dimensions overflow");
    if (raw.data.size() < *n)
        return std::unexpected("truncated: " + num(raw.data.size()) + " sample bytes for a " + num(raw.width) + "x" +
                               num(raw.height) + " CMYK image needing " + num(*n));
    std::string rgb(static_cast<std::size_t>(pixels) * 3, '\0');
    const auto* src = reinterpret_cast<const unsigned char*>(raw.data.data());
    for (std::size_t p = 0; p < pixels; ++p) {
        const unsigned c = src[4 * p], m = src[4 * p + 1], y = src[4 * p + 2], k = src[4 * p + 3];
        rgb[3 * p] = static_cast<char>((255 - c) * (255 - k) / 255);
        rgb[3 * p + 1] = static_cast<char>((255 - m) * (255 - k) / 255);
        rgb[3 * p + 2] = static_cast<char>((255 - y) * (255 - k) / 255);
    }
    return encode_samples(with_samples(raw, std::move(rgb), ImageColorKind::Rgb));
}

Encoded encode_indexed(const RawImage& raw) {
    if (!raw.palette) return std::unexpected("indexed image with no palette");
    const auto& [palette, base] = *raw.palette;
    if (base == ImageColorKind::Unresolved) return std::unexpected("palette in an unresolved colour space");
    const std::size_t entry = entry_size(base);
    const std::uint64_t pixels = std::uint64_t{raw.width} * raw.height;
    if (raw.data.size() < pixels)
        return std::unexpected("truncated: " + num(raw.data.size()) + " index bytes for a " + num(raw.width) + "x" +
                               num(raw.height) + " image");
    // Pixels are no more than the index bytes present, so this stays within
    // a small multiple of the data.
    const std::size_t entries = palette.size() / entry;
    std::string samples(static_cast<std::size_t>(pixels) * entry, '\0');
    const auto* index = reinterpret_cast<const unsigned char*>(raw.data.data());
    for (std::size_t p = 0; p < pixels; ++p)
        if (index[p] < entries) std::memcpy(samples.data() + p * entry, palette.data() + index[p] * entry, entry);
    return encode_samples(with_samples(raw, std::move(samples), base));
}

Encoded encode_samples(const RawImage& raw) {
    if (raw.bits_per_component != 8)
        return std::unexpected(num(raw.bits_per_component) + "-bit samples are not yet unpacked");
    switch (raw.color_space) {
    case ImageColorKind::Gray: return encode_direct(raw, 1);
    case ImageColorKind::Rgb: return encode_direct(raw, 3);
    case ImageColorKind::Cmyk: return encode_cmyk(raw);
    case ImageColorKind::Indexed: return encode_indexed(raw);
    case ImageColorKind::Unresolved: break;
    }
    return std::unexpected("unresolved colour space");
}

ExtractedImage extract_one(RawImage raw) {
    const std::string_view last = raw.filters.empty() ? std::string_view() : std::string_view(raw.filters.back());
    auto pass = [&](ImageFormat format) -> ExtractedImage {
        return Image{std::move(raw.name), ImageBytes(std::move(raw.data)), raw.width, raw.height, raw.has_mask,
                     format};
    };
    if (last == "DCTDecode" || last == "DCT") return pass(ImageFormat::Jpg);
    if (last == "JPXDecode") return pass(ImageFormat::Jp2);
    if (last == "CCITTFaxDecode" || last == "CCF" || last == "JBIG2Decode")
        return UndecodedImage{std::move(raw.name), std::string(last) + " is not decoded"};
    auto encoded = encode_samples(raw);
    if (!encoded) return UndecodedImage{std::move(raw.name), std::move(encoded.error())};
    return std::move(*encoded);
}

Rect unit_square_bounds(const Matrix& m) {
    const auto [a, b, c, d, e, f] = m;
    const double xs[4] = {e, a + e, c + e, a + c + e};
    const double ys[4] = {f, b + f, d + f, b + d + f};
    return Rect{*std::min_element(xs, xs + 4), *std::min_element(ys, ys + 4), *std::max_element(xs, xs + 4),
                *std::max_element(ys, ys + 4)};
}

std::vector<PlacedImage> extract_placed(std::vector<RawImage> raw, std::span<const XObjectUse> uses) {
    std::vector<PlacedImage> out;
    out.reserve(raw.size());
    for (RawImage& image : raw) {
        const std::string name = image.name;
        // Each draw copies the record; the encoded bytes themselves are shared.
        ExtractedImage extracted = extract_one(std::move(image));
        bool drawn = false;
        for (const XObjectUse& use : uses) {
            if (use.name != name) continue;
            out.push_back(PlacedImage{unit_square_bounds(use.ctm), extracted});
            drawn = true;
        }
        if (!drawn) out.push_back(PlacedImage{std::nullopt, std::move(extracted)});
    }
    return out;
}

}  // namespace inkra
