// Embedded CFF programs (/FontFile3): the built-in encoding's glyph names.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace inkra::cff {

// Character code (below 256) to glyph name, for plain name-keyed CFF
// programs with their own encoding; empty on anything malformed, CID-keyed or
// predefined.
std::unordered_map<std::uint32_t, std::string> glyph_names(std::string_view program);

// ---- Steps of the reader, open for testing ----

// Top DICT: operator (12 x stored as 0x0C00 + x) to its integer operands.
using Dict = std::map<std::uint16_t, std::vector<std::int32_t>>;
Dict parse_dict(std::string_view bytes);

// Standard string ids 0..390; absent above.
std::optional<std::string_view> standard_string(std::uint32_t sid);

}  // namespace inkra::cff
