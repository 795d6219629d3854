// Placeholder font model: widths only, no decoding yet.
#include "font.hpp"

namespace inkra {

Font Font::from_raw(const RawFont& raw) {
    Font f;
    f.name_ = raw.info.name;
    f.widths_ = raw.widths;
    f.first_char_ = raw.first_char;
    f.missing_width_ = raw.missing_width;
    f.is_type0_ = raw.info.subtype == "Type0";
    f.default_width_ = raw.default_width;
    f.cid_widths_ = raw.cid_widths;
    return f;
}

std::optional<std::string> Font::decode(std::uint32_t) const { return std::nullopt; }

double Font::width(std::uint32_t code) const {
    if (is_type0_) {
        for (const auto& w : cid_widths_)
            if (code >= w.first && code <= w.last) return w.width / 1000.0;
        return default_width_ / 1000.0;
    }
    if (code >= first_char_ && code - first_char_ < widths_.size()) return widths_[code - first_char_] / 1000.0;
    return missing_width_ / 1000.0;
}

bool Font::is_unmapped() const { return true; }

FontMap FontMap::from_raw(std::vector<RawFont> fonts) {
    FontMap m;
    for (const auto& raw : fonts) m.fonts_[raw.info.name] = std::make_shared<const Font>(Font::from_raw(raw));
    return m;
}

const Font* FontMap::find(std::string_view font) const {
    auto it = fonts_.find(font);
    return it == fonts_.end() ? nullptr : it->second.get();
}

std::optional<std::string> FontMap::decode(std::string_view font, std::uint32_t code) const {
    const Font* f = find(font);
    return f ? f->decode(code) : std::nullopt;
}

double FontMap::width(std::string_view font, std::uint32_t code) const {
    const Font* f = find(font);
    return f ? f->width(code) : 0.0;
}

std::vector<const Font*> FontMap::fonts() const {
    std::vector<const Font*> out;
    for (const auto& [name, f] : fonts_) out.push_back(f.get());
    return out;
}

}  // namespace inkra
