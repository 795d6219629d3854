// Image resource reading: the page's image XObjects copied out with what the
// image decoder needs; picture codecs' data stays as stored.
#include <algorithm>
#include <exception>
#include <limits>

#include "parser.hpp"
#include "parser_internal.hpp"

namespace inkra {

namespace {

std::optional<std::uint32_t> image_extent(Object dict, std::string_view key) {
    auto v = lookup(dict, key);
    if (!v || !v->isInteger()) return std::nullopt;
    long long n = v->getIntValue();
    // A size past 32 bits cannot be a real image; skip it rather than wrap.
    if (n <= 0 || static_cast<unsigned long long>(n) > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
    return static_cast<std::uint32_t>(n);
}

std::uint8_t bits_per_component(Object dict) {
    auto v = lookup(dict, "BitsPerComponent");
    if (!v || !v->isInteger()) return 8;
    return static_cast<std::uint8_t>(std::clamp<long long>(v->getIntValue(), 1, 16));
}

ImageColorKind icc_kind(Object space) {
    if (space.getArrayNItems() < 2) return ImageColorKind::Unresolved;
    Object profile = space.getArrayItem(1);
    if (!profile.isStream()) return ImageColorKind::Unresolved;
    Object n = profile.getDict().getKey("/N");
    if (!n.isInteger()) return ImageColorKind::Unresolved;
    switch (n.getIntValue()) {
    case 1: return ImageColorKind::Gray;
    case 3: return ImageColorKind::Rgb;
    case 4: return ImageColorKind::Cmyk;
    default: return ImageColorKind::Unresolved;
    }
}

ImageColorKind color_kind(std::optional<Object> space) {
    if (!space) return ImageColorKind::Unresolved;
    if (space->isName()) return classify_color_space(name_text(*space));
    return color_space_of_object(*space);
}

std::optional<std::pair<std::string, ImageColorKind>> palette_of(std::optional<Object> space) {
    if (!space || !space->isArray() || space->getArrayNItems() < 2) return std::nullopt;
    Object family = space->getArrayItem(0);
    if (!family.isName() || (family.getName() != "/Indexed" && family.getName() != "/I")) return std::nullopt;
    ImageColorKind base = color_kind(space->getArrayItem(1));
    if (base == ImageColorKind::Unresolved || space->getArrayNItems() < 4) return std::nullopt;
    Object lookup_table = space->getArrayItem(3);
    if (lookup_table.isString()) return std::pair{lookup_table.getStringValue(), base};
    if (lookup_table.isStream()) {
        auto bytes = decode_stream(lookup_table);
        if (!bytes) bytes = raw_stream(lookup_table);
        if (bytes) return std::pair{std::move(*bytes), base};
    }
    return std::nullopt;
}

std::optional<RawImage> read_image(const std::string& key, Object value) {
    if (!value.isStream()) return std::nullopt;
    Object dict = value.getDict();
    Object subtype = dict.getKey("/Subtype");
    if (!subtype.isName() || subtype.getName() != "/Image") return std::nullopt;
    auto width = image_extent(dict, "Width");
    auto height = image_extent(dict, "Height");
    if (!width || !height) return std::nullopt;

    RawImage image;
    image.name = key_text(key);
    image.width = *width;
    image.height = *height;
    image.filters = filters_of(dict);
    std::optional<std::string> data;
    if (image.filters.empty() || !is_image_codec(image.filters.back())) data = decode_stream(value);
    if (!data) data = raw_stream(value);
    if (!data) return std::nullopt;  // past the size ceiling even as stored
    image.data = std::move(*data);
    image.bits_per_component = bits_per_component(dict);
    auto space = lookup(dict, "ColorSpace");
    image.color_space = color_kind(space);
    image.palette = palette_of(space);
    // Present whatever its value: the reader's own key test hides nulls and
    // dangling references.
    auto keys = dict.getDictAsMap();
    image.has_mask = keys.contains("/SMask") || keys.contains("/Mask");
    return image;
}

}  // namespace

bool is_image_codec(std::string_view filter) {
    return filter == "DCTDecode" || filter == "DCT" || filter == "JPXDecode" || filter == "JBIG2Decode" ||
           filter == "CCITTFaxDecode" || filter == "CCF";
}

ImageColorKind classify_color_space(std::string_view name) {
    if (name == "DeviceGray" || name == "CalGray" || name == "G") return ImageColorKind::Gray;
    if (name == "DeviceRGB" || name == "CalRGB" || name == "RGB") return ImageColorKind::Rgb;
    if (name == "DeviceCMYK" || name == "CMYK") return ImageColorKind::Cmyk;
    if (name == "Indexed" || name == "I") return ImageColorKind::Indexed;
    return ImageColorKind::Unresolved;
}

ImageColorKind color_space_of_object(Object space) {
    try {
        if (!space.isArray() || space.getArrayNItems() < 1) return ImageColorKind::Unresolved;
        Object family = space.getArrayItem(0);
        if (!family.isName()) return ImageColorKind::Unresolved;
        std::string name = name_text(family);
        if (name == "ICCBased") return icc_kind(space);
        return classify_color_space(name);
    } catch (const std::exception&) {
        return ImageColorKind::Unresolved;
    }
}

Result<std::vector<RawImage>> Pdf::page_raw_images(std::uint32_t number) const {
    auto id = impl_->page_id(number);
    if (!id) return std::unexpected(Error::page_not_found(number));
    std::vector<RawImage> out;
    std::vector<std::pair<std::string, Object>> entries;
    try {
        auto resources = impl_->page_resources(*id);
        if (!resources) return out;
        auto xobjects = lookup(*resources, "XObject");
        if (!xobjects || !xobjects->isDictionary()) return out;
        for (auto& [key, value] : xobjects->getDictAsMap()) entries.emplace_back(key, value);
    } catch (const std::exception&) {
        return out;
    }
    for (auto& [key, value] : entries) {
        try {
            if (auto image = read_image(key, value)) out.push_back(std::move(*image));
        } catch (const std::exception&) {
        }
    }
    return out;
}

}  // namespace inkra
