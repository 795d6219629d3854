#include "encoding.hpp"

#include <array>
#include <charconv>
#include <vector>

namespace inkra {

namespace detail {
std::string_view glyph_list_text();  // generated from core/glyphlist.txt
}

namespace {

// Windows-1252 positions 0x80..0x9F; 0 marks the five unassigned ones.
constexpr std::array<char16_t, 32> kWinAnsiHigh{
    0x20AC, 0x0000, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x0000, 0x017D, 0x0000, 0x0000, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x0000, 0x017E, 0x0178};

// Mac OS Roman 0x80..0xFF, in the revision with the euro sign at 0xDB.
constexpr std::array<char16_t, 128> kMacRomanHigh{
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4,
    0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF,
    0x00F1, 0x00F3, 0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020,
    0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4,
    0x00A8, 0x2260, 0x00C6, 0x00D8, 0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202,
    0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1,
    0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB, 0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3,
    0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02, 0x2021, 0x00B7, 0x201A,
    0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC,
    0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC, 0x00AF,
    0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

std::optional<char32_t> base_char(BaseEncoding base, std::uint32_t code) {
    if (code < 32 || code == 127) return std::nullopt;
    switch (base) {
    case BaseEncoding::WinAnsi:
        if (code < 128 || code >= 160) return static_cast<char32_t>(code);
        if (char16_t c = kWinAnsiHigh[code - 128]) return c;
        return std::nullopt;
    case BaseEncoding::MacRoman:
        if (code < 128) return static_cast<char32_t>(code);
        return kMacRomanHigh[code - 128];
    case BaseEncoding::Standard:
        if (code > 126) return std::nullopt;
        if (code == 0x27) return U'\u2019';
        if (code == 0x60) return U'\u2018';
        return static_cast<char32_t>(code);
    case BaseEncoding::None: break;
    }
    return std::nullopt;
}

struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};
using GlyphList = std::unordered_map<std::string, std::string, StringHash, std::equal_to<>>;

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
    return s;
}

bool is_hex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

std::optional<std::uint32_t> parse_hex(std::string_view s) {
    if (s.empty()) return std::nullopt;
    std::uint32_t v = 0;
    auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v, 16);
    if (ec != std::errc{} || p != s.data() + s.size()) return std::nullopt;
    return v;
}

GlyphList parse_glyph_list(std::string_view text) {
    GlyphList list;
    list.reserve(4400);
    while (!text.empty()) {
        std::size_t nl = text.find('\n');
        std::string_view line = trim(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        if (line.empty() || line.front() == '#') continue;
        std::size_t semi = line.find(';');
        if (semi == std::string_view::npos) continue;
        std::string_view name = line.substr(0, semi), codes = line.substr(semi + 1);
        std::string value;
        bool ok = true, any = false;
        while (ok) {
            while (!codes.empty() && is_space(codes.front())) codes.remove_prefix(1);
            if (codes.empty()) break;
            std::size_t end = 0;
            while (end < codes.size() && !is_space(codes[end])) ++end;
            std::string_view part = codes.substr(0, end);
            codes.remove_prefix(end);
            if (!part.empty() && part.front() == '+') part.remove_prefix(1);
            auto v = parse_hex(part);
            if (!v || !is_scalar(*v)) ok = false;
            else append_utf8(value, static_cast<char32_t>(*v)), any = true;
        }
        if (ok && any) list.insert_or_assign(std::string(name), std::move(value));
    }
    return list;
}

const GlyphList& glyph_list() {
    static const GlyphList list = parse_glyph_list(detail::glyph_list_text());  // built once, thread-safely
    return list;
}

std::optional<std::string> component_to_string(std::string_view c) {
    const GlyphList& list = glyph_list();
    if (auto it = list.find(c); it != list.end()) return it->second;
    if (c == "hyphenminus") return std::string("-");
    if (c.starts_with("uni")) {
        std::string digits;
        std::string_view rest = c.substr(3);
        for (std::size_t at; (at = rest.find("uni")) != std::string_view::npos;) {
            digits.append(rest.substr(0, at));
            rest.remove_prefix(at + 3);
        }
        digits.append(rest);
        bool hex = !digits.empty() && digits.size() % 4 == 0;
        for (char d : digits) hex = hex && is_hex(d);
        if (hex) {
            std::vector<std::uint16_t> units;
            units.reserve(digits.size() / 4);
            for (std::size_t i = 0; i < digits.size(); i += 4)
                units.push_back(static_cast<std::uint16_t>(*parse_hex(std::string_view(digits).substr(i, 4))));
            return utf16_to_string(units);
        }
    }
    if (c.starts_with('u') && c.size() >= 5 && c.size() <= 7) {
        std::string_view digits = c.substr(1);
        bool hex = true;
        for (char d : digits) hex = hex && is_hex(d);
        if (hex) {
            std::uint32_t v = *parse_hex(digits);
            if (!is_scalar(v)) return std::nullopt;
            std::string out;
            append_utf8(out, static_cast<char32_t>(v));
            return out;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string utf16_to_string(std::span<const std::uint16_t> units) {
    std::string out;
    out.reserve(units.size() * 2);
    for (std::size_t i = 0; i < units.size(); ++i) {
        std::uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            append_utf8(out, static_cast<char32_t>(0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            append_utf8(out, U'\uFFFD');
        } else {
            append_utf8(out, static_cast<char32_t>(u));
        }
    }
    return out;
}

Encoding Encoding::create(std::optional<std::string_view> base_name,
                          std::span<const std::pair<std::uint8_t, std::string>> differences) {
    Encoding e;
    if (base_name) {
        if (*base_name == "WinAnsiEncoding") e.base = BaseEncoding::WinAnsi;
        else if (*base_name == "MacRomanEncoding") e.base = BaseEncoding::MacRoman;
        else if (*base_name == "StandardEncoding" || *base_name == "PDFDocEncoding") e.base = BaseEncoding::Standard;
    }
    for (const auto& [code, name] : differences) e.differences.insert_or_assign(code, name);
    return e;
}

std::optional<std::string> Encoding::decode(std::uint32_t code) const {
    if (code >= 256) return std::nullopt;
    if (!differences.empty()) {
        if (auto it = differences.find(static_cast<std::uint8_t>(code)); it != differences.end())
            return glyph_name_to_string(it->second);
    }
    auto c = base_char(base, code);
    if (!c) return std::nullopt;
    std::string out;
    append_utf8(out, *c);
    return out;
}

std::optional<std::string> glyph_name_to_string(std::string_view name) {
    name = name.substr(0, name.find('.'));
    std::string out;
    while (true) {
        std::size_t us = name.find('_');
        std::string_view component = name.substr(0, us);
        if (component.empty()) return std::nullopt;
        auto text = component_to_string(component);
        if (!text) return std::nullopt;
        out += *text;
        if (us == std::string_view::npos) break;
        name.remove_prefix(us + 1);
    }
    if (out.empty()) return std::nullopt;
    return out;
}

}  // namespace inkra
