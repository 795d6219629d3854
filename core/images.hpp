// Images: a page's raw image records decoded into files a caller can write
// (JPEG and JPEG 2000 as stored, everything else re-encoded as PNG), and
// placed where the content stream drew them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "types.hpp"

namespace inkra {

enum class ImageFormat : std::uint8_t { Jpg, Jp2, Png };

// "jpg", "jp2" or "png": the file extension and the name shown to callers.
std::string_view extension(ImageFormat format);

// An encoded file's bytes. Immutable and shared between copies, so that an
// image drawn a thousand times holds its bytes once.
class ImageBytes {
public:
    ImageBytes() = default;
    explicit ImageBytes(std::string bytes);

    std::string_view view() const { return bytes_ ? std::string_view(*bytes_) : std::string_view(); }
    operator std::string_view() const { return view(); }
    const char* data() const { return view().data(); }
    std::size_t size() const { return view().size(); }
    bool empty() const { return view().empty(); }
    std::string_view::const_iterator begin() const { return view().begin(); }
    std::string_view::const_iterator end() const { return view().end(); }

    friend bool operator==(const ImageBytes& a, const ImageBytes& b) { return a.view() == b.view(); }
    friend bool operator==(const ImageBytes& a, std::string_view b) { return a.view() == b; }

private:
    std::shared_ptr<const std::string> bytes_;
};

struct Image {
    std::string name;
    ImageBytes data;  // the complete file: JPEG, JPEG 2000 or PNG
    std::uint32_t width = 0, height = 0;
    bool dropped_transparency = false;  // a mask was declared and left out of `data`
    ImageFormat format = ImageFormat::Png;

    // "{name}.{extension}", for example Im0.jpg.
    std::string file_name() const;
};

struct UndecodedImage {
    std::string name;
    std::string reason;  // one line, no trailing full stop
};

using ExtractedImage = std::variant<Image, UndecodedImage>;

struct PlacedImage {
    std::optional<Rect> bbox;  // absent when no draw of the image was seen
    ExtractedImage image;
};

// Decoded, or the reason it could not be.
using Encoded = std::expected<Image, std::string>;

// Each raw image decoded once and placed at each of its draws among `uses`
// (in use order), or once without a box when it was never drawn. Images come
// out in the given order.
std::vector<PlacedImage> extract_placed(std::vector<RawImage> raw, std::span<const XObjectUse> uses);

// JPEG and JPEG 2000 passed through, fax and JBIG2 refused, the rest as PNG.
ExtractedImage extract_one(RawImage raw);

// The PNG path: 8-bit grey, RGB, CMYK and indexed samples.
Encoded encode_samples(const RawImage& raw);
// Its two conversions: CMYK to RGB, palette indices to the base's samples.
Encoded encode_cmyk(const RawImage& raw);
Encoded encode_indexed(const RawImage& raw);

// The bounding box of the unit square carried through `ctm`.
Rect unit_square_bounds(const Matrix& ctm);

}  // namespace inkra
