// The placed-image records that image extraction produces and block assembly carries.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "types.hpp"

namespace inkra {

enum class ImageFormat : std::uint8_t { Jpg, Jp2, Png };

struct Image {
    std::string name;
    std::string data;
    std::uint32_t width = 0, height = 0;
    bool dropped_transparency = false;
    ImageFormat format = ImageFormat::Png;
};

struct UndecodedImage {
    std::string name;
    std::string reason;
};

using ExtractedImage = std::variant<Image, UndecodedImage>;

struct PlacedImage {
    std::optional<Rect> bbox;
    ExtractedImage image;
};

}  // namespace inkra
