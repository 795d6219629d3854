#include "cff.hpp"

#include <array>

#include "types.hpp"

namespace inkra::cff {

namespace {

constexpr std::array<std::string_view, 391> kStandardStrings{
    ".notdef", "space", "exclam", "quotedbl", "numbersign", "dollar", "percent", "ampersand",
    "quoteright", "parenleft", "parenright", "asterisk", "plus", "comma", "hyphen", "period",
    "slash", "zero", "one", "two", "three", "four", "five", "six", "seven", "eight", "nine",
    "colon", "semicolon", "less", "equal", "greater", "question", "at", "A", "B", "C", "D", "E",
    "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P", "Q", "R", "S", "T", "U", "V", "W", "X",
    "Y", "Z", "bracketleft", "backslash", "bracketright", "asciicircum", "underscore", "quoteleft",
    "a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p", "q", "r", "s",
    "t", "u", "v", "w", "x", "y", "z", "braceleft", "bar", "braceright", "asciitilde",
    "exclamdown", "cent", "sterling", "fraction", "yen", "florin", "section", "currency",
    "quotesingle", "quotedblleft", "guillemotleft", "guilsinglleft", "guilsinglright", "fi", "fl",
    "endash", "dagger", "daggerdbl", "periodcentered", "paragraph", "bullet", "quotesinglbase",
    "quotedblbase", "quotedblright", "guillemotright", "ellipsis", "perthousand", "questiondown",
    "grave", "acute", "circumflex", "tilde", "macron", "breve", "dotaccent", "dieresis", "ring",
    "cedilla", "hungarumlaut", "ogonek", "caron", "emdash", "AE", "ordfeminine", "Lslash",
    "Oslash", "OE", "ordmasculine", "ae", "dotlessi", "lslash", "oslash", "oe", "germandbls",
    "onesuperior", "logicalnot", "mu", "trademark", "Eth", "onehalf", "plusminus", "Thorn",
    "onequarter", "divide", "brokenbar", "degree", "thorn", "threequarters", "twosuperior",
    "registered", "minus", "eth", "multiply", "threesuperior", "copyright", "Aacute",
    "Acircumflex", "Adieresis", "Agrave", "Aring", "Atilde", "Ccedilla", "Eacute", "Ecircumflex",
    "Edieresis", "Egrave", "Iacute", "Icircumflex", "Idieresis", "Igrave", "Ntilde", "Oacute",
    "Ocircumflex", "Odieresis", "Ograve", "Otilde", "Scaron", "Uacute", "Ucircumflex", "Udieresis",
    "Ugrave", "Yacute", "Ydieresis", "Zcaron", "aacute", "acircumflex", "adieresis", "agrave",
    "aring", "atilde", "ccedilla", "eacute", "ecircumflex", "edieresis", "egrave", "iacute",
    "icircumflex", "idieresis", "igrave", "ntilde", "oacute", "ocircumflex", "odieresis", "ograve",
    "otilde", "scaron", "uacute", "ucircumflex", "udieresis", "ugrave", "yacute", "ydieresis",
    "zcaron", "exclamsmall", "Hungarumlautsmall", "dollaroldstyle", "dollarsuperior",
    "ampersandsmall", "Acutesmall", "parenleftsuperior", "parenrightsuperior", "twodotenleader",
    "onedotenleader", "zerooldstyle", "oneoldstyle", "twooldstyle", "threeoldstyle",
    "fouroldstyle", "fiveoldstyle", "sixoldstyle", "sevenoldstyle", "eightoldstyle",
    "nineoldstyle", "commasuperior", "threequartersemdash", "periodsuperior", "questionsmall",
    "asuperior", "bsuperior", "centsuperior", "dsuperior", "esuperior", "isuperior", "lsuperior",
    "msuperior", "nsuperior", "osuperior", "rsuperior", "ssuperior", "tsuperior", "ff", "ffi",
    "ffl", "parenleftinferior", "parenrightinferior", "Circumflexsmall", "hyphensuperior",
    "Gravesmall", "Asmall", "Bsmall", "Csmall", "Dsmall", "Esmall", "Fsmall", "Gsmall", "Hsmall",
    "Ismall", "Jsmall", "Ksmall", "Lsmall", "Msmall", "Nsmall", "Osmall", "Psmall", "Qsmall",
    "Rsmall", "Ssmall", "Tsmall", "Usmall", "Vsmall", "Wsmall", "Xsmall", "Ysmall", "Zsmall",
    "colonmonetary", "onefitted", "rupiah", "Tildesmall", "exclamdownsmall", "centoldstyle",
    "Lslashsmall", "Scaronsmall", "Zcaronsmall", "Dieresissmall", "Brevesmall", "Caronsmall",
    "Dotaccentsmall", "Macronsmall", "figuredash", "hypheninferior", "Ogoneksmall", "Ringsmall",
    "Cedillasmall", "questiondownsmall", "oneeighth", "threeeighths", "fiveeighths",
    "seveneighths", "onethird", "twothirds", "zerosuperior", "foursuperior", "fivesuperior",
    "sixsuperior", "sevensuperior", "eightsuperior", "ninesuperior", "zeroinferior", "oneinferior",
    "twoinferior", "threeinferior", "fourinferior", "fiveinferior", "sixinferior", "seveninferior",
    "eightinferior", "nineinferior", "centinferior", "dollarinferior", "periodinferior",
    "commainferior", "Agravesmall", "Aacutesmall", "Acircumflexsmall", "Atildesmall",
    "Adieresissmall", "Aringsmall", "AEsmall", "Ccedillasmall", "Egravesmall", "Eacutesmall",
    "Ecircumflexsmall", "Edieresissmall", "Igravesmall", "Iacutesmall", "Icircumflexsmall",
    "Idieresissmall", "Ethsmall", "Ntildesmall", "Ogravesmall", "Oacutesmall", "Ocircumflexsmall",
    "Otildesmall", "Odieresissmall", "OEsmall", "Oslashsmall", "Ugravesmall", "Uacutesmall",
    "Ucircumflexsmall", "Udieresissmall", "Yacutesmall", "Thornsmall", "Ydieresissmall", "001.000",
    "001.001", "001.002", "001.003", "Black", "Bold", "Book", "Light", "Medium", "Regular",
    "Roman", "Semibold",
};

constexpr std::uint16_t kOpCharset = 15, kOpEncoding = 16, kOpCharStrings = 17, kOpRos = 0x0C1E;

std::uint32_t be(std::string_view d, std::size_t at, std::size_t size) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < size; ++i) v = v << 8 | static_cast<unsigned char>(d[at + i]);
    return v;
}

