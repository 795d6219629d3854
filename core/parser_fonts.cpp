// Font resource reading: font dictionaries copied out whole, streams decoded,
// so that the font model never needs the document.
#include <cmath>
#include <exception>
#include <limits>
#include <map>

#include "parser.hpp"
#include "parser_internal.hpp"

namespace inkra {

namespace {

constexpr int kMaxTreeNodes = 64;
constexpr std::uint64_t kMaxU32 = std::numeric_limits<std::uint32_t>::max();

// A number as an unsigned 32-bit value, truncated toward zero; negative and
// NaN give 0, anything too large the maximum.
std::uint32_t to_u32(double v) {
    if (!(v > 0)) return 0;
    if (v >= static_cast<double>(kMaxU32)) return static_cast<std::uint32_t>(kMaxU32);
    return static_cast<std::uint32_t>(v);
}

std::uint32_t int_to_u32(long long v) {
    if (v < 0) return 0;
    if (static_cast<unsigned long long>(v) > kMaxU32) return static_cast<std::uint32_t>(kMaxU32);
    return static_cast<std::uint32_t>(v);
}

std::optional<std::string> decoded_if_stream(std::optional<Object> obj) {
    if (!obj || !obj->isStream()) return std::nullopt;
    return decode_stream(*obj);
}

std::vector<double> read_simple_widths(Object font) {
    std::vector<double> out;
    auto widths = lookup(font, "Widths");
    if (!widths || !widths->isArray()) return out;
    int n = widths->getArrayNItems();
    out.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        if (auto w = number_of(widths->getArrayItem(i))) out.push_back(*w);
    return out;
}

void read_differences(Object differences, RawFont& font) {
    std::uint64_t code = 0;
    int n = differences.getArrayNItems();
    for (int i = 0; i < n; ++i) {
        Object item = differences.getArrayItem(i);
        // Elements are taken as they stand; a reference is neither a code
        // nor a name here.
        if (item.isIndirect()) continue;
        if (item.isInteger()) {
            code = int_to_u32(item.getIntValue());
        } else if (item.isReal()) {
            code = to_u32(*number_of(item));
        } else if (item.isName()) {
            if (code < 256) font.differences.emplace_back(static_cast<std::uint8_t>(code), name_text(item));
            ++code;
        }
    }
}

void read_simple_fields(Object dict, RawFont& font) {
    if (auto first = lookup(dict, "FirstChar"); first && first->isInteger())
        font.first_char = int_to_u32(first->getIntValue());
    font.widths = read_simple_widths(dict);
    auto descriptor = lookup(dict, "FontDescriptor");
    if (descriptor && descriptor->isDictionary())
        if (auto mw = lookup(*descriptor, "MissingWidth"))
            if (auto v = number_of(*mw)) font.missing_width = *v;
    if (auto enc = lookup(dict, "Encoding")) {
        if (enc->isName()) {
            font.base_encoding = name_text(*enc);
        } else if (enc->isDictionary()) {
            if (auto base = lookup(*enc, "BaseEncoding"); base && base->isName()) font.base_encoding = name_text(*base);
            if (auto diff = lookup(*enc, "Differences"); diff && diff->isArray()) read_differences(*diff, font);
        }
    }
    if (descriptor && descriptor->isDictionary()) {
        font.font_file3 = decoded_if_stream(lookup(*descriptor, "FontFile3"));
        font.font_file = decoded_if_stream(lookup(*descriptor, "FontFile"));
    }
}

void read_cid_widths(Object w, RawFont& font) {
    int n = w.getArrayNItems();
    int pos = 0;
    while (pos < n) {
        auto first_num = number_of(w.getArrayItem(pos));
        if (!first_num || pos + 1 >= n) return;
        std::uint32_t first = to_u32(*first_num);
        Object next = w.getArrayItem(pos + 1);
        if (next.isArray()) {
            std::uint64_t cid = first;
            int m = next.getArrayNItems();
            for (int j = 0; j < m && cid <= kMaxU32; ++j, ++cid)
                if (auto width = number_of(next.getArrayItem(j)))
                    font.cid_widths.push_back({static_cast<std::uint32_t>(cid), static_cast<std::uint32_t>(cid), *width});
            pos += 2;
        } else {
            auto last = number_of(next);
            std::optional<double> width;
            if (pos + 2 < n) width = number_of(w.getArrayItem(pos + 2));
            if (last && width) font.cid_widths.push_back({first, to_u32(*last), *width});
            pos += 3;
        }
    }
}

std::optional<Object> descendant_of(Object dict) {
    auto kids = lookup(dict, "DescendantFonts");
    if (!kids || !kids->isArray() || kids->getArrayNItems() < 1) return std::nullopt;
    Object first = kids->getArrayItem(0);
    if (!first.isDictionary()) return std::nullopt;
    return first;
}

// The embedded TrueType program and its CID-to-glyph map, which only the
// Identity encodings can use.
void read_cid_truetype_program(Object dict, RawFont& font) {
    auto descendant = descendant_of(dict);
    if (!descendant) return;
    auto map = lookup(*descendant, "CIDToGIDMap");
    if (map && !(map->isName() && map->getName() == "/Identity")) {
        if (!map->isStream()) return;
        font.cid_to_gid_map = decode_stream(*map);
    }
    auto descriptor = lookup(*descendant, "FontDescriptor");
    if (!descriptor || !descriptor->isDictionary()) return;
    font.font_file2 = decoded_if_stream(lookup(*descriptor, "FontFile2"));
}

void read_type0_fields(Object dict, RawFont& font) {
    if (auto descendant = descendant_of(dict)) {
        if (auto dw = lookup(*descendant, "DW"))
            if (auto v = number_of(*dw)) font.default_width = *v;
        if (auto w = lookup(*descendant, "W"); w && w->isArray()) read_cid_widths(*w, font);
    }
    auto enc = lookup(dict, "Encoding");
    if (enc && enc->isName() && (enc->getName() == "/Identity-H" || enc->getName() == "/Identity-V"))
        read_cid_truetype_program(dict, font);
}

// Each step stands alone, so that a reader failure in one leaves the fields
// the others read.
template <class F>
void guarded(F&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

}  // namespace

FontInfo font_info(std::string_view name, Object dict) {
    FontInfo info;
    info.name = utf8_lossy(name);
    info.subtype = name_of(dict, "Subtype").value_or(std::string());
    info.base_font = name_of(dict, "BaseFont");
    info.encoding = name_of(dict, "Encoding");
    return info;
}

RawFont raw_font(std::string_view name, Object dict) {
    RawFont font;
    font.info = font_info(name, dict);
    guarded([&] { font.to_unicode = decoded_if_stream(lookup(dict, "ToUnicode")); });
    if (font.info.subtype != "Type0")
        guarded([&] { read_simple_fields(dict, font); });
    else
        guarded([&] { read_type0_fields(dict, font); });
    return font;
}

Result<std::vector<RawFont>> Pdf::page_raw_fonts(std::uint32_t number) const {
    auto id = impl_->page_id(number);
    if (!id) return std::unexpected(Error::page_not_found(number));

    // The page's own /Font entries shadow those of its ancestors; the map
    // keeps the names in byte order.
    std::map<std::string, Object> page_fonts;
    try {
        QPDFObjGen node_id = *id;
        for (int visited = 0; visited < kMaxTreeNodes; ++visited) {
            Object node = impl_->qpdf->getObject(node_id);
            if (!node.isDictionary()) break;
            if (auto res = lookup(node, "Resources"); res && res->isDictionary())
                if (auto fonts = lookup(*res, "Font"); fonts && fonts->isDictionary())
                    for (auto& [key, value] : fonts->getDictAsMap())
                        if (value.isDictionary()) page_fonts.emplace(key, value);
            Object parent = node.getKey("/Parent");
            if (!parent.isIndirect()) break;
            node_id = parent.getObjGen();
        }
    } catch (const std::exception&) {
        page_fonts.clear();
    }

    std::vector<RawFont> out;
    out.reserve(page_fonts.size());
    for (auto& [key, dict] : page_fonts) {
        std::string raw_name = key.substr(key.empty() || key.front() != '/' ? 0 : 1);
        out.push_back(raw_font(raw_name, dict));
    }

    auto forms = impl_->collect_forms(number);
    if (!forms) return out;
    for (auto& form : *forms) {
        std::vector<std::pair<std::string, Object>> entries;
        try {
            auto fonts = lookup(form.resources, "Font");
            if (!fonts || !fonts->isDictionary()) continue;
            for (auto& [key, value] : fonts->getDictAsMap())
                if (value.isDictionary()) entries.emplace_back(form.name + "/" + key_text(key), value);
        } catch (const std::exception&) {
            continue;
        }
        for (auto& [name, dict] : entries) out.push_back(raw_font(name, dict));
    }
    return out;
}

}  // namespace inkra
