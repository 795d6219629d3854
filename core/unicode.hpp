// Text services shared by the stages that look at characters: UTF-8 to code
// points and back, normalisation and character properties (through ICU), and
// the total order used wherever floats are sorted.
#pragma once

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

namespace inkra {

// Code points of UTF-8 text; each invalid sequence becomes U+FFFD.
std::u32string to_code_points(std::string_view utf8);
std::string to_utf8(std::u32string_view text);
void append_utf8(std::string& out, char32_t c);

// Compatibility composition (NFKC) of a text.
std::string nfkc(std::string_view text);
// Canonical decomposition (NFD) of one character; the character itself when
// it has none.
std::u32string nfd(char32_t c);

bool is_white_space(char32_t c);  // the White_Space property
bool is_alphabetic(char32_t c);   // the Alphabetic property

// IEEE 754 totalOrder: -NaN < -inf < ... < -0.0 < +0.0 < ... < +inf < +NaN.
// Sorting with it is deterministic whatever the input holds.
inline std::int64_t total_order_key(double d) {
    auto k = std::bit_cast<std::int64_t>(d);
    return k ^ static_cast<std::int64_t>(static_cast<std::uint64_t>(k >> 63) >> 1);
}
inline bool total_less(double a, double b) { return total_order_key(a) < total_order_key(b); }

}  // namespace inkra