std::uint8_t byte(std::string_view d, std::size_t at) { return static_cast<unsigned char>(d[at]); }

// Object boundaries as absolute positions; count + 1 of them unless empty.
struct Index {
    std::vector<std::size_t> bounds;
    std::size_t end = 0;

    std::size_t count() const { return bounds.empty() ? 0 : bounds.size() - 1; }

    static std::optional<Index> read(std::string_view d, std::size_t p) {
        if (p > d.size() || d.size() - p < 2) return std::nullopt;
        std::uint32_t count = be(d, p, 2);
        Index idx;
        if (count == 0) {
            idx.end = p + 2;
            return idx;
        }
        if (p + 2 >= d.size()) return std::nullopt;
        std::uint32_t offsize = byte(d, p + 2);
        if (offsize < 1 || offsize > 4) return std::nullopt;
        std::uint64_t table = std::uint64_t{count + 1} * offsize;
        if (p + 3 + table > d.size()) return std::nullopt;
        idx.bounds.reserve(count + 1);
        for (std::uint32_t i = 0; i <= count; ++i) {
            // Inner boundaries are checked when their object is read.
            idx.bounds.push_back(static_cast<std::size_t>(p + 2 + table + be(d, p + 3 + std::size_t{i} * offsize, offsize)));
        }
        if (idx.bounds.back() > d.size()) return std::nullopt;
        idx.end = idx.bounds.back();
        return idx;
    }

