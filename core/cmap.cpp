#include "cmap.hpp"

#include "encoding.hpp"
#include "types.hpp"

namespace inkra {

namespace {

struct Token {
    enum class Kind : std::uint8_t { Hex, ArrayStart, ArrayEnd, Word };
    Kind kind;
    std::string text;  // bytes of a hex string, or the word
};

bool is_white(unsigned char c) { return c == 0 || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' '; }

bool ends_word(unsigned char c) {
    return is_white(c) || c == '%' || c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']';
}

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    std::size_t i = 0, n = s.size();
    while (i < n) {
        auto c = static_cast<unsigned char>(s[i]);
        if (c == '%') {
            while (i < n && s[i] != '\n') ++i;
        } else if (c == '(') {
            int depth = 1;
            ++i;
            while (i < n && depth > 0) {
                if (s[i] == '\\') i += 2;
                else {
                    if (s[i] == '(') ++depth;
                    else if (s[i] == ')') --depth;
                    ++i;
                }
            }
        } else if (is_white(c)) {
            ++i;
        } else if (c == '<' && i + 1 < n && s[i + 1] == '<') {
            out.push_back({Token::Kind::Word, "<<"});
            i += 2;
        } else if (c == '<') {
            ++i;
            std::string bytes;
            int high = -1;
            while (i < n && s[i] != '>') {
                int v = hex_value(static_cast<unsigned char>(s[i++]));
                if (v < 0) continue;
                if (high < 0) high = v;
                else bytes.push_back(static_cast<char>(high << 4 | v)), high = -1;
            }
            if (high >= 0) bytes.push_back(static_cast<char>(high << 4));
            if (i < n) ++i;  // the closing '>'
            out.push_back({Token::Kind::Hex, std::move(bytes)});
        } else if (c == '>') {
            i += (i + 1 < n && s[i + 1] == '>') ? 2 : 1;
        } else if (c == '[') {
            out.push_back({Token::Kind::ArrayStart, {}});
            ++i;
        } else if (c == ']') {
            out.push_back({Token::Kind::ArrayEnd, {}});
            ++i;
        } else if (c == ')') {
            ++i;
        } else {
            std::size_t start = i;
            while (i < n && !ends_word(static_cast<unsigned char>(s[i]))) ++i;
            out.push_back({Token::Kind::Word, utf8_lossy(s.substr(start, i - start))});
        }
    }
    return out;
}

std::uint32_t code_value(std::string_view bytes) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 4; ++i) v = v << 8 | static_cast<unsigned char>(bytes[i]);
    return v;
}

bool is_word(const Token& t, std::string_view w) { return t.kind == Token::Kind::Word && t.text == w; }

// The index of the closing word, or the end of the tokens.
std::size_t section_end(const std::vector<Token>& t, std::size_t from, std::string_view closing) {
    while (from < t.size() && !is_word(t[from], closing)) ++from;
    return from;
}

void read_bfchar(const std::vector<Token>& t, std::size_t i, std::size_t end, CMap& map) {
    while (i < end) {
        if (t[i].kind == Token::Kind::Hex && i + 1 < end && t[i + 1].kind == Token::Kind::Hex) {
            map.chars.insert_or_assign(code_value(t[i].text), utf16be_to_string(t[i + 1].text));
            i += 2;
        } else {
            ++i;
        }
    }
}

void read_bfrange(const std::vector<Token>& t, std::size_t i, std::size_t end, CMap& map) {
    while (i < end) {
        if (!(t[i].kind == Token::Kind::Hex && i + 1 < end && t[i + 1].kind == Token::Kind::Hex)) {
            ++i;
            continue;
        }
        std::uint32_t lo = code_value(t[i].text), hi = code_value(t[i + 1].text);
        std::size_t k = i + 2;
        if (k < end && t[k].kind == Token::Kind::Hex) {
            map.ranges.push_back({lo, hi, utf16be_to_string(t[k].text)});
            i = k + 1;
        } else if (k < end && t[k].kind == Token::Kind::ArrayStart) {
            std::vector<std::string> texts;
            ++k;
            while (k < end && t[k].kind != Token::Kind::ArrayEnd) {
                if (t[k].kind == Token::Kind::Hex) texts.push_back(utf16be_to_string(t[k].text));
                ++k;
            }
            map.ranges.push_back({lo, hi, std::move(texts)});
            i = k < end ? k + 1 : k;
        } else {
            i = k;
        }
    }
}

// Raises the last character of a base text by `by`; unchanged when the
// result would not be a Unicode scalar value.
std::string advance_last(const std::string& base, std::uint32_t by) {
    if (base.empty() || by == 0) return base;
    std::size_t start = base.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(base[start]) & 0xC0) == 0x80) --start;
    std::uint32_t c = 0;
    auto lead = static_cast<unsigned char>(base[start]);
    std::size_t len = base.size() - start;
    if (len == 1) c = lead;
    else c = lead & (0xFF >> (len + 1));
    for (std::size_t i = start + 1; i < base.size(); ++i) c = c << 6 | (static_cast<unsigned char>(base[i]) & 0x3F);
    std::uint64_t raised = std::uint64_t{c} + by;
    if (raised > 0x10FFFF || !is_scalar(static_cast<std::uint32_t>(raised))) return base;
    std::string out = base.substr(0, start);
    append_utf8(out, static_cast<char32_t>(raised));
    return out;
}

}  // namespace

std::string utf16be_to_string(std::string_view bytes) {
    std::vector<std::uint16_t> units;
    units.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        units.push_back(static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[i]) << 8 | static_cast<unsigned char>(bytes[i + 1])));
    return utf16_to_string(units);
}

CMap CMap::parse(std::string_view bytes) {
    CMap map;
    const std::vector<Token> t = tokenize(bytes);
    std::size_t i = 0;
    while (i < t.size()) {
        if (is_word(t[i], "begincodespacerange")) {
            i = section_end(t, i + 1, "endcodespacerange") + 1;
        } else if (is_word(t[i], "beginbfchar")) {
            std::size_t end = section_end(t, i + 1, "endbfchar");
            read_bfchar(t, i + 1, end, map);
            i = end + 1;
        } else if (is_word(t[i], "beginbfrange")) {
            std::size_t end = section_end(t, i + 1, "endbfrange");
            read_bfrange(t, i + 1, end, map);
            i = end + 1;
        } else {
            ++i;
        }
    }
    return map;
}

std::optional<std::string> CMap::get(std::uint32_t code) const {
    if (auto it = chars.find(code); it != chars.end()) return it->second;
    for (const BfRange& r : ranges) {
        if (code < r.lo || code > r.hi) continue;
        if (const auto* base = std::get_if<std::string>(&r.dest)) return advance_last(*base, code - r.lo);
        const auto& list = std::get<std::vector<std::string>>(r.dest);
        if (code - r.lo < list.size()) return list[code - r.lo];
    }
    return std::nullopt;
}

}  // namespace inkra
