// Builds the glyphs of one painted line together with a font whose ToUnicode
// CMap decodes them, so line-building tests read as "this text at this x".
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "arabic.hpp"
#include "font.hpp"
#include "unicode.hpp"

namespace inkra::testing {

class LineFixture {
public:
    explicit LineFixture(double size = 10, double y = 700) : size_(size), y_(y) {}

    // A glyph decoding to `text` (UTF-8) at run position x.
    Placed& add(std::string_view text, double x, double advance, std::string_view font = "F1") {
        Glyph g;
        g.font = std::string(font);
        g.size = size_;
        g.x = x;
        g.y = y_;
        g.advance = advance;
        g.code = code_for(text);
        glyphs_.emplace_back(g);
        return glyphs_.back();
    }
    // A glyph whose code the font cannot decode.
    Placed& add_unmapped(double x, double advance) {
        Placed& p = add("", x, advance);
        p.glyph.code = 0xFFFF;
        return p;
    }

    std::vector<Placed>& glyphs() { return glyphs_; }

    FontMap fonts(std::vector<std::string> names = {"F1"}) const {
        std::string cmap =
            "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
            "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
        cmap += std::to_string(texts_.size()) + " beginbfchar\n";
        for (std::size_t i = 0; i < texts_.size(); ++i) cmap += hex4(static_cast<std::uint32_t>(i + 1)) + " <" + utf16_hex(texts_[i]) + ">\n";
        cmap += "endbfchar\nendcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
        std::vector<RawFont> raws;
        for (auto& n : names) {
            RawFont raw;
            raw.info.name = n;
            raw.info.subtype = "Type0";
            raw.to_unicode = cmap;
            raws.push_back(raw);
        }
        return FontMap::from_raw(std::move(raws));
    }

    std::optional<TextLine> build() const { return build_line(glyphs_, fonts()); }

private:
    std::uint32_t code_for(std::string_view text) {
        for (std::size_t i = 0; i < texts_.size(); ++i)
            if (texts_[i] == text) return static_cast<std::uint32_t>(i + 1);
        texts_.emplace_back(text);
        return static_cast<std::uint32_t>(texts_.size());
    }
    static std::string hex4(std::uint32_t v) {
        char buf[8];
        std::snprintf(buf, sizeof buf, "<%04X>", v & 0xFFFF);
        return buf;
    }
    static std::string utf16_hex(std::string_view utf8) {
        std::string out;
        char buf[8];
        for (char32_t c : to_code_points(utf8)) {
            if (c >= 0x10000) {
                c -= 0x10000;
                std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(0xD800 + (c >> 10)));
                out += buf;
                c = 0xDC00 + (c & 0x3FF);
            }
            std::snprintf(buf, sizeof buf, "%04X", static_cast<unsigned>(c));
            out += buf;
        }
        return out;
    }

    double size_, y_;
    std::vector<Placed> glyphs_;
    std::vector<std::string> texts_;
};

}  // namespace inkra::testing