    // Object i, when its boundaries are ordered and inside the data.
    std::optional<std::string_view> object(std::string_view d, std::size_t i) const {
        if (i >= count()) return std::nullopt;
        std::size_t a = bounds[i], b = bounds[i + 1];
        if (a > b || b > d.size()) return std::nullopt;
        return d.substr(a, b - a);
    }
};

std::optional<std::int32_t> first_operand(const Dict& dict, std::uint16_t op) {
    auto it = dict.find(op);
    if (it == dict.end() || it->second.empty()) return std::nullopt;
    return it->second.front();
}

// String ids by glyph id; glyph 0 is always .notdef.
std::optional<std::vector<std::uint16_t>> read_charset(std::string_view d, std::optional<std::int32_t> offset,
                                                       std::uint32_t n) {
    std::vector<std::uint16_t> sids{0};
    sids.reserve(n);
    if (!offset || *offset == 0) {
        for (std::uint32_t i = 1; i < n; ++i) sids.push_back(static_cast<std::uint16_t>(i));
        return sids;
    }
    if (*offset == 1 || *offset == 2 || *offset < 0 || static_cast<std::size_t>(*offset) >= d.size())
        return std::nullopt;
    std::size_t p = static_cast<std::size_t>(*offset);
    std::uint8_t format = byte(d, p++);
    if (format == 0) {
        for (std::uint32_t i = 1; i < n; ++i, p += 2) {
            if (p + 2 > d.size()) return std::nullopt;
            sids.push_back(static_cast<std::uint16_t>(be(d, p, 2)));
        }
        return sids;
    }
    if (format != 1 && format != 2) return std::nullopt;
    std::size_t left_size = format == 1 ? 1 : 2;
    while (sids.size() < n) {
        if (p + 2 + left_size > d.size()) return std::nullopt;
        std::uint32_t first = be(d, p, 2), left = be(d, p + 2, left_size);
        p += 2 + left_size;
        for (std::uint32_t k = 0; k <= left && sids.size() < n; ++k) {
            if (first + k > 0xFFFF) return std::nullopt;
            sids.push_back(static_cast<std::uint16_t>(first + k));
        }
    }
    return sids;
}

using CodeGlyphs = std::vector<std::pair<std::uint8_t, std::uint16_t>>;

std::optional<CodeGlyphs> read_encoding(std::string_view d, std::optional<std::int32_t> offset, std::uint32_t n) {
    CodeGlyphs pairs;
    if (!offset || *offset == 0 || *offset == 1) return pairs;
    if (*offset < 0 || static_cast<std::size_t>(*offset) >= d.size()) return std::nullopt;
    std::size_t p = static_cast<std::size_t>(*offset);
    std::uint8_t head = byte(d, p++);
    if (p >= d.size()) return std::nullopt;
    std::uint32_t count = byte(d, p++);
    switch (head & 0x7F) {
    case 0:
        if (p + count > d.size()) return std::nullopt;
        for (std::uint32_t g = 1; g <= count; ++g)
            if (g < n) pairs.emplace_back(byte(d, p + g - 1), static_cast<std::uint16_t>(g));
        p += count;
        break;
    case 1: {
        if (p + std::size_t{count} * 2 > d.size()) return std::nullopt;
        std::uint32_t glyph = 1;
        for (std::uint32_t r = 0; r < count; ++r, p += 2) {
            std::uint32_t first = byte(d, p), left = byte(d, p + 1);
            for (std::uint32_t k = 0; k <= left; ++k, ++glyph)
                if (glyph < n && first + k <= 255)
                    pairs.emplace_back(static_cast<std::uint8_t>(first + k), static_cast<std::uint16_t>(glyph));
        }
        break;
    }
    default: return std::nullopt;
    }
    if (head & 0x80) {
        if (p >= d.size()) return std::nullopt;
        std::uint32_t supplements = byte(d, p++);
        if (p + std::size_t{supplements} * 3 > d.size()) return std::nullopt;
    }
    return pairs;
}

