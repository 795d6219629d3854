// Simple-font encodings and glyph names: how a single-byte code, or the name
// a font gives its glyph, becomes text.
#pragma once

#include "unicode.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace inkra {

enum class BaseEncoding : std::uint8_t { WinAnsi, MacRoman, Standard, None };

// The code-to-text table of one simple font. Differences are kept as glyph
// names and interpreted per decode.
struct Encoding {
    std::unordered_map<std::uint8_t, std::string> differences;  // last pair wins
    BaseEncoding base = BaseEncoding::None;

    // The base chosen from the /Encoding or /BaseEncoding name (exact match).
    static Encoding create(std::optional<std::string_view> base_name,
                           std::span<const std::pair<std::uint8_t, std::string>> differences);

    std::optional<std::string> decode(std::uint32_t code) const;
    // Neither a base encoding nor any difference.
    bool empty() const { return base == BaseEncoding::None && differences.empty(); }
};

// Text of a glyph name by the Adobe Glyph List and the uniXXXX / uXXXX[XX]
// conventions; absent when the name has no interpretation.
std::optional<std::string> glyph_name_to_string(std::string_view name);

// ---- Small Unicode helpers shared by the text decoders ----

// A code point that UTF-8 can carry: at most U+10FFFF and not a surrogate.
constexpr bool is_scalar(std::uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }


// UTF-16 code units as UTF-8, pairs joined and unpaired surrogates as U+FFFD.
std::string utf16_to_string(std::span<const std::uint16_t> units);

}  // namespace inkra