std::optional<std::string> sid_to_name(std::uint32_t sid, std::string_view d, const Index& strings) {
    if (auto s = standard_string(sid)) return std::string(*s);
    auto s = strings.object(d, sid - 391);
    if (!s) return std::nullopt;
    return utf8_lossy(*s);
}

}  // namespace

std::optional<std::string_view> standard_string(std::uint32_t sid) {
    if (sid < kStandardStrings.size()) return kStandardStrings[sid];
    return std::nullopt;
}

Dict parse_dict(std::string_view b) {
    Dict dict;
    std::vector<std::int32_t> stack;
    std::size_t i = 0, n = b.size();
    while (i < n) {
        std::uint8_t c = byte(b, i);
        if (c <= 21 && c != 12) {
            dict.insert_or_assign(c, std::move(stack));
            stack.clear();
            ++i;
        } else if (c == 12) {
            if (i + 1 >= n) break;
            dict.insert_or_assign(static_cast<std::uint16_t>(0x0C00 + byte(b, i + 1)), std::move(stack));
            stack.clear();
            i += 2;
        } else if (c == 28) {
            if (i + 3 > n) break;
            stack.push_back(static_cast<std::int16_t>(be(b, i + 1, 2)));
            i += 3;
        } else if (c == 29) {
            if (i + 5 > n) break;
            stack.push_back(static_cast<std::int32_t>(be(b, i + 1, 4)));
            i += 5;
        } else if (c == 30) {
            // A real: its nibbles run until the 0xF terminator; no integer slot.
            ++i;
            while (i < n) {
                std::uint8_t v = byte(b, i++);
                if ((v >> 4) == 0xF || (v & 0xF) == 0xF) break;
            }
        } else if (c >= 32 && c <= 246) {
            stack.push_back(c - 139);
            ++i;
        } else if (c >= 247 && c <= 250) {
            if (i + 2 > n) break;
            stack.push_back((c - 247) * 256 + byte(b, i + 1) + 108);
            i += 2;
        } else if (c >= 251 && c <= 254) {
            if (i + 2 > n) break;
            stack.push_back(-(c - 251) * 256 - byte(b, i + 1) - 108);
            i += 2;
        } else {
            ++i;  // reserved
        }
    }
    return dict;
}

std::unordered_map<std::uint32_t, std::string> glyph_names(std::string_view d) {
    std::unordered_map<std::uint32_t, std::string> names;
    if (d.size() <= 2 || byte(d, 0) != 1) return names;
    auto name_index = Index::read(d, byte(d, 2));
    if (!name_index) return names;
    auto top_index = Index::read(d, name_index->end);
    if (!top_index) return names;
    auto strings = Index::read(d, top_index->end);
    if (!strings) return names;
    auto top_bytes = top_index->object(d, 0);
    if (!top_bytes) return names;
    const Dict top = parse_dict(*top_bytes);
    if (top.contains(kOpRos)) return names;

    auto charstrings_at = first_operand(top, kOpCharStrings);
    if (!charstrings_at || *charstrings_at < 0) return names;
    auto charstrings = Index::read(d, static_cast<std::size_t>(*charstrings_at));
    if (!charstrings) return names;
    const auto n = static_cast<std::uint32_t>(charstrings->count());

    auto charset = read_charset(d, first_operand(top, kOpCharset), n);
    if (!charset) return names;
    auto encoding = read_encoding(d, first_operand(top, kOpEncoding), n);
    if (!encoding) return names;

    for (const auto& [code, glyph] : *encoding) {
        if (glyph >= charset->size()) continue;
        if (auto name = sid_to_name((*charset)[glyph], d, *strings)) names.insert_or_assign(code, std::move(*name));
    }
    return names;
}

}  // namespace inkra::cff
